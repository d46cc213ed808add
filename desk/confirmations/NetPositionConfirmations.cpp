#include "NetPositionConfirmations.h"

#include "ClientTable.h"
#include "DecimalText.h"
#include "DeskSession.h"
#include "TradeFileLines.h"

#include <QHash>

#include <cmath>

namespace {

// Every text stays below this length, unless one fragment alone does not.
constexpr qsizetype kTextLimit = 159;
// The characters of the script name a fragment shows.
constexpr qsizetype kScriptShown = 16;
constexpr qsizetype kFieldWidth = 15;
constexpr qsizetype kScriptWidth = 35;

// Starts counted from 1. The "Qty,Avg" starts overlap the 15-character widths and are kept so: a
// report written for them leaves blanks where one field's cut runs into the next.
struct FieldStarts
{
    qsizetype exchange, code, script, buyQty, buyPrice, saleQty, salePrice, acceptance, profitLoss;
};
constexpr FieldStarts kQtyAvg{1, 16, 31, 66, 81, 91, 110, 126, 140};
constexpr FieldStarts kQtyAmtAvg{1, 16, 31, 66, 96, 111, 141, 156, 0};

const char* const kRemovedWords[] = {"FUTSTK", "FUTIDX",  "OPTIDX", "OPTSTK", "LTD.",
                                     "LTD",    "LIMITED", "FUT",    "OPT"};

QString cut(const QString& line, qsizetype start, qsizetype width = kFieldWidth)
{
    return line.mid(start - 1, width);
}

// The number at the start of a cell, blanks inside it passed over, as the profit and the fragments
// read it; 0 when the cell begins with none. The cells hold "#0.00" numbers by then.
QString numberText(const QString& cell)
{
    return NumberAtStart(cell);
}

double valueOf(const QString& cell)
{
    QString text = numberText(cell);
    text.replace(u'D', u'E').replace(u'd', u'e');
    return text.toDouble();
}

QString formatValue(double value)
{
    const std::optional<qint64> hundredths = RoundToHundredths(QStringView(ShortestDecimal(value)));
    return hundredths ? FormatHundredths(*hundredths) : QString::number(value, 'f', 2);
}

QString shortest(const QString& cell)
{
    return ShortestDecimal(QStringView(numberText(cell)));
}

} // namespace

/// Cuts the fields of one report line at the layout's places into a position.
class NetPositionConfirmations::ReportReader : public LineReader
{
public:
    ReportReader(NetPositionConfirmations& owner, TradeReadReport& report)
        : m_owner(owner)
        , m_starts(owner.layout() == QtyAvg ? kQtyAvg : kQtyAmtAvg)
        , m_report(report)
    {
    }

    bool readLine(QByteArrayView bytes, const QString& file, qint64 lineNumber) override
    {
        const QString line = DecodeTradeText(bytes);
        // Headings, totals and short lines have no number here.
        if (!IsWrittenNumber(QStringView(cut(line, m_starts.acceptance)))) {
            ++m_report.skipped;
            ++m_unmatched;
            return true;
        }
        Position position;
        position.exchange = cut(line, m_starts.exchange).trimmed();
        position.code = cut(line, m_starts.code).trimmed();
        position.scriptName = cut(line, m_starts.script, kScriptWidth);
        const struct
        {
            QString* cell;
            qsizetype start;
            const char* name;
        } numbers[] = {{&position.buyQty, m_starts.buyQty, "bought quantity"},
                       {&position.buyPrice, m_starts.buyPrice, "buy average price"},
                       {&position.saleQty, m_starts.saleQty, "sold quantity"},
                       {&position.salePrice, m_starts.salePrice, "sale average price"}};
        for (const auto& number : numbers) {
            const QString field = cut(line, number.start);
            const std::optional<qint64> hundredths = ReadHundredths(QStringView(field));
            // A figure guessed from a field that is no number would reach the client as a fact.
            if (!hundredths) {
                ++m_unread;
                ++m_report.skipped;
                const QString whose =
                    position.code.isEmpty()
                        ? QStringLiteral("the position")
                        : QStringLiteral("the position of ") + QuoteTradeText(QStringView(position.code));
                m_report.problems << QStringLiteral("%1, line %2: the %3 \"%4\" is not a number; %5 was "
                                                    "not read and gets no text.")
                                         .arg(file, QString::number(lineNumber), QLatin1String(number.name),
                                              QuoteTradeText(QStringView(field).trimmed()), whose);
                return true;
            }
            *number.cell = FormatHundredths(*hundredths);
        }
        position.profitLoss = formatValue(valueOf(position.buyQty) * valueOf(position.buyPrice) -
                                          valueOf(position.saleQty) * valueOf(position.salePrice));
        m_positions << position;
        ++m_report.staged;
        return true;
    }

