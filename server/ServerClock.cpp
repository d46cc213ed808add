#include "ServerClock.h"

#include <QTimer>

void SystemClock::callAfter(int milliseconds, QObject* context, std::function<void()> action)
{
    QTimer::singleShot(milliseconds, context, std::move(action));
}

SystemClock& SystemClock::instance()
{
    static SystemClock clock;
    return clock;
}
