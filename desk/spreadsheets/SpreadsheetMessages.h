#pragma once

#include "MessageGrid.h"

#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <functional>

class DeskSession;
class Worksheet;

/// What one "Start Reading" of a spreadsheet screen produced.
struct SpreadsheetReading
{
    /// Empty, or the message (in the screen's words) that stopped the reading before any row; the
    /// screens show it in a box and leave "Send Message" disabled.
    QString stopMessage;
    /// The "Raw Data" grid, one line per examined row (the ledger's 5 columns, the stock
    /// statement's 6); empty for the template screen.
    QList<QStringList> rawData;
    /// The message grid.
    QList<QueueGridRow> messages;
    /// Sheet rows (counted from 1) whose code is no client's: the template screen marks them
    /// "Notfound" in its preview.
    QList<int> notFoundRows;
    /// Warnings in the screen's words, in order: a text cut to 159 characters and the like. The
    /// ledger screen shows one box each; the command line prints them on stderr.
    QStringList warnings;
};

/// Called while reading for the first row examined and every thousandth after it, with the trimmed
/// code cell of that row; the screens show it on the reading button. Never called for an empty sheet.
using SpreadsheetProgress = std::function<void(const QString& code)>;

/// The screens' remembered settings, per user, under the application name Kelvra (QSettings, ini
/// format, under $XDG_CONFIG_HOME): sections FerrowLedger and Lotmark.
class SpreadsheetSettings
{
public:
    /// FerrowLedger/AmountCol, default 4; FerrowLedger/CodeCol, default 1. Saved as the numeric
    /// value of the box (a non-number as 0).
    static int ledgerAmountColumn();
    static int ledgerCodeColumn();
    static void setLedgerAmountColumn(const QString& boxText);
    static void setLedgerCodeColumn(const QString& boxText);
    /// Lotmark/LedgerStr, saved as typed.
    static QString ledgerTemplate();
    static void setLedgerTemplate(const QString& text);
    /// Lotmark/ExcelSMS and Lotmark/ColNo, saved as typed.
    static QString excelTemplate();
    static QString excelCodeColumn();
    static void setExcelTemplate(const QString& text);
    static void setExcelCodeColumn(const QString& text);
};

/// The choices of the ledger screen, as its boxes hold them.
struct LedgerChoices
{
    QString amountColumn = QStringLiteral("4");
    QString codeColumn = QStringLiteral("1");
    /// "SELECT" or "DESELECT" ("Led Sel"); any other text qualifies nothing.
    QString selection = QStringLiteral("DESELECT");
    /// "Incl. 0 Rs.": "NO" or "YES".
    QString includeZero = QStringLiteral("NO");
    QString fromAmount;
    QString toAmount;
    QString templateText = QStringLiteral("Balance update as on DATE for CODE  Rs. AMT");
};

/// The engine of the ledger screen frmLed and `brisant ledger`: one balance text per client row.
class LedgerMessages
{
public:
    explicit LedgerMessages(DeskSession& session, QLocale locale = QLocale::system());
    /// "Start Reading" over the first sheet. DATE is today's date in the locale's short form.
    SpreadsheetReading read(const Worksheet& sheet, const LedgerChoices& choices, const QDate& today,
                            const SpreadsheetProgress& progress = {}) const;
    /// "Send Message": takes a batch number and queues the rows under "Ledger"; returns the count.
    int send(const QList<QueueGridRow>& messages);

private:
    DeskSession& m_session;
    QLocale m_locale;
};

/// The engine of frm_ExcelSMS_Formula and `brisant template`: one text per data row (row 2 on).
class TemplateMessages
{
public:
    explicit TemplateMessages(DeskSession& session);
    /// "Start Reading"; TODAY is today as dd/MM/yyyy. The message grid is always built anew.
    SpreadsheetReading read(const Worksheet& sheet, const QString& codeColumn, const QString& templateText,
                            const QDate& today, const SpreadsheetProgress& progress = {}) const;
    /// "Send Message": takes a batch number and queues the rows under "ExcCode"; returns the count.
    int send(const QList<QueueGridRow>& messages);

private:
    DeskSession& m_session;
};

/// The engine of frm_Stock and `brisant stock`: a client's consecutive holdings rows in one text.
class StockMessages
{
public:
    explicit StockMessages(DeskSession& session);
    /// "Start Reading" over the first sheet: code in column 1, item in 2, quantity in 3.
    SpreadsheetReading read(const Worksheet& sheet, const QString& prefix,
                            const SpreadsheetProgress& progress = {}) const;
    /// "Send Message": takes a batch number and queues the rows under "Stock"; returns the count.
    int send(const QList<QueueGridRow>& messages);

private:
    DeskSession& m_session;
};
