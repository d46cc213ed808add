#pragma once

#include "Ticker.h"

/// A ticker the test fires by hand; a stopped ticker lets ticks pass unseen, as a stopped timer does.
class ManualTicker : public Ticker
{
    Q_OBJECT

public:
    void start() override { m_active = true; }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }

    void fire(int times = 1)
    {
        for (int i = 0; i < times; ++i) {
            if (m_active)
                Q_EMIT tick();
        }
    }

private:
    bool m_active = false;
};
