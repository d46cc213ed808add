#pragma once

#include "ServerNotifier.h"

#include <QObject>

/// The dispatch server without a window: status lines on stdout, newest last, each after the local
/// time; message boxes become status lines and never wait. When stdout is systemd's journal the
/// journal keeps the time, and each line carries its priority instead, so that errors show as errors.
class HeadlessOutput : public QObject, public ServerNotifier
{
    Q_OBJECT

public:
    HeadlessOutput();

    void statusLine(const QString& line);
    void message(const QString& text, const QString& title, Icon icon) override;

    /// "quaylink: reason" on stderr, as an error where stderr is the journal.
    static void printError(const QString& reason);
    /// The syslog priority of a status line (LOG_ERR, LOG_WARNING, LOG_INFO).
    static int priorityOf(const QString& line);

private:
    bool m_toJournal = false;
};
