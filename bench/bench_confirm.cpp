// Cash-market confirmations benchmark: a BSE file of a million trades for 50,000 clients read into
// staging, against the floor of a plain insert of the same rows measured in the same run; the line
// splitting alone; the messages generated for every client; the peak memory of the read.
//   bench_confirm [TRADES] [CLIENTS]     (default 1000000 50000; PostgreSQL too when KELVRA_PG_URL is set)
#include "BenchConfirm.h"
#include "CashTradeTable.h"
#include "TradeLineSplitter.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

char sideOf(const BenchTrade& t)
{
    return t.round % 3 == 0 ? 'S' : 'B';
}

QByteArray tradeLine(qint64 i, int clients)
{
    const BenchTrade t = BenchTradeAt(i, clients);
    return QByteArray::number(713000000 + i) + "|08/12/2026|10:15:00|500325|" + t.script + '|' + sideOf(t) +
           '|' + QByteArray::number(t.qty) + '|' + QByteArray::number(t.paise) + '|' + t.client +
           "|0412|2026231\n";
}

double splitOnly(const QString& path, qint64* lines)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    QElapsedTimer timer;
    timer.start();
    TradeLineSplitter splitter('|', ',');
    qint64 fields = 0;
    *lines = 0;
    QByteArray buffer;
    while (true) {
        const QByteArray chunk = file.read(1 << 20);
        buffer += chunk;
        qsizetype start = 0;
        qsizetype newline;
        while ((newline = buffer.indexOf('\n', start)) >= 0) {
            fields += splitter.split(QByteArrayView(buffer).sliced(start, newline - start));
            fields += splitter.field(8).size();
            ++*lines;
            start = newline + 1;
        }
        buffer.remove(0, start);
        if (chunk.isEmpty())
            break;
    }
    if (fields == 0)
        qFatal("nothing split");
    return SecondsSince(timer);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ConfirmBench bench(argc, argv);
    bench.writeFile(QStringLiteral("bse_day.txt"), "trade file", {}, &tradeLine);

    qint64 lines = 0;
    const double split = splitOnly(bench.path(), &lines);
    std::printf("line splitting alone (TradeLineSplitter): %lld lines in %.3f s = %.0f lines/s\n", lines,
                split, double(lines) / split);
    std::fflush(stdout);

    const auto floor = [&](Store& store) {
        QList<CashTradeRow> rows;
        rows.reserve(bench.lines());
        for (qint64 i = 0; i < bench.lines(); ++i) {
            const BenchTrade t = BenchTradeAt(i, bench.clients());
            rows.append({QString::fromLatin1(t.client), QString::fromLatin1(t.script),
                         QString::number(double(t.paise) / 100, 'f', 2), t.qty,
                         QString(QLatin1Char(sideOf(t)))});
        }
        return PlainInsert(store, rows);
    };
    bench.measure(QStringLiteral("bse"), bench.lines(), floor, 500);
    return 0;
}
