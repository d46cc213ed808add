#pragma once

#include "QueueGridRow.h"
#include "TradeFileKind.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class DeskSession;

/// What one "Read File(s)" did, in the words the screens show.
struct TradeReadReport
{
    qint64 staged = 0;
    qint64 skipped = 0;
    /// Kinds whose conversion error ends a file: the error of each file whose rest was skipped, one
    /// message box each.
    QStringList conversionErrors;
    /// Lines the reader could not take for another reason (a field that is not a number, a position
    /// beyond the line, a file that cannot be opened), each naming the file and the line number.
    QStringList problems;
    /// What the operator should know of the read as a whole (no line matched the layout), each in a box
    /// of its own.
    QStringList notices;
};

/// The engine behind a trade-file screen and `brisant confirm KIND`: reads the kind's files into its
/// staging table, shows the staged trades, builds one or more texts per client and queues them. No
/// widgets; what differs between kinds comes from their TradeFileKind.
class TradeConfirmations
{
public:
    using Progress = std::function<void(qint64 done, qint64 total)>;

    virtual ~TradeConfirmations() = default;

    /// The engine of a kind that is built; nullptr for the others.
    static std::unique_ptr<TradeConfirmations> create(DeskSession& session, const TradeFileKind& kind);

    const TradeFileKind& kind() const { return m_kind; }

    /// As the screen opens: empties the staging table and loads the positions.
    virtual void open() = 0;
    /// Loads the positions again (after the settings dialog closes). Throws StoreError naming the
    /// row when it is missing or a position cannot be used.
    virtual void loadPositions() = 0;

    /// "Read File(s)": empties the staging table and stages every line of the files in the order
    /// given, in one transaction. progress is called now and then with the bytes read so far and in
    /// all; the screens let their window events run there. A store failure rolls the whole read back
    /// (the staging table keeps what it held) and throws StoreError.
    virtual TradeReadReport readFiles(const QStringList& files, const Progress& progress = {}) = 0;

    /// The staged trades as msf1 shows them, its first column included (empty, or the client-master
    /// mark "Not Found" where the kind shows one).
    virtual QList<QStringList> stagedGrid() const = 0;
    /// The summary tab's rows where the kind has one: the client-master mark, then the stored query's
    /// columns.
    virtual QList<QStringList> summary() const { return {}; }
    /// The staged client codes that the client master does not hold (none when it is empty).
    virtual QStringList missingClientCodes() const = 0;

    /// "Generate Message": the texts of every client of the client master, in its order.
    virtual QList<QueueGridRow> generate(const QString& prefix) const = 0;

    /// "Send Message": takes a batch number where the kind does so on every press (even with nothing to
    /// send), then queues every row whose number and text are both non-empty under the kind's
    /// application id. Returns how many were queued. Where the kind leaves out what was queued today,
    /// the check is made again as the rows are written, so that another desk sending the same texts at
    /// the same moment does not queue them twice; alreadyQueued() then says how many were left out.
    int send(const QList<QueueGridRow>& grid);

    /// How many texts the last generate() or send() left out as queued today already (kinds with
    /// leavesOutQueuedToday); 0 for the other kinds.
    qsizetype alreadyQueued() const { return m_alreadyQueued; }
    /// The operator's words for alreadyQueued(); empty when it is 0.
    QString alreadyQueuedText() const;

    /// The day whose queued texts are left out: the local date unless one is set.
    QDate today() const { return m_today.isValid() ? m_today : QDate::currentDate(); }
    void setToday(const QDate& day) { m_today = day; }

protected:
    TradeConfirmations(DeskSession& session, const TradeFileKind& kind)
        : m_session(session)
        , m_kind(kind)
    {
    }

    /// A client code as it is matched to the client master: blanks around it and letter case ignored
    /// (a code cut from a fixed-width field keeps its blanks in staging).
    static QString foldCode(const QString& code);
    /// The rows behind their client-master mark: "Not Found" where the code in the first column is no
    /// client's, none marked when the client master is empty.
    QList<QStringList> markMissingClients(QList<QStringList> rows) const;
    /// Those of the staged codes that are no client's, each once and trimmed; none when the client
    /// master is empty.
    QStringList missingAmong(const QStringList& stagedCodes) const;

    DeskSession& m_session;
    const TradeFileKind& m_kind;
    // Written by generate() too, which is const as the screens call it.
    mutable qsizetype m_alreadyQueued = 0;

private:
    QDate m_today;
};
