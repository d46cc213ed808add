#pragma once

#include "ColumnPositions.h"
#include "MessageGrid.h"
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
/// staging table (or, for a kind without one, into memory), shows what it read, builds one or more
/// texts per client and queues them. No widgets; what differs between kinds comes from their
/// TradeFileKind, and a kind's own engine adds only its line reading and its message building.
class TradeConfirmations
{
public:
    using Progress = std::function<void(qint64 done, qint64 total)>;

    virtual ~TradeConfirmations() = default;

    /// The engine the kind describes.
    static std::unique_ptr<TradeConfirmations> create(DeskSession& session, const TradeFileKind& kind);

    const TradeFileKind& kind() const { return m_kind; }

    /// As the screen opens: empties the staging table and loads the positions.
    void open();
    /// Loads the positions again (after the settings dialog closes): the kind's positionCount
    /// positions of its bnfconfigure row. Throws StoreError naming the row when it is missing or a
    /// position cannot be used.
    virtual void loadPositions();

    /// The layout the next files are read in, an index into the kind's layouts; 0 where it has none.
    void setLayout(int layout) { m_layout = layout; }
    int layout() const { return m_layout; }

    /// "Read File(s)": empties the staging table and stages every line of the files in the order
    /// given, in one transaction. progress is called now and then with the bytes read so far and in
    /// all. A store failure rolls the whole read back (the staging table keeps what it held) and throws
    /// StoreError. Safe to run on a thread of its own while it holds the store's turn: it touches no
    /// widget and nothing of the engine that the screen reads meanwhile.
    TradeReadReport readFiles(const QStringList& files, const Progress& progress = {});

    /// The staged trades as msf1 shows them, its first column included (empty, or the client-master
    /// mark "Not Found" where the kind shows one).
    virtual QList<QStringList> stagedGrid() const = 0;
    /// The summary tab's rows where the kind has one: the client-master mark, then the stored query's
    /// columns.
    virtual QList<QStringList> summary() const { return {}; }
    /// The rows of the kind's raw grid (TradeFileKind::rawGridFormat), where it has one.
    virtual QList<QStringList> rawGrid() const { return {}; }
    /// The staged client codes that the client master does not hold (none when it is empty).
    virtual QStringList missingClientCodes() const = 0;

    /// "Generate Message": the texts of every client of the client master, in its order.
    virtual QList<QueueGridRow> generate(const QString& prefix) const = 0;
    /// What the operator should know of the last generate() (a text over the usual length), if anything.
    virtual QStringList generationWarnings() const { return {}; }

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

    /// Takes the lines of one read: the kind's own reading, writing to its staging table (whose
    /// writer it holds) or to the engine.
    class LineReader
    {
    public:
        virtual ~LineReader() = default;
        /// False ends the file (the rest of it is not read).
        virtual bool readLine(QByteArrayView line, const QString& file, qint64 lineNumber) = 0;
        /// After the last file, inside the read's transaction: writes what is held back.
        virtual void finish() {}
    };
    /// Empties the staging table.
    virtual void clearStaging() {}
    /// The reader of one read, inside its transaction with the staging table already emptied.
    virtual std::unique_ptr<LineReader> startRead(TradeReadReport& report) = 0;

    /// The position of the loaded row, from clientcode on.
    int position(int k) const { return *m_positions[size_t(k)]; }
    /// Whether the kind reads position k from its row (fixed-code kinds cut the first two themselves).
    bool readsPosition(int k) const;
    /// The column name of position k, as a message names it.
    static QLatin1String positionName(int k);

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
    bool m_positionsLoaded = false;

private:
    ColumnPositions::Row m_positions{};
    int m_layout = 0;
    QDate m_today;
};
