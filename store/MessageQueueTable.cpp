#include "MessageQueueTable.h"

#include "QueuedTexts.h"
#include "Store.h"

#include <QSet>

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

// The first key of the advisory locks that guard the queue writes, the second naming the guard.
constexpr int kGuardLockClass = 44170002;

// A number and a text as the store compares them: letter case ignored.
QString queuedKey(const QString& mobileNo, const QString& message)
{
    return mobileNo.toCaseFolded() + QChar(u'\n') + message.toCaseFolded();
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

int MessageQueueTable::insertNotQueuedOn(const std::vector<QueuedMessage>& messages, const QDate& day,
                                         const QString& guard) const
{
    if (messages.empty())
        return 0;
    try {
        // On SQLite the write lock is taken at BEGIN, before the check reads the day's texts.
        Transaction transaction(m_store);
        if (m_store.engine() == Store::Engine::Postgres)
            m_store.exec(
                QStringLiteral("SELECT pg_advisory_xact_lock(CAST(? AS INTEGER), CAST(? AS INTEGER))"),
                {kGuardLockClass, int(qChecksum(guard.toCaseFolded().toUtf8()))});
        QSet<QString> queued;
        QueuedTexts(m_store).forEachOn(day, [&](const QString& mobileNo, const QString& message) {
            queued.insert(queuedKey(mobileNo, message));
        });
        std::vector<QueuedMessage> fresh;
        fresh.reserve(messages.size());
        for (const QueuedMessage& message : messages) {
            if (!queued.contains(queuedKey(message.mobileNo, message.message)))
                fresh.push_back(message);
        }
        if (m_store.engine() == Store::Engine::Sqlite) {
            QSqlQuery query = m_store.prepare(insertStatement(1));
            for (const QueuedMessage& message : fresh) {
                bindMessage(query, message);
                Store::exec(query);
            }
        } else {
            size_t reached = 0;
            insertChunks(fresh, fresh.size(), &reached);
        }
        transaction.commit();
        return int(messages.size() - fresh.size());
    } catch (const StoreError& error) {
        throw QueueWriteError(error.message(), 0);
    }
}
