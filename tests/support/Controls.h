#pragma once

#include <QObject>
#include <QString>

/// A control of a screen found by its objectName; a missing control ends the test program, since
/// every later step of the test would only fail less clearly.
template <typename T>
T* Control(const QObject* screen, const QString& name)
{
    T* found = screen->findChild<T*>(name);
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}
