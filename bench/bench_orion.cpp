// Orion-layout cash confirmations benchmark: a fixed-width BSE file of a million lines (a buy and a sale
// leg on every fourth) for 50,000 clients read into staging, against the floor of a plain insert of the
// same rows measured in the same run; the messages generated for every client; the peak memory of the
// read.
//   bench_orion [LINES] [CLIENTS]     (default 1000000 50000; PostgreSQL too when KELVRA_PG_URL is set)
#include "BenchConfirm.h"
#include "CashTradeTable.h"
#include "DecimalText.h"

#include <QCoreApplication>
#include <QLocale>

namespace {

// Line i of the file: cash trade i as a buy leg, a sale leg (3 more at 1.25 dearer) or both, on every
// fourth line; a leg whose quantity is 0 stages nothing.
struct Line
{
    BenchTrade trade;
    int buyQty;
    int saleQty;
};

Line lineAt(qint64 i, int clients)
{
    const BenchTrade trade = BenchTradeAt(i, clients);
    const bool buy = i % 4 != 1;
    const bool sale = i % 4 == 1 || i % 4 == 2;
    return {trade, buy ? trade.qty : 0, sale ? trade.qty + 3 : 0};
}

qint64 salePaise(const Line& l)
{
    return l.trade.paise + 125;
}

// Rates as the trading terminals write them: thousands grouped, hundredths, blanks to the field's end.
QByteArray rateText(qint64 paise)
{
    return QLocale(QLocale::English).toString(double(paise) / 100, 'f', 2).toLatin1();
}

// The delivered positions: client 0/15, instrument 15/30, buy quantity 45/12, buy rate 57/12, sale
// quantity 69/12, sale rate 81/12.
QByteArray fileLine(qint64 i, int clients)
{
    const Line l = lineAt(i, clients);
    return l.trade.client.leftJustified(15, ' ') + QByteArray(l.trade.script).leftJustified(30, ' ') +
           QByteArray::number(l.buyQty).leftJustified(12, ' ') +
           rateText(l.trade.paise).leftJustified(12, ' ') +
           QByteArray::number(l.saleQty).leftJustified(12, ' ') + rateText(salePaise(l)) + '\n';
}

// The rows the read is to stage, as a plain insert takes them.
QList<CashTradeRow> expectedRows(qint64 lines, int clients)
{
    QList<CashTradeRow> rows;
    rows.reserve(lines + lines / 2);
    for (qint64 i = 0; i < lines; ++i) {
        const Line l = lineAt(i, clients);
        const QString client = QString::fromLatin1(l.trade.client).leftJustified(15, u' ');
        const QString script = QString::fromLatin1(l.trade.script).leftJustified(30, u' ');
        if (l.buyQty > 0)
            rows.append({client, script, ShortestHundredths(l.trade.paise), l.buyQty, QStringLiteral("B")});
        if (l.saleQty > 0)
            rows.append({client, script, ShortestHundredths(salePaise(l)), l.saleQty, QStringLiteral("S")});
    }
    return rows;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ConfirmBench bench(argc, argv);
    bench.writeFile(
        QStringLiteral("orion_bse_day.txt"), "Orion BSE file",
        "CLIENT CODE    INSTRUMENT                    BUY QTY     BUY RATE    SALE QTY    SALE RATE\n",
        &fileLine);
    qint64 legs = 0;
    for (qint64 i = 0; i < bench.lines(); ++i) {
        const Line l = lineAt(i, bench.clients());
        legs += (l.buyQty > 0 ? 1 : 0) + (l.saleQty > 0 ? 1 : 0);
    }
    bench.measure(QStringLiteral("orion-bse"), legs, [&](Store& store) {
        return PlainInsert(store, expectedRows(bench.lines(), bench.clients()));
    });
    return 0;
}
