#include "MessageQueueTable.h"

#include "Store.h"

namespace {

const QString kInsert = QStringLiteral(
    "INSERT INTO MessageQueue (MobileNo, Message, UserName, BatchNo, AppID, SuperUser) VALUES ");
const QString kRowMarks = QStringLiteral("(?, ?, ?, ?, ?, ?)");

// Rows per statement on PostgreSQL, where one round trip per row would dominate.
constexpr size_t kChunkRows = 500;

QString insertStatement(size_t rows)
{
    QStringList marks;
    for (size_t i = 0; i < rows; ++i)
        marks << kRowMarks;
    return kInsert + marks.join(QStringLiteral(", "));
}

void bindMessage(QSqlQuery& query, const QueuedMessage& message)
{
    query.addBindValue(message.mobileNo);
    query.addBindValue(message.message);
    query.addBindValue(message.userName);
    query.addBindValue(message.batchNo);
    query.addBindValue(message.appId);
    query.addBindValue(message.superUser);
}

} // namespace

MessageQueueTable::MessageQueueTable(const Store& store)
    : m_store(store)
{
}

void MessageQueueTable::insert(const QueuedMessage& message) const
{
    QSqlQuery query = m_store.prepare(insertStatement(1));
    bindMessage(query, message);
    Store::exec(query);
}

void MessageQueueTable::insertAll(const std::vector<QueuedMessage>& messages) const
{
    if (messages.empty())
        return;
    if (m_store.engine() == Store::Engine::Sqlite)
        insertAllSqlite(messages);
    else
        insertAllPostgres(messages);
}

void MessageQueueTable::insertAllSqlite(const std::vector<QueuedMessage>& messages) const
{
    Transaction transaction(m_store);
    QSqlQuery query = m_store.prepare(insertStatement(1));
    int done = 0;
    try {
        for (const QueuedMessage& message : messages) {
            bindMessage(query, message);
            Store::exec(query);
            ++done;
        }
    } catch (const StoreError& error) {
        // A failed statement leaves the transaction open on SQLite: keep what went in before it.
        try {
            transaction.commit();
        } catch (const StoreError&) {
            done = 0;
        }
        throw QueueWriteError(error.message(), done);
    }
    transaction.commit();
}

void MessageQueueTable::insertChunks(const std::vector<QueuedMessage>& messages, size_t end,
                                     size_t* reached) const
{
    for (size_t start = 0; start < end; start += kChunkRows) {
        *reached = start;
        const size_t rows = std::min(kChunkRows, end - start);
        QSqlQuery query = m_store.prepare(insertStatement(rows));
        for (size_t i = start; i < start + rows; ++i)
            bindMessage(query, messages[i]);
        Store::exec(query);
    }
    *reached = end;
}

void MessageQueueTable::insertAllPostgres(const std::vector<QueuedMessage>& messages) const
{
    size_t failedChunk = 0;
    QString reason;
    {
        Transaction transaction(m_store);
        try {
            insertChunks(messages, messages.size(), &failedChunk);
            transaction.commit();
            return;
        } catch (const StoreError& error) {
            reason = error.message();
        }
    }
    // PostgreSQL has dropped the whole transaction: write again what came before the failing row.
    int done = 0;
    try {
        Transaction transaction(m_store);
        size_t reached = 0;
        insertChunks(messages, failedChunk, &reached);
        done = int(failedChunk);
        QSqlQuery one = m_store.prepare(insertStatement(1));
        for (size_t i = failedChunk; i < std::min(failedChunk + kChunkRows, messages.size()); ++i) {
            m_store.exec(QStringLiteral("SAVEPOINT queue_row"));
            bindMessage(one, messages[i]);
            if (!one.exec()) {
                m_store.exec(QStringLiteral("ROLLBACK TO SAVEPOINT queue_row"));
                break;
            }
            m_store.exec(QStringLiteral("RELEASE SAVEPOINT queue_row"));
            ++done;
        }
        transaction.commit();
    } catch (const StoreError&) {
        done = 0;
    }
    throw QueueWriteError(reason, done);
}
