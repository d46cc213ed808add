#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <initializer_list>

class Store;
struct sqlite3_stmt;
struct pg_conn;

/// Writes many rows into one table through the engine's own bulk path: COPY … FROM STDIN on
/// PostgreSQL, one reused prepared INSERT on SQLite. It writes inside the caller's transaction, if
/// there is one, with the values an INSERT binding them would store (a null QString is NULL).
///
/// Until finish() the connection is the writer's alone on PostgreSQL: no other statement may run on
/// it. A writer left unfinished (destroyed, or unwound by an exception) abandons its rows: PostgreSQL
/// refuses the whole copy, so the caller's transaction rolls back with nothing of it written; on SQLite
/// the caller's transaction, rolling back, takes the rows already inserted with it.
class BulkInsert
{
public:
    /// One value of a row.
    class Value
    {
    public:
        Value(const QString& text)
            : m_kind(text.isNull() ? Kind::Null : Kind::Text)
            , m_text(&text)
        {
        }
        Value(qint64 number)
            : m_kind(Kind::Integer)
            , m_integer(number)
        {
        }
        Value(int number)
            : Value(qint64(number))
        {
        }
        Value(std::nullptr_t)
            : m_kind(Kind::Null)
        {
        }

    private:
        friend class BulkInsert;
        enum class Kind { Null, Text, Integer };
        Kind m_kind;
        const QString* m_text = nullptr;
        qint64 m_integer = 0;
    };

    /// Starts writing into table's columns; throws StoreError.
    BulkInsert(const Store& store, const QString& table, const QStringList& columns);
    ~BulkInsert();

    BulkInsert(const BulkInsert&) = delete;
    BulkInsert& operator=(const BulkInsert&) = delete;

    /// Writes one row, its values in the order of the columns; throws StoreError.
    void add(std::initializer_list<Value> row);
    /// Ends the writing; the store's refusal of any row throws StoreError here at the latest. The
    /// connection is free for other statements afterwards, whether it succeeded or not.
    void finish();

    qint64 written() const { return m_written; }

private:
    void startCopy();
    void sendBuffer();
    /// Ends the copy: done says the rows are complete, otherwise the server is told to refuse them.
    void endCopy(bool done);
    void appendCopyValue(const Value& value);

    const Store& m_store;
    qsizetype m_columns;
    qint64 m_written = 0;
    bool m_finished = false;
    // PostgreSQL: the COPY statement, the connection once it has begun, and the rows not yet sent in
    // COPY's text format.
    QByteArray m_copy;
    pg_conn* m_connection = nullptr;
    QByteArray m_buffer;
    // SQLite: the prepared insert.
    sqlite3_stmt* m_statement = nullptr;
};
