// Futures-and-options confirmations benchmark: a file of a million F&O trades (futures and options)
// for 50,000 clients read into staging, against the floor of a plain insert of the same rows measured
// in the same run; the messages generated for every client; the peak memory of the read.
//   bench_confirm_fno [TRADES] [CLIENTS]   (default 1000000 50000; PostgreSQL too when KELVRA_PG_URL is set)
#include "BenchConfirm.h"
#include "BulkInsert.h"
#include "FutureTradeTable.h"

#include <QCoreApplication>

namespace {

struct Underlying
{
    const char* symbol;
    int lot;
    int price;
};

const Underlying kUnderlyings[] = {
    {"NIFTY", 75, 24500},     {"BANKNIFTY", 35, 52800}, {"RELIANCE", 500, 2450}, {"TCS", 175, 3300},
    {"INFY", 400, 1510},      {"SBIN", 750, 612},       {"HDFCBANK", 550, 1620}, {"ICICIBANK", 700, 1248},
    {"TATAMOTORS", 800, 622}, {"ITC", 1600, 468}};
constexpr int kUnderlyingCount = int(sizeof(kUnderlyings) / sizeof(kUnderlyings[0]));
const char* const kExpiries[] = {"31DEC2026", "28JAN2027", "25FEB2027"};

// One trade of the day as staged: a future for two trades in five, else an option.
FutureTradeRow tradeAt(qint64 i, int clients)
{
    const int client = int(i % clients);
    const qint64 round = i / clients;
    const Underlying& u = kUnderlyings[(client + round * 7) % kUnderlyingCount];
    FutureTradeRow row;
    row.clid = QString::fromLatin1(BenchClientCode(client));
    row.scriptName = QString::fromLatin1(u.symbol);
    row.qty = u.lot * int(1 + i % 4);
    row.flag = round % 3 == 0 ? QStringLiteral("S") : QStringLiteral("B");
    row.month = QString::fromLatin1(kExpiries[i % 3]).mid(2, 4);
    if (i % 5 < 2) {
        row.rate = QString::number(u.price + double((i * 7919) % 20000 - 10000) / 100, 'f', 2);
    } else {
        row.optType = i % 2 ? QStringLiteral("CE") : QStringLiteral("PE");
        row.optValue = QString::number(u.price / 100 * 100 + 50 * int(i % 9 - 4));
        row.rate = QString::number(double(5 + (i * 7919) % 40000) / 100, 'f', 2);
    }
    return row;
}

QByteArray tradeLine(qint64 i, int clients)
{
    const FutureTradeRow t = tradeAt(i, clients);
    return QByteArray::number(2026500000 + i) + (t.optType.isEmpty() ? ",FUTIDX," : ",OPTIDX,") +
           t.scriptName.toLatin1() + ',' + kExpiries[i % 3] + ',' + t.optValue.toLatin1() + ',' +
           t.optType.toLatin1() + ',' + (t.flag == QLatin1String("S") ? '2' : '1') + ',' +
           QByteArray::number(t.qty) + ',' + t.rate.toLatin1() + ',' + t.clid.toLatin1() + ",10:15:00\n";
}

// The floor: the same rows into future, in the order of the file.
double plainInsert(Store& store, const QList<FutureTradeRow>& rows)
{
    const QStringList columns = {
        QStringLiteral("clid"),    QStringLiteral("scriptname"), QStringLiteral("rate"),
        QStringLiteral("qty"),     QStringLiteral("bsflag"),     QStringLiteral("fut_month"),
        QStringLiteral("opttype"), QStringLiteral("optval"),     QStringLiteral("lineseq")};
    return PlainInsert(store, QStringLiteral("future"), columns, rows.size(),
                       [&](BulkInsert& insert, qsizetype i) {
                           const FutureTradeRow& row = rows[i];
                           insert.add({row.clid, row.scriptName, row.rate, row.qty, row.flag, row.month,
                                       row.optType, row.optValue, qint64(i + 1)});
                       });
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ConfirmBench bench(argc, argv);
    bench.writeFile(QStringLiteral("fno_day.txt"), "trade file", {}, &tradeLine);
    bench.measure(QStringLiteral("fno"), bench.lines(), [&](Store& store) {
        QList<FutureTradeRow> rows;
        rows.reserve(bench.lines());
        for (qint64 i = 0; i < bench.lines(); ++i)
            rows.append(tradeAt(i, bench.clients()));
        return plainInsert(store, rows);
    });
    return 0;
}
