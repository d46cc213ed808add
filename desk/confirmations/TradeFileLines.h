#pragma once

#include "TradeConfirmations.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

/// Takes one line of a trade file, without its line end; returns false to pass over the rest of the
/// file.
using TradeLineTaker = std::function<bool(QByteArrayView line, const QString& file, qint64 lineNumber)>;

/// Reads the trade files in the order given, a large chunk at a time, and hands every line that is
/// not empty to take, numbered from 1 within its file. A file that cannot be opened is named in
/// problems and the next one read. progress, when given, is called after every chunk with the bytes
/// read so far and in all; the part of a file passed over counts as read.
void ReadTradeLines(const QStringList& files, bool skipsFirstLine,
                    const TradeConfirmations::Progress& progress, QStringList& problems,
                    const TradeLineTaker& take);

/// Counts a line as skipped and names it, with why, among the read's problems; returns true, so that
/// reading goes on.
bool ReportSkippedLine(TradeReadReport& report, const QString& file, qint64 lineNumber, const QString& why);

/// A piece of a trade line as text. Trade files come from terminals of every age: UTF-8 where it is
/// valid, else Latin-1.
QString DecodeTradeText(QByteArrayView bytes);

/// A piece of a trade file as a message quotes it: decoded, every character that cannot be shown (a
/// control character, a binary file's byte) written as \xNN or \uNNNN, and cut after 40 characters,
/// so that neither a message box nor a terminal takes a file's bytes as their own.
QString QuoteTradeText(QByteArrayView bytes);
QString QuoteTradeText(QStringView text);

/// The fields every delimited kind reads the same way. Each gives nothing when the field cannot be
/// taken, and the words for it in why.
namespace TradeFields {

/// The rate as "#0.00", rounded from the field's number (ReadHundredths) after the kind's point shift;
/// not a number, or too large for the staging table's amount column on every engine, gives nothing.
std::optional<QString> rate(QByteArrayView field, const TradeFileKind& kind, QString* why);
/// A whole number of at most 32 bits, as ReadWholeNumber reads it ("1,000" and "1E3" included).
std::optional<qint32> quantity(QByteArrayView field, QString* why);
/// "B" or "S" as the kind reads its buy/sale field.
std::optional<QString> flag(QByteArrayView field, const TradeFileKind& kind, QString* why);

} // namespace TradeFields
