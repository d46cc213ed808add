#pragma once

#include <QElapsedTimer>
#include <QString>

/// The server's side of systemd's notify protocol (sd_notify): READY=1 once start-up holds the store,
/// one STATUS= line kept current, STOPPING=1 as it ends, and WATCHDOG=1 while the dispatch loop keeps
/// moving, so that a wedged loop is restarted. Without NOTIFY_SOCKET (not started by systemd) it sends
/// nothing.
class ServiceManager
{
public:
    ServiceManager();

    void ready(const QString& status);
    void status(const QString& line);
    void stopping();
    /// The dispatch loop has moved on; the watchdog hears of it a few times per interval at most.
    void alive();

private:
    void notify(const QString& state);

    bool m_notifying = false;
    bool m_ready = false;
    quint64 m_watchdogUsec = 0; // 0: no watchdog asked for
    QElapsedTimer m_sincePing;
    QString m_status;
};
