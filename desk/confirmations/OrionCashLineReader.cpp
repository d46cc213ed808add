#include "OrionCashLineReader.h"

#include "DecimalText.h"
#include "OrionPositionsRow.h"
#include "StoreError.h"
#include "TradeFileLines.h"

#include <QVarLengthArray>

#include <cstdlib>
#include <limits>

static_assert(OrionPositions::kCount == OrionPositionsRow::kCount);

namespace {

const QString kConversionError = QStringLiteral("Invalid File Provided, Pls Check Configuration");

// Larger rates do not fit the staging table's rate column, nor its amounts, on every engine.
constexpr qint64 kLargestRateHundredths = 100'000'000'000'000'000;
constexpr qint64 kLargestQtyHundredths = qint64(std::numeric_limits<qint32>::max()) * 100;

/// One number of the line, in hundredths; nothing when it has more digits than hundredths can hold.
std::optional<qint64> hundredths(QStringView field)
{
    QVarLengthArray<char16_t, 32> plain;
    for (const QChar c : field) {
        if (c != u',')
            plain.append(c.unicode());
    }
    const QStringView text(plain.constData(), plain.size());
    // A plain decimal reads the same either way; only anything else needs the slower reading.
    if (const std::optional<qint64> value = RoundToHundredths(text, 0, Rounding::HalfToEven))
        return value;
    return RoundToHundredths(NumberAtStart(text), 0, Rounding::HalfToEven);
}

class OrionCashLineReader : public CashLineReader
{
public:
    OrionCashLineReader(const OrionPositions& positions, CashTradeTable::Writer& writer,
                        TradeReadReport& report)
        : m_positions(positions)
        , m_writer(writer)
        , m_report(report)
    {
    }

    bool readLine(QByteArrayView bytes, const QString& file, qint64 lineNumber) override
    {
        const QString line = DecodeTradeText(bytes);
        const auto field = [&](OrionPositions::Pair pair) {
            const qsizetype start = m_positions.start(pair);
            if (start >= line.size())
                return QStringView();
            return QStringView(line).sliced(
                start, std::min<qsizetype>(m_positions.length(pair), line.size() - start));
        };

        Leg legs[] = {{OrionPositions::BuyQty, OrionPositions::BuyRate, QStringLiteral("B"), "buy"},
                      {OrionPositions::SaleQty, OrionPositions::SaleRate, QStringLiteral("S"), "sale"}};
        for (Leg& leg : legs) {
            const QStringView qtyField = field(leg.qtyPair);
            const std::optional<qint64> qty = hundredths(qtyField);
            if (!qty || *qty > kLargestQtyHundredths)
                return conversionError(file, lineNumber, leg.side, "quantity", qtyField);
            if (*qty <= 0)
                continue;
            if (*qty % 100 != 0) {
                problem(file, lineNumber,
                        QStringLiteral("the %1 quantity \"%2\" is not a whole number")
                            .arg(QLatin1String(leg.side), QuoteTradeText(qtyField.trimmed())));
                return true;
            }
            const QStringView rateField = field(leg.ratePair);
            const std::optional<qint64> rate = hundredths(rateField);
            if (!rate || std::abs(*rate) >= kLargestRateHundredths)
                return conversionError(file, lineNumber, leg.side, "rate", rateField);
            leg.row.qty = qint32(*qty / 100);
            leg.row.rate = ShortestHundredths(*rate);
            leg.staged = true;
        }
        if (!legs[0].staged && !legs[1].staged) {
            ++m_report.skipped;
            return true;
        }

        const QString clientCode = field(OrionPositions::ClientCode).toString();
        QString scriptName = field(OrionPositions::Instrument).toString();
        scriptName.remove(u'\'');
        for (Leg& leg : legs) {
            if (!leg.staged)
                continue;
            leg.row.clientCode = clientCode;
            leg.row.scriptName = scriptName;
            leg.row.flag = leg.flag;
            m_writer.add(leg.row);
            ++m_report.staged;
        }
        return true;
    }

private:
    struct Leg
    {
        OrionPositions::Pair qtyPair;
        OrionPositions::Pair ratePair;
        QString flag;
        const char* side;
        CashTradeRow row{};
        bool staged = false;
    };

    void problem(const QString& file, qint64 lineNumber, const QString& what)
    {
        ReportSkippedLine(m_report, file, lineNumber, what);
    }

    // The box says only what the operator is to do; the line it happened on goes with the problems.
    bool conversionError(const QString& file, qint64 lineNumber, const char* side, const char* what,
                         QStringView field)
    {
        ++m_report.skipped;
        m_report.conversionErrors << kConversionError;
        m_report.problems << QStringLiteral(
                                 "%1, line %2: the %3 %4 \"%5\" is too large; the rest of the file was "
                                 "not read.")
                                 .arg(file, QString::number(lineNumber), QLatin1String(side),
                                      QLatin1String(what), QuoteTradeText(field.trimmed()));
        return false;
    }

    const OrionPositions m_positions;
    CashTradeTable::Writer& m_writer;
    TradeReadReport& m_report;
};

} // namespace

OrionPositions OrionPositions::load(const Store& store, const QString& exchange)
{
    const std::optional<OrionPositionsRow::Texts> row = OrionPositionsRow(store).read(exchange);
    if (!row)
        throw StoreError(QStringLiteral("bnfOrion has no row %1 with the Orion positions").arg(exchange));
    OrionPositions positions;
    for (int k = 0; k < kCount; ++k) {
        const QString& text = (*row)[size_t(k)];
        const std::optional<int> value = parse(text);
        if (!value) {
            throw StoreError(QStringLiteral("the %1 (%2) of bnfOrion row %3 is \"%4\", not a whole number "
                                            "from 0 to %5")
                                 .arg(valueName(k), OrionPositionsRow::columnName(k), exchange, text)
                                 .arg(kLargest));
        }
        positions.values[size_t(k)] = *value;
    }
    return positions;
}

std::optional<int> OrionPositions::parse(QStringView text)
{
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > kLargest)
            return std::nullopt;
    }
    return value;
}

QString OrionPositions::pairLabel(int pair)
{
    static const QStringList labels = {QStringLiteral("Client :"),   QStringLiteral("Instrument :"),
                                       QStringLiteral("Buy Qty :"),  QStringLiteral("Buy Rate :"),
                                       QStringLiteral("Sale Qty :"), QStringLiteral("Sale Rate :")};
    return labels.value(pair);
}

QString OrionPositions::valueName(int k)
{
    QString pair = pairLabel(k / 2);
    pair.chop(2);
    return pair + (k % 2 == 0 ? QStringLiteral(" column start") : QStringLiteral(" column length"));
}

std::unique_ptr<CashLineReader> makeOrionCashLineReader(const OrionPositions& positions,
                                                        CashTradeTable::Writer& writer,
                                                        TradeReadReport& report)
{
    return std::make_unique<OrionCashLineReader>(positions, writer, report);
}
