#pragma once

#include <QString>

#include <vector>

#include "MessageQueueTable.h"

class Store;

/// The desk program's program-wide values and the shared routines that every screen uses to
/// place its messages in the queue.
class DeskSession
{
public:
    /// Takes the store as the desk program's connection and gives it staging tables of its own
    /// (Store::openPrivateStaging). Throws StoreError.
    explicit DeskSession(Store& store);

    /// The one connection to the message store.
    Store& StoreConnection() const { return m_store; }

    /// Login name as typed at login; stamped on every queued message.
    const QString& CurrentUserName() const { return m_currentUserName; }
    void setCurrentUserName(const QString& name) { m_currentUserName = name; }

    /// FileType of proxyconfig: "ODIN" opens the delimited-file trade screens.
    const QString& TradeFileType() const { return m_tradeFileType; }
    void setTradeFileType(const QString& fileType) { m_tradeFileType = fileType; }

    /// SuperUser of proxyconfig, read at start-up; stamped on every queued message.
    const QString& SuperUserName() const { return m_superUserName; }

    /// The application folder the program was started on; where the reports write their exports.
    const QString& ApplicationFolder() const { return m_applicationFolder; }
    void setApplicationFolder(const QString& folder) { m_applicationFolder = folder; }
    /// What the sent-messages report shows: 0 the list of sent messages, 1 the daily counts.
    int SentReportMode() const { return m_sentReportMode; }
    void setSentReportMode(int mode) { m_sentReportMode = mode; }

    /// The batch number stamped on queued messages; 0 until NextBatchNumber is first called.
    qint64 CurrentBatchNo() const { return m_currentBatchNo; }

    /// Reads SuperUserName and TradeFileType; both stay as they were when proxyconfig has no row.
    void LoadStartupSettings();

    /// Takes the stored batch number into CurrentBatchNo and advances the stored counter.
    void NextBatchNumber();

    /// The queue row of a message, with the current user, batch number and super user: single quotes
    /// are removed from the text; the other values are stored as they are.
    QueuedMessage queuedMessage(const QString& appId, const QString& mobileNo, const QString& message) const;

private:
    Store& m_store;
    QString m_currentUserName;
    QString m_tradeFileType;
    QString m_superUserName;
    QString m_applicationFolder;
    qint64 m_currentBatchNo = 0;
    int m_sentReportMode = 0;
};

/// The messages of one sending action, queued together in one transaction.
///
/// A screen's "Send" takes one batch number, calls AddToQueue once per message and then send().
/// Should the store fail part way, the messages before the failure stay queued.
class QueueBatch
{
public:
    explicit QueueBatch(DeskSession& session);

    void AddToQueue(const QString& appId, const QString& mobileNo, const QString& message);
    int size() const { return int(m_messages.size()); }

    /// Writes the messages; returns how many were queued. Throws QueueWriteError on a failure.
    int send();

private:
    DeskSession& m_session;
    std::vector<QueuedMessage> m_messages;
};