    void finish() override
    {
        m_owner.m_positions = std::move(m_positions);
        m_owner.buildFragments();
        // A report read in the other layout matches no line at all; say so rather than show an empty
        // table.
        const int layout = m_owner.layout();
        if (m_report.staged == 0 && m_unread == 0 && m_unmatched > 0)
            m_report.notices << QStringLiteral("No line matched the %1 layout, so no position was read. "
                                               "Check that the report is written in that layout, or "
                                               "choose %2.")
                                    .arg(m_owner.layoutCaption(layout),
                                         m_owner.layoutCaption(layout == QtyAvg ? QtyAmtAvg : QtyAvg));
    }

private:
    NetPositionConfirmations& m_owner;
    const FieldStarts& m_starts;
    QList<Position> m_positions;
    TradeReadReport& m_report;
    qint64 m_unmatched = 0;
    qint64 m_unread = 0;
};

QString NetPositionConfirmations::layoutCaption(int layout) const
{
    return m_kind.layouts.value(layout).caption;
}

NetPositionConfirmations::NetPositionConfirmations(DeskSession& session, const TradeFileKind& kind)
    : TradeConfirmations(session, kind)
{
}

std::unique_ptr<TradeConfirmations::LineReader> NetPositionConfirmations::startRead(TradeReadReport& report)
{
    return std::make_unique<ReportReader>(*this, report);
}

void NetPositionConfirmations::buildFragments()
{
    m_fragments.clear();
    m_marks.clear();
    m_warnings.clear();
    for (const Position& position : std::as_const(m_positions)) {
        if (position.code.isEmpty())
            continue;
        // Trimmed first, so a blank after a removed word at the front stays.
        QString script = position.scriptName.trimmed();
        for (const char* word : kRemovedWords)
            script.remove(QLatin1String(word));
        QString text = position.exchange + u' ' + script.left(kScriptShown);

        const double bought = valueOf(position.buyQty);
        const double sold = valueOf(position.saleQty);
        if (bought == sold) {
            const bool loss = valueOf(position.profitLoss) > 0;
            QString amount = position.profitLoss;
            if (amount.startsWith(u'-'))
                amount.remove(0, 1);
            text += QStringLiteral(" BuyPrice=") + position.buyPrice.trimmed() +
                    QStringLiteral(" SalePrice=") + position.salePrice.trimmed() +
                    (loss ? QStringLiteral(" Loss=") : QStringLiteral(" Profit=")) +
                    ShortestDecimal(QStringView(amount));
        } else {
            if (bought > 0)
                text +=
                    QStringLiteral(" B ") + shortest(position.buyQty) + u'@' + shortest(position.buyPrice);
            if (sold > 0)
                text +=
                    QStringLiteral(" S ") + shortest(position.saleQty) + u'@' + shortest(position.salePrice);
        }
        m_fragments << Fragment{position.code, text, text.trimmed()};
    }
    m_marks = QStringList(m_fragments.size());
}

QList<QStringList> NetPositionConfirmations::stagedGrid() const
{
    QList<QStringList> rows;
    rows.reserve(m_positions.size() + 1);
    rows << QStringList(9);
    for (const Position& p : m_positions)
        rows << QStringList{QString(),    p.code,     p.scriptName, p.buyPrice, p.salePrice,
                            p.profitLoss, p.exchange, p.buyQty,     p.saleQty};
    return rows;
}

QList<QStringList> NetPositionConfirmations::rawGrid() const
{
    QList<QStringList> rows;
    rows.reserve(m_fragments.size());
    for (qsizetype i = 0; i < m_fragments.size(); ++i)
        rows << QStringList{m_marks.value(i), m_fragments[i].code, m_fragments[i].text};
    return rows;
}

QStringList NetPositionConfirmations::missingClientCodes() const
{
    QStringList codes;
    codes.reserve(m_fragments.size());
    for (const Fragment& fragment : m_fragments)
        codes << fragment.code;
    return missingAmong(codes);
}

QList<QueueGridRow> NetPositionConfirmations::generate(const QString& prefix) const
{
    QHash<QString, ClientRow> clients;
    for (const ClientRow& client : ClientTable(m_session.StoreConnection()).all())
        clients.emplace(foldCode(client.code), client);

    m_marks = QStringList(m_fragments.size());
    m_warnings.clear();
    const QString head = prefix.trimmed() + u' ';
    QList<QueueGridRow> grid;
    const qsizetype count = m_fragments.size();
    qsizetype i = 0;
    while (i < count) {
        const QString folded = foldCode(m_fragments[i].code);
        const auto client = clients.constFind(folded);
        if (client == clients.constEnd()) {
            m_marks[i] = QStringLiteral("Not Found");
            ++i;
            continue;
        }
        QString text = head + m_fragments[i].code;
        qsizetype taken = 0;
        while (i < count && (taken == 0 || foldCode(m_fragments[i].code) == folded)) {
            const QString& fragment = m_fragments[i].joined;
            if (text.size() + 1 + fragment.size() >= kTextLimit)
                break;
            text += u' ' + fragment;
            ++taken;
            ++i;
        }
        // Taken up again, this fragment would never fit: it goes out alone, however long.
        if (taken == 0) {
            text += u' ' + m_fragments[i].joined;
            m_warnings << QStringLiteral("The position of %1 \"%2\" does not fit into a text of under %3 "
                                         "characters; it is sent alone in a text of %4 characters.")
                              .arg(m_fragments[i].code, m_fragments[i].joined)
                              .arg(kTextLimit)
                              .arg(text.size());
            ++i;
        }
        grid << QueueGridRow{client->mobile, text};
    }
    return grid;
}
