#include "MessageQueueTable.h"

#include "BulkInsert.h"
#include "QueuedTexts.h"
#include "Store.h"

#include <QSet>

#include <functional>

namespace {

const QString kInsert = QStringLiteral("INSERT INTO MessageQueue (MobileNo, Message, UserName, BatchNo, "
                                       "AppID, SuperUser) VALUES (?, ?, ?, ?, ?, ?)");

// Rows of a failed write tried again to a savepoint: a failure then costs at most this many rows
// written one by one.
constexpr size_t kRetryRows = 500;

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
    QSqlQuery query = m_store.prepare(kInsert);
    bindMessage(query, message);
    Store::exec(query);
}

void MessageQueueTable::write(const std::vector<QueuedMessage>& messages, size_t begin, size_t end,
                              qint64* written) const
{
    BulkInsert insert(m_store, QStringLiteral("MessageQueue"),
                      {QStringLiteral("MobileNo"), QStringLiteral("Message"), QStringLiteral("UserName"),
                       QStringLiteral("BatchNo"), QStringLiteral("AppID"), QStringLiteral("SuperUser")});
    try {
        for (size_t i = begin; i < end; ++i) {
            const QueuedMessage& message = messages[i];
            insert.add({message.mobileNo, message.message, message.userName, message.batchNo, message.appId,
                        message.superUser});
        }
        insert.finish();
    } catch (const StoreError&) {
        if (written)
            *written = insert.written();
        throw;
    }
}

void MessageQueueTable::insertAll(const std::vector<QueuedMessage>& messages) const
{
    if (messages.empty())
        return;
    QString reason;
    qint64 written = 0;
    {
        Transaction transaction(m_store);
        try {
            write(messages, 0, messages.size(), &written);
            transaction.commit();
            return;
        } catch (const StoreError& error) {
            reason = error.message();
        }
        // A failed statement leaves SQLite's transaction open with the rows before it: keep them.
        if (m_store.engine() == Store::Engine::Sqlite) {
            try {
                transaction.commit();
            } catch (const StoreError&) {
                written = 0;
            }
            throw QueueWriteError(reason, int(written));
        }
    }
    // PostgreSQL has refused the whole copy, which says nothing of which row it refused: write the
    // messages again a few hundred at a time, each to a savepoint, and the refused few one by one,
    // until the failing row.
    int done = 0;
    try {
        Transaction transaction(m_store);
        QSqlQuery one = m_store.prepare(kInsert);
        const auto toSavepoint = [this](const std::function<void()>& write) {
            m_store.exec(QStringLiteral("SAVEPOINT queue_rows"));
            try {
                write();
            } catch (const StoreError&) {
                m_store.exec(QStringLiteral("ROLLBACK TO SAVEPOINT queue_rows"));
                return false;
            }
            m_store.exec(QStringLiteral("RELEASE SAVEPOINT queue_rows"));
            return true;
        };
        bool refused = false;
        for (size_t start = 0; start < messages.size() && !refused; start += kRetryRows) {
            const size_t end = std::min(start + kRetryRows, messages.size());
            if (toSavepoint([&] { write(messages, start, end, nullptr); })) {
                done += int(end - start);
                continue;
            }
            for (size_t i = start; i < end && !refused; ++i) {
                refused = !toSavepoint([&] {
                    bindMessage(one, messages[i]);
                    Store::exec(one);
                });
                done += refused ? 0 : 1;
            }
            refused = true;
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
        write(fresh, 0, fresh.size(), nullptr);
        transaction.commit();
        return int(messages.size() - fresh.size());
    } catch (const StoreError& error) {
        throw QueueWriteError(error.message(), 0);
    }
}
