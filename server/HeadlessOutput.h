#pragma once

#include "ServerNotifier.h"

#include <QObject>

/// The dispatch server without a window: status lines on stdout, newest last, each after the local
/// time; message boxes become status lines and never wait.
class HeadlessOutput : public QObject, public ServerNotifier
{
    Q_OBJECT

public:
    void statusLine(const QString& line);
    void message(const QString& text, const QString& title, Icon icon) override;
};
