#include "ServiceManager.h"

#include <systemd/sd-daemon.h>

ServiceManager::ServiceManager()
    : m_notifying(qEnvironmentVariableIsSet("NOTIFY_SOCKET"))
{
    uint64_t usec = 0;
    if (m_notifying && sd_watchdog_enabled(0, &usec) > 0)
        m_watchdogUsec = usec;
}

void ServiceManager::notify(const QString& state)
{
    if (m_notifying)
        sd_notify(0, state.toUtf8().constData());
}

void ServiceManager::ready(const QString& status)
{
    m_ready = true;
    m_status = status;
    notify(QStringLiteral("READY=1\nSTATUS=") + status);
    alive();
}

void ServiceManager::status(const QString& line)
{
    if (line == m_status)
        return;
    m_status = line;
    // Before READY=1 the line waits to go with it.
    if (m_ready)
        notify(QStringLiteral("STATUS=") + line);
}

void ServiceManager::stopping()
{
    notify(QStringLiteral("STOPPING=1\nSTATUS=stopping"));
}

void ServiceManager::alive()
{
    // Four pings per interval leave room for a late tick without flooding the service manager.
    if (m_watchdogUsec == 0 ||
        (m_sincePing.isValid() && quint64(m_sincePing.elapsed()) * 4000 < m_watchdogUsec))
        return;
    m_sincePing.start();
    notify(QStringLiteral("WATCHDOG=1"));
}
