#pragma once

#include "ServerClock.h"

#include <QPointer>

#include <algorithm>
#include <vector>

/// A clock that stands still until the test advances it; due actions run in the order of their times.
/// Its date and time start at the real ones when it is made.
class ManualClock : public ServerClock
{
public:
    QDateTime now() const override { return m_start.addMSecs(m_now); }

    void callAfter(int milliseconds, QObject* context, std::function<void()> action) override
    {
        m_pending.push_back({m_now + milliseconds, m_sequence++, context, std::move(action)});
    }

    /// Moves time on, running every action that falls due (also those scheduled meanwhile).
    void advance(qint64 milliseconds)
    {
        const qint64 until = m_now + milliseconds;
        for (;;) {
            const auto next =
                std::min_element(m_pending.begin(), m_pending.end(), [](const auto& a, const auto& b) {
                    return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
                });
            if (next == m_pending.end() || next->due > until)
                break;
            Pending due = std::move(*next);
            m_pending.erase(next);
            m_now = due.due;
            if (due.context)
                due.action();
        }
        m_now = until;
    }

    int pendingCount() const { return int(m_pending.size()); }

private:
    struct Pending
    {
        qint64 due;
        quint64 sequence;
        QPointer<QObject> context;
        std::function<void()> action;
    };
    QDateTime m_start = QDateTime::currentDateTime();
    qint64 m_now = 0;
    quint64 m_sequence = 0;
    std::vector<Pending> m_pending;
};
