#pragma once

#include "ClientTable.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

class Store;

/// One sent message as the sent list shows it, as UTF-8 texts valid while it is being handed on.
struct SentListRow
{
    QByteArrayView mobileNo;
    /// The client the message was for; empty when none is found.
    QByteArrayView clientName;
    QByteArrayView message;
    /// When the dispatch server took it, as "yyyy-MM-dd HH:mm:ss".
    QByteArrayView queuedAt;
    QByteArrayView appId;
    QByteArrayView userName;
};

/// The number of messages sent on one day.
struct SentDayCount
{
    /// As "yyyy-MM-dd".
    QString day;
    qint64 count = 0;
};

/// What the report screens read from the store: the client list, and the "Sent" rows of MessageQueue
/// one by one or counted per day.
class SentReport
{
public:
    explicit SentReport(const Store& store);

    /// ClientMaster in the order of its ids.
    QList<ClientRow> clients() const;
    /// Deletes every client; returns how many there were.
    int deleteAllClients() const;

    /// Hands take the "Sent" messages whose QDateTime lies in [from, to], in nid order, each with the
    /// name of its client: the client whose code the text names before its first ":" (see
    /// clientCodeOf), else the first client (by id) with the message's mobile number. The rows are
    /// handed on as they are read, so that a million of them are never held twice.
    void sentBetween(const QDateTime& from, const QDateTime& to,
                     const std::function<void(const SentListRow& row)>& take) const;
    /// The number of "Sent" messages per calendar day of QDateTime in [from, to], by day.
    QList<SentDayCount> countPerDay(const QDateTime& from, const QDateTime& to) const;

    /// The client code a message text names: the text before its first ":", trimmed, from the last
    /// blank in it; empty when the text has no ":". The text is UTF-8.
    static QByteArrayView clientCodeOf(QByteArrayView message);

private:
    const Store& m_store;
};
