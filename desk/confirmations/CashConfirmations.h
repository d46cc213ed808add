#pragma once

#include "ColumnPositions.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class CashTradeTable;
class DeskSession;

/// Which cash-market screen: BSE (bar-delimited first, rate in paise) or NSE (comma first, flag 1/2).
enum class CashExchange { Bse, Nse };

/// One row of a screen's message grid: the mobile number and the text.
struct QueueGridRow
{
    QString mobileNo;
    QString message;

    bool operator==(const QueueGridRow&) const = default;
};

/// What one "Read File(s)" did, in the words the screens show.
struct CashReadReport
{
    qint64 staged = 0;
    qint64 skipped = 0;
    /// BSE: the conversion error of each file whose rest was skipped, one plain message box each.
    QStringList conversionErrors;
    /// Lines the reader could not take for another reason (NSE flag not a number, a file that
    /// cannot be opened), each naming the file and the line number.
    QStringList problems;
};

/// The engine of the BSE and NSE cash-market confirmation screens and of `brisant confirm bse|nse`:
/// reads trade files into the staging table at the configured column positions, shows the staged
/// trades and the summary, builds one or more texts per client, and queues them.
class CashConfirmations
{
public:
    CashConfirmations(DeskSession& session, CashExchange exchange);

    CashExchange exchange() const { return m_exchange; }
    /// "BSE" or "NSE": the application id given to the queue.
    QString appId() const;
    /// "B" or "N": the settings row of the column positions.
    QString positionsKey() const;

    /// As the screen opens: empties the staging table and loads the column positions.
    void open();
    /// Loads the five column positions again (after the settings dialog closes). Throws StoreError
    /// when the row is missing or a position is empty or negative.
    void loadPositions();
    const ColumnPositions::Row& positions() const { return m_positions; }

    /// "Read File(s)": empties the staging table, then stages every line of the files in the order
    /// given, in one transaction. progress is called now and then with the bytes read so far and in
    /// all; the screens let their window events run there. A store failure rolls the whole read back
    /// (the staging table keeps what it held) and throws StoreError.
    CashReadReport readFiles(const QStringList& files,
                             const std::function<void(qint64 done, qint64 total)>& progress = {});

    /// The staged trades as msf1 shows them (without its empty first column): client code, script
    /// name, rate, quantity, buy/sale; ordered by client code, script name and buy/sale.
    QList<QStringList> stagedTrades() const;
    /// The summary as msf2 shows it: the client-master mark ("" or "Not Found"; none marked when the
    /// client master is empty) followed by every column of the stored query, by client code.
    QList<QStringList> summary() const;
    /// The client codes of the summary marked "Not Found".
    QStringList missingClientCodes() const;

    /// "Generate Message": the texts of every client of the client master, in its order: the prefix
    /// (trimmed for BSE, as typed for NSE), a blank, the client code, a colon and the fragments joined
    /// by commas, a new text started before one would pass 158 characters.
    QList<QueueGridRow> generate(const QString& prefix) const;

    /// "Send Message": BSE takes a new batch number first (every press, even with nothing to send),
    /// NSE keeps the last one taken; queues every row whose number and text are both non-empty.
    /// Returns how many were queued.
    int send(const QList<QueueGridRow>& grid);

private:
    class FileReader;
    CashTradeTable table() const;

    DeskSession& m_session;
    CashExchange m_exchange;
    ColumnPositions::Row m_positions{};
    bool m_positionsLoaded = false;
};
