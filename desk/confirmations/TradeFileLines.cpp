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

std::optional<QString> TradeFields::rate(QByteArrayView field, const TradeFileKind& kind, QString* why)
{
    const std::optional<qint64> hundredths = RoundToHundredths(field, kind.ratePointShift);
    if (hundredths && std::abs(*hundredths) < kLargestHundredths)
        return FormatHundredths(*hundredths);
    *why = QStringLiteral("the rate \"%1\" is not a number").arg(DecodeTradeText(field));
    return std::nullopt;
}

std::optional<qint32> TradeFields::quantity(QByteArrayView field, QString* why)
{
    const std::optional<double> value = NumericValue(field);
    if (value && *value == std::trunc(*value) &&
        std::abs(*value) <= double(std::numeric_limits<qint32>::max()))
        return qint32(*value);
    *why = QStringLiteral("the quantity \"%1\" is not a whole number").arg(DecodeTradeText(field));
    return std::nullopt;
}

std::optional<QString> TradeFields::flag(QByteArrayView field, const TradeFileKind& kind, QString* why)
{
    if (kind.flag == TradeFileKind::FlagReading::AsWritten)
        return DecodeTradeText(field);
    const std::optional<double> value = NumericValue(field);
    if (value)
        return *value == 2 ? QStringLiteral("S") : QStringLiteral("B");
    *why = QStringLiteral("the buy/sale flag \"%1\" is not a number").arg(DecodeTradeText(field));
    return std::nullopt;
}
