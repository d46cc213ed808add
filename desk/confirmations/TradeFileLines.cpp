#include "TradeFileLines.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include "DecimalText.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr qint64 kReadChunk = 1 << 20;
// Larger amounts do not fit the staging table's amount column on every engine.
constexpr qint64 kLargestHundredths = 100'000'000'000'000'000;

// The most characters of a field that a message quotes.
constexpr qsizetype kQuotedLength = 40;

QByteArrayView trimmed(QByteArrayView bytes)
{
    while (!bytes.isEmpty() && (bytes.front() == ' ' || bytes.front() == '\t'))
        bytes = bytes.sliced(1);
    while (!bytes.isEmpty() && (bytes.back() == ' ' || bytes.back() == '\t'))
        bytes.chop(1);
    return bytes;
}

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

void ReadTradeLines(const QStringList& files, bool skipsFirstLine,
                    const TradeConfirmations::Progress& progress, QStringList& problems,
                    const TradeLineTaker& take)
{
    qint64 total = 0;
    for (const QString& file : files)
        total += QFileInfo(file).size();
    qint64 done = 0;

    QByteArray buffer;
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            problems << QStringLiteral("%1: the file cannot be read (%2).").arg(path, file.errorString());
            continue;
        }
        qint64 lineNumber = 0;
        bool readOn = true;
        buffer.clear();
        while (readOn) {
            const QByteArray chunk = file.read(kReadChunk);
            const bool atEnd = chunk.isEmpty();
            done += chunk.size();
            buffer += chunk;
            qsizetype start = 0;
            while (readOn) {
                qsizetype newline = buffer.indexOf('\n', start);
                if (newline < 0) {
                    if (!atEnd || start == buffer.size())
                        break;
                    newline = buffer.size();
                }
                QByteArrayView line = QByteArrayView(buffer).sliced(start, newline - start);
                if (line.endsWith('\r'))
                    line.chop(1);
                if (++lineNumber == 1 && skipsFirstLine)
                    line = {};
                if (!line.isEmpty())
                    readOn = take(line, path, lineNumber);
                start = std::min(newline + 1, buffer.size());
            }
            buffer.remove(0, start);
            if (progress)
                progress(done, total);
            if (atEnd)
                break;
        }
        if (!readOn)
            done += std::max<qint64>(0, file.size() - file.pos());
    }
    if (progress)
        progress(total, total);
}

bool ReportSkippedLine(TradeReadReport& report, const QString& file, qint64 lineNumber, const QString& why)
{
    ++report.skipped;
    report.problems << QStringLiteral("%1, line %2: %3; the line was not staged.")
                           .arg(file, QString::number(lineNumber), why);
    return true;
}

QString DecodeTradeText(QByteArrayView bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

QString QuoteTradeText(QByteArrayView bytes)
{
    return QuoteTradeText(QStringView(DecodeTradeText(bytes)));
}

QString QuoteTradeText(QStringView text)
{
    QString quoted;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (quoted.size() >= kQuotedLength) {
            quoted += u'\u2026';
            break;
        }
        char32_t c = text[i].unicode();
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        if (pair)
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
        if (QChar::isPrint(c)) {
            quoted += text.sliced(i, pair ? 2 : 1);
        } else {
            const int digits = c < 0x100 ? 2 : c < 0x10000 ? 4 : 6;
            quoted += (c < 0x100 ? QStringLiteral("\\x") : QStringLiteral("\\u")) +
                      QString::number(uint(c), 16).toUpper().rightJustified(digits, u'0');
        }
        if (pair)
            ++i;
    }
    return quoted;
}

std::optional<QString> TradeFields::rate(QByteArrayView field, const TradeFileKind& kind, QString* why)
{
    const std::optional<qint64> hundredths = ReadHundredths(field, kind.ratePointShift);
    if (hundredths && std::abs(*hundredths) < kLargestHundredths)
        return FormatHundredths(*hundredths);
    *why = QStringLiteral("the rate \"%1\" is not a number").arg(QuoteTradeText(field));
    return std::nullopt;
}

std::optional<qint32> TradeFields::quantity(QByteArrayView field, QString* why)
{
    const std::optional<qint64> value = ReadWholeNumber(field);
    if (value && std::abs(*value) <= std::numeric_limits<qint32>::max())
        return qint32(*value);
    *why = QStringLiteral("the quantity \"%1\" is not a whole number").arg(QuoteTradeText(field));
    return std::nullopt;
}

std::optional<QString> TradeFields::flag(QByteArrayView field, const TradeFileKind& kind, QString* why)
{
    const QString sale = QStringLiteral("S");
    const QString buy = QStringLiteral("B");
    switch (kind.flag) {
    case TradeFileKind::FlagReading::AsWritten:
    case TradeFileKind::FlagReading::Legs:
        return DecodeTradeText(field);
    case TradeFileKind::FlagReading::TwoOrSIsSale: {
        // A file written with letters must not confirm its sales as buys.
        const QByteArrayView letter = trimmed(field);
        if (letter == "S" || letter == "s")
            return sale;
        return ReadWholeNumber(field) == 2 ? sale : buy;
    }
    case TradeFileKind::FlagReading::TwoIsSale:
        break;
    }
    if (IsWrittenNumber(field))
        return ReadWholeNumber(field) == 2 ? sale : buy;
    *why = QStringLiteral("the buy/sale flag \"%1\" is not a number").arg(QuoteTradeText(field));
    return std::nullopt;
}
