#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

class Store;

/// The dispatch server's side of MessageQueue: it takes rows "Queued" → "Read" into an upload and
/// records the outcome. Every status it writes is one of "Read", "Sent", "DelSent", "Queued",
/// "Deleted", "Discarded" and "Invalid" (a number that cannot be sent).
class DispatchQueue
{
public:
    explicit DispatchQueue(const Store& store);

    struct Row
    {
        int nid = 0;
        QString mobileNo;
        QString message;
    };

    /// Number of rows waiting ("Queued").
    int countQueued() const;

    struct Counts
    {
        int queued = 0;
        int read = 0; // taken into a pass
    };
    /// Rows "Queued" and rows "Read", in one statement.
    Counts countWaiting() const;

    /// Up to limit waiting rows, in queue order.
    QList<Row> selectQueued(int limit) const;

    /// Marks rows taken into the upload being built: the day alone in QDateTime, the time of day
    /// alone in DelDate.
    void markRead(const QList<int>& nids, const QDateTime& when) const;
    void markDiscarded(const QList<int>& nids) const;
    void markInvalid(const QList<int>& nids) const;

private:
    void markEach(const QString& sql, const QList<int>& nids, const QVariantList& leading) const;

    const Store& m_store;
};
