#pragma once

#include <QDate>
#include <QString>

#include <functional>

class Store;

/// The texts of MessageQueue by the day they were queued, for the guards that leave out what a
/// client was already sent.
class QueuedTexts
{
public:
    explicit QueuedTexts(const Store& store);

    /// Calls back with the number and text of every queue row whose QDateTime falls on day (local
    /// time, start of the day to the start of the next), whatever its status, in one statement over
    /// the index on QDateTime.
    void forEachOn(const QDate& day,
                   const std::function<void(const QString& mobileNo, const QString& message)>& visit) const;

private:
    const Store& m_store;
};
