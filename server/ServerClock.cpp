#include "ServerClock.h"

#include <QTimer>

void SystemClock::callAfter(int milliseconds, QObject* context, std::function<void()> action)
{
    QTimer::singleShot(milliseconds, context, std::move(action));
}

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

SystemClock& SystemClock::instance()
{
    static SystemClock clock;
    return clock;
}
