#include "BulkInsert.h"

#include "NativeHandle.h"
#include "Store.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <charconv>
#include <memory>
#include <optional>

namespace {

// Rows are sent to PostgreSQL in pieces of about this size: big enough that the calls cost nothing,
// small enough that the buffer never holds a large part of a million rows.
constexpr qsizetype kSendBytes = 256 * 1024;

using Result = std::unique_ptr<PGresult, void (*)(PGresult*)>;

StoreError postgresError(PGconn* connection, const PGresult* result)
{
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    return StoreError(
        QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(connection)).trimmed(),
        QString::fromLatin1(state ? state : ""));
}

// One byte of text in COPY's text format: the field and row separators, the backslash and the line
// breaks are written as backslash escapes; every other byte stands for itself.
inline void appendCopyByte(QByteArray& out, char c)
{
    switch (c) {
    case '\\':
        out.append("\\\\", 2);
        break;
    case '\t':
        out.append("\\t", 2);
        break;
    case '\n':
        out.append("\\n", 2);
        break;
    case '\r':
        out.append("\\r", 2);
        break;
    default:
        out.append(c);
    }
}

void appendCopyText(QByteArray& out, QStringView text)
{
    // Most values are ASCII: written as they are read, with no UTF-8 copy of the whole value.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80) {
            for (const char byte : text.sliced(i).toUtf8())
                appendCopyByte(out, byte);
            return;
        }
        appendCopyByte(out, char(c));
    }
}

} // namespace

BulkInsert::BulkInsert(const Store& store, const QString& table, const QStringList& columns)
    : m_store(store)
    , m_columns(columns.size())
{
    if (m_store.m_closed)
        throw StoreError(QStringLiteral("the message store is closed"));
    if (m_store.engine() == Store::Engine::Postgres) {
        // Begun with the first row, so that the connection stays free until there is one.
        m_copy =
            QStringLiteral("COPY %1 (%2) FROM STDIN").arg(table, columns.join(QStringLiteral(", "))).toUtf8();
        return;
    }
    sqlite3* connection = NativeHandle<sqlite3>(m_store.database(), "sqlite3*");
    const QByteArray sql =
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(table, columns.join(QStringLiteral(", ")),
                 QStringList(columns.size(), QStringLiteral("?")).join(QStringLiteral(", ")))
            .toUtf8();
    if (sqlite3_prepare_v2(connection, sql.constData(), int(sql.size()), &m_statement, nullptr) != SQLITE_OK)
        throw StoreError(QString::fromUtf8(sqlite3_errmsg(connection)),
                         QString::number(sqlite3_extended_errcode(connection)));
}

BulkInsert::~BulkInsert()
{
    if (m_connection && !m_finished) {
        try {
            endCopy(false);
        } catch (const StoreError&) {
            // Refused, as asked: nothing of the copy stays.
        }
    }
    sqlite3_finalize(m_statement);
}

void BulkInsert::startCopy()
{
    PGconn* connection = ReadyPostgresConnection(m_store.database());
    const Result result{PQexec(connection, m_copy.constData()), PQclear};
    if (PQresultStatus(result.get()) != PGRES_COPY_IN)
        throw postgresError(connection, result.get());
    m_connection = connection;
    m_buffer.reserve(kSendBytes + 4096);
}

void BulkInsert::appendCopyValue(const Value& value)
{
    switch (value.m_kind) {
    case Value::Kind::Null:
        m_buffer.append("\\N", 2);
        break;
    case Value::Kind::Text:
        appendCopyText(m_buffer, *value.m_text);
        break;
    case Value::Kind::Integer: {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value.m_integer).ptr;
        m_buffer.append(digits, end - digits);
        break;
    }
    }
}

void BulkInsert::add(std::initializer_list<Value> row)
{
    if (m_finished)
        throw StoreError(QStringLiteral("rows were added to a bulk insert that had ended"));
    if (qsizetype(row.size()) != m_columns)
        throw StoreError(QStringLiteral("a bulk insert of %1 columns was given a row of %2 values")
                             .arg(m_columns)
                             .arg(row.size()));
    if (!m_copy.isEmpty()) {
        if (!m_connection)
            startCopy();
        bool first = true;
        for (const Value& value : row) {
            if (!first)
                m_buffer.append('\t');
            first = false;
            appendCopyValue(value);
        }
        m_buffer.append('\n');
        if (m_buffer.size() >= kSendBytes)
            sendBuffer();
        ++m_written;
        return;
    }
    int column = 0;
    int bound = SQLITE_OK;
    for (const Value& value : row) {
        ++column;
        switch (value.m_kind) {
        case Value::Kind::Null:
            bound = sqlite3_bind_null(m_statement, column);
            break;
        case Value::Kind::Text:
            // The text stays where it is until the step below: no copy of it is needed.
            bound = sqlite3_bind_text16(m_statement, column, value.m_text->utf16(),
                                        int(value.m_text->size() * sizeof(char16_t)), SQLITE_STATIC);
            break;
        case Value::Kind::Integer:
            bound = sqlite3_bind_int64(m_statement, column, value.m_integer);
            break;
        }
        if (bound != SQLITE_OK)
            break;
    }
    const int step = bound == SQLITE_OK ? sqlite3_step(m_statement) : bound;
    sqlite3_reset(m_statement);
    if (step != SQLITE_DONE) {
        sqlite3* connection = sqlite3_db_handle(m_statement);
        throw StoreError(QString::fromUtf8(sqlite3_errmsg(connection)),
                         QString::number(sqlite3_extended_errcode(connection)));
    }
    ++m_written;
}

void BulkInsert::sendBuffer()
{
    if (m_buffer.isEmpty())
        return;
    if (PQputCopyData(m_connection, m_buffer.constData(), int(m_buffer.size())) != 1) {
        // The connection failed under the copy: end it so the connection takes statements again.
        const StoreError error = postgresError(m_connection, nullptr);
        endCopy(false);
        throw error;
    }
    m_buffer.clear();
}

void BulkInsert::endCopy(bool done)
{
    m_finished = true;
    m_buffer.clear();
    const int ended = PQputCopyEnd(m_connection, done ? nullptr : "the rows were abandoned before their end");
    // Every result is taken, whatever happened, so that the connection is ready for the next statement.
    std::optional<StoreError> failed;
    if (ended != 1)
        failed = postgresError(m_connection, nullptr);
    while (Result result{PQgetResult(m_connection), PQclear}) {
        if (PQresultStatus(result.get()) != PGRES_COMMAND_OK && !failed)
            failed = postgresError(m_connection, result.get());
    }
    if (failed)
        throw *failed;
}

void BulkInsert::finish()
{
    if (m_finished)
        return;
    if (!m_connection) {
        m_finished = true;
        return;
    }
    sendBuffer();
    endCopy(true);
}
