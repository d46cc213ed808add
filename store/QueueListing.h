#pragma once

#include <QList>
#include <QString>

#include <vector>

class Store;

/// One user's count of waiting messages, as v_QueueLen gives it.
struct QueueLength
{
    QString userName;
    qint64 length = 0;
};

/// One waiting message as the queue screen lists it.
struct QueueListingRow
{
    qint64 nid = 0;
    QString mobileNo;
    /// The name of the client with this mobile number; empty when no client has it.
    QString clientName;
    QString message;
    /// When it was queued, as "yyyy-MM-dd HH:mm:ss".
    QString queuedAt;
    QString appId;
};

/// The waiting messages of MessageQueue as the queue screen shows and prunes them.
class QueueListing
{
public:
    explicit QueueListing(const Store& store);

    /// Every user's queue length, in the order of v_QueueLen.
    QList<QueueLength> lengths() const;

    /// The messages v_messageQueue lists for the user, in its order (by nid), each with the name of
    /// the first client (by id) whose mobile number it is.
    std::vector<QueueListingRow> messagesOf(const QString& userName) const;

    /// Deletes those of the messages that are still "Queued", all in one transaction; a message the
    /// dispatch server has taken meanwhile stays. Returns how many were deleted.
    int deleteQueued(const QList<qint64>& nids) const;

private:
    const Store& m_store;
};
