#pragma once

#include <QObject>
#include <QTimer>

/// A source of regular ticks that a screen counts time by; tests drive their own instead of waiting.
class Ticker : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;

Q_SIGNALS:
    void tick();
};

/// Ticks from a QTimer at a fixed interval.
class TimerTicker : public Ticker
{
    Q_OBJECT

public:
    explicit TimerTicker(int intervalMs, QObject* parent = nullptr);

    void start() override { m_timer.start(); }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};
