#include "DeskSession.h"

#include "MessageText.h"
#include "SettingsRows.h"
#include "Store.h"

DeskSession::DeskSession(Store& store)
    : m_store(store)
{
    // Operators at several desks read trade files at the same time; none may empty or send another's.
    m_store.openPrivateStaging();
}

void DeskSession::LoadStartupSettings()
{
    if (const auto settings = SettingsRows(m_store).startupSettings()) {
        m_superUserName = settings->superUser;
        m_tradeFileType = settings->fileType;
    }
}

void DeskSession::NextBatchNumber()
{
    m_currentBatchNo = SettingsRows(m_store).takeBatchNumber();
}

QueuedMessage DeskSession::queuedMessage(const QString& appId, const QString& mobileNo,
                                         const QString& message) const
{
    return QueuedMessage{
        mobileNo, RemoveSingleQuotes(message), m_currentUserName, m_currentBatchNo, appId, m_superUserName};
}

QueueBatch::QueueBatch(DeskSession& session)
    : m_session(session)
{
}

void QueueBatch::AddToQueue(const QString& appId, const QString& mobileNo, const QString& message)
{
    m_messages.push_back(m_session.queuedMessage(appId, mobileNo, message));
}

int QueueBatch::send()
{
    MessageQueueTable(m_session.StoreConnection()).insertAll(m_messages);
    const int sent = size();
    m_messages.clear();
    return sent;
}
