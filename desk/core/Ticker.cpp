#include "Ticker.h"

TimerTicker::TimerTicker(int intervalMs, QObject* parent)
    : Ticker(parent)
{
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &Ticker::tick);
}
