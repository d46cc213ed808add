// Store::readRows: long lists read through the engines' own client libraries. QSqlQuery wraps every
// value of every row in a QVariant; for a million rows that costs more than the reading itself.
#include "NativeHandle.h"
#include "Store.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <exception>
#include <memory>
#include <optional>
#include <vector>

namespace {

// A bound value as text: the store binds texts, numbers and NULL.
std::optional<QByteArray> valueText(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    return value.toString().toUtf8();
}

void readSqlite(sqlite3* connection, const QString& sql, const QVariantList& values,
                const std::function<void(std::span<const QByteArrayView>)>& take)
{
    sqlite3_stmt* statement = nullptr;
    const QByteArray text = sql.toUtf8();
    const auto fail = [connection] {
        throw StoreError(QString::fromUtf8(sqlite3_errmsg(connection)),
                         QString::number(sqlite3_extended_errcode(connection)));
    };
    if (sqlite3_prepare_v2(connection, text.constData(), int(text.size()), &statement, nullptr) != SQLITE_OK)
        fail();
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> finalize(statement, sqlite3_finalize);
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& value = values.at(i);
        int bound = SQLITE_OK;
        if (value.isNull())
            bound = sqlite3_bind_null(statement, i + 1);
        else if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong)
            bound = sqlite3_bind_int64(statement, i + 1, value.toLongLong());
        else if (value.typeId() == QMetaType::Double)
            bound = sqlite3_bind_double(statement, i + 1, value.toDouble());
        else {
            const QByteArray bytes = value.toString().toUtf8();
            bound =
                sqlite3_bind_text(statement, i + 1, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        }
        if (bound != SQLITE_OK)
            fail();
    }
    std::vector<QByteArrayView> row(size_t(sqlite3_column_count(statement)));
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
        for (size_t c = 0; c < row.size(); ++c) {
            // The text first, then its length, as SQLite asks.
            const auto* chars = reinterpret_cast<const char*>(sqlite3_column_text(statement, int(c)));
            row[c] = QByteArrayView(chars, sqlite3_column_bytes(statement, int(c)));
        }
        take(row);
    }
    if (step != SQLITE_DONE)
        fail();
}

// The statement with PostgreSQL's numbered parameters for the store's question marks, which stand
// outside quoted texts.
QByteArray numberedParameters(const QString& sql)
{
    QString result;
    result.reserve(sql.size() + 16);
    bool quoted = false;
    int number = 0;
    for (const QChar c : sql) {
        if (c == u'\'')
            quoted = !quoted;
        if (c == u'?' && !quoted)
            result += u'$' + QString::number(++number);
        else
            result += c;
    }
    return result.toUtf8();
}

void readPostgres(PGconn* connection, const QString& sql, const QVariantList& values,
                  const std::function<void(std::span<const QByteArrayView>)>& take)
{
    std::vector<std::optional<QByteArray>> texts;
    std::vector<const char*> parameters;
    for (const QVariant& value : values)
        texts.push_back(valueText(value));
    for (const auto& text : texts)
        parameters.push_back(text ? text->constData() : nullptr);
    using Result = std::unique_ptr<PGresult, void (*)(PGresult*)>;
    const auto failure = [connection](const PGresult* result) {
        const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
        return StoreError(
            QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(connection)).trimmed(),
            QString::fromLatin1(state ? state : ""));
    };
    // Row by row rather than the whole result at once: a million rows are then never held twice.
    if (!PQsendQueryParams(connection, numberedParameters(sql).constData(), int(parameters.size()), nullptr,
                           parameters.data(), nullptr, nullptr, 0) ||
        !PQsetSingleRowMode(connection))
        throw failure(nullptr);
    // Every result is taken, even after a failure, so that the connection is ready for the next
    // statement; a failure of take cancels the rest.
    std::optional<StoreError> failed;
    std::exception_ptr stopped;
    std::vector<QByteArrayView> row;
    while (Result result{PQgetResult(connection), PQclear}) {
        const ExecStatusType status = PQresultStatus(result.get());
        if (failed || stopped)
            continue;
        if (status == PGRES_SINGLE_TUPLE) {
            row.resize(size_t(PQnfields(result.get())));
            for (size_t c = 0; c < row.size(); ++c)
                row[c] =
                    QByteArrayView(PQgetvalue(result.get(), 0, int(c)), PQgetlength(result.get(), 0, int(c)));
            try {
                take(row);
            } catch (...) {
                stopped = std::current_exception();
                if (PGcancel* cancel = PQgetCancel(connection)) {
                    char reason[256];
                    PQcancel(cancel, reason, sizeof reason);
                    PQfreeCancel(cancel);
                }
            }
        } else if (status != PGRES_TUPLES_OK) {
            failed = failure(result.get());
        }
    }
    if (stopped)
        std::rethrow_exception(stopped);
    if (failed)
        throw *failed;
}

} // namespace

// Reading takes the connection for itself: no other query of it may be part-way through its rows.
void Store::readRows(const QString& sql, const QVariantList& values,
                     const std::function<void(std::span<const QByteArrayView> row)>& take) const
{
    if (m_closed)
        throw StoreError(QStringLiteral("the message store is closed"));
    const QSqlDatabase connection = database();
    if (engine() == Engine::Sqlite)
        readSqlite(NativeHandle<sqlite3>(connection, "sqlite3*"), sql, values, take);
    else
        readPostgres(ReadyPostgresConnection(connection), sql, values, take);
}
