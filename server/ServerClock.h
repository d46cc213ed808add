#pragma once

#include <QDateTime>
#include <QObject>

#include <functional>

/// The dispatch server's clock seam: every wait of the server (the one-second dispatch timer, the
/// pauses of the server search, request time-outs, store retries) and the times a pass records go
/// through it, so that tests drive time instead of sleeping.
class ServerClock
{
public:
    virtual ~ServerClock() = default;
    /// Runs action once, milliseconds from now, on context's thread; never when context is gone.
    virtual void callAfter(int milliseconds, QObject* context, std::function<void()> action) = 0;
    /// The local date and time.
    virtual QDateTime now() const = 0;
};

/// Real time, through single-shot timers of the event loop.
class SystemClock : public ServerClock
{
public:
    void callAfter(int milliseconds, QObject* context, std::function<void()> action) override;
    QDateTime now() const override;

    static SystemClock& instance();
};
