#pragma once

#include "StoreError.h"

#include <QDate>
#include <QString>

#include <vector>

class Store;

/// One message as the desk program places it in the queue.
struct QueuedMessage
{
    QString mobileNo;
    QString message;
    QString userName;
    qint64 batchNo = 0;
    QString appId;
    QString superUser;
};

/// A failure part way through queueing several messages; the messages before it stay queued.
class QueueWriteError : public StoreError
{
public:
    QueueWriteError(const QString& message, int queued)
        : StoreError(message)
        , m_queued(queued)
    {
    }
    int queued() const { return m_queued; }

private:
    int m_queued;
};

/// The MessageQueue table: the only hand-over between the desk program and the dispatch server.
class MessageQueueTable
{
public:
    explicit MessageQueueTable(const Store& store);

    /// Inserts one row; Status, QDateTime and nid come from the column defaults.
    void insert(const QueuedMessage& message) const;

    /// Inserts every row in one transaction. On a failure the rows before the failing one stay
    /// queued and QueueWriteError says how many they are.
    void insertAll(const std::vector<QueuedMessage>& messages) const;

    /// Inserts, in one transaction, every message whose number and text (letter case ignored) were not
    /// queued on day yet; returns how many it left out. The check and the inserts run under a lock
    /// that every writer through here for the same guard takes (the store's write lock on SQLite, an
    /// advisory lock of the transaction on PostgreSQL), so that two desks sending the same texts at
    /// once queue each text once. Nothing is queued when it throws QueueWriteError.
    int insertNotQueuedOn(const std::vector<QueuedMessage>& messages, const QDate& day,
                          const QString& guard) const;

private:
    /// Writes messages [begin, end) through the store's bulk path; on a failure written, if given,
    /// says how many went in before it (on SQLite; PostgreSQL keeps none of a failed copy).
    void write(const std::vector<QueuedMessage>& messages, size_t begin, size_t end, qint64* written) const;

    const Store& m_store;
};
