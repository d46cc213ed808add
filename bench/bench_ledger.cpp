// Ledger benchmark: a ledger workbook of ROWS rows for CLIENTS clients, written by libxlsxwriter
// (through ledger_writer) as
// .xlsx (shared strings, as Excel and LibreOffice write them; and once more with inline strings, as
// streaming writers do) and as .csv. Measures the floor (unzipping the sheet and its shared strings
// through QuaZip and passing their XML through QXmlStreamReader, no cell handled), Workbook's read
// of each file, composing the balance texts on each engine, and the peak memory after each step.
//   bench_ledger [ROWS [CLIENTS]]      (default 200000 and 50000)
#include "BenchStores.h"
#include "DeskSession.h"
#include "SpreadsheetMessages.h"
#include "Workbook.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <quazip.h>
#include <quazipfile.h>

#include <cstdio>
#include <malloc.h>
#include <sys/resource.h>

namespace {

constexpr int kRounds = 3;

QByteArray clientCode(int client)
{
    return QByteArray("C") + QByteArray::number(client + 1).rightJustified(5, '0');
}

QByteArray mobile(int client)
{
    return QByteArray("98") + QByteArray::number(client).rightJustified(8, '0');
}

// As ledger_writer writes the balance of ledger row i (from 0) into the .csv.
QByteArray balanceText(int i)
{
    const qint64 h = (qint64(i) * 7919 % 20000001) - 10000000;
    const qint64 hundredths = i % 10 == 0 ? h / 100 * 100 : h;
    const qint64 magnitude = hundredths < 0 ? -hundredths : hundredths;
    QByteArray text = (hundredths < 0 ? "-" : "") + QByteArray::number(magnitude / 100);
    if (magnitude % 100 != 0) {
        text += '.' + QByteArray::number(magnitude % 100).rightJustified(2, '0');
        while (text.endsWith('0'))
            text.chop(1);
    }
    return text;
}

// The files are written by ledger_writer, a program of its own: libxlsxwriter carries a minizip whose
// functions clash with QuaZip's in one process; and the writer's memory is then no part of the peaks.
bool writeFiles(const QString& folder, int rows, int clients)
{
    QProcess writer;
    writer.setProcessChannelMode(QProcess::ForwardedChannels);
    writer.start(QCoreApplication::applicationDirPath() + QStringLiteral("/ledger_writer"),
                 {folder, QString::number(rows), QString::number(clients)});
    return writer.waitForFinished(-1) && writer.exitStatus() == QProcess::NormalExit && writer.exitCode() == 0;
}

double secondsSince(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

// The process's peak resident memory so far, in MB.
double peakSoFarMb()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024;
}

// The peak since the last reset (VmHWM), in MB; the kernel resets it through clear_refs.
double stepPeakMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return -1;
}

void resetStepPeak()
{
    malloc_trim(0);
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

void printPeak(const char* step)
{
    std::printf("           peak memory after %s: %.0f MB of its own (VmHWM), %.0f MB for the process so far "
                "(ru_maxrss; target under 300 MB)\n",
                step, stepPeakMb(), peakSoFarMb());
    std::fflush(stdout);
}

// The floor: the entries unzipped and their XML tokenised, nothing else.
qint64 passXml(const QString& path, const QStringList& entries)
{
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdUnzip))
        qFatal("%s cannot be unzipped", qPrintable(path));
    qint64 tokens = 0;
    for (const QString& entry : entries) {
        if (!zip.setCurrentFile(entry))
            continue;
        QuaZipFile file(&zip);
        if (!file.open(QIODevice::ReadOnly))
            qFatal("%s: %s cannot be unpacked", qPrintable(path), qPrintable(entry));
        QXmlStreamReader xml(&file);
        while (!xml.atEnd()) {
            xml.readNext();
            ++tokens;
        }
        if (xml.hasError())
            qFatal("%s: %s: %s", qPrintable(path), qPrintable(entry), qPrintable(xml.errorString()));
    }
    return tokens;
}

double bestFloor(const QString& path)
{
    const QStringList entries{QStringLiteral("xl/worksheets/sheet1.xml"), QStringLiteral("xl/sharedStrings.xml")};
    double best = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        passXml(path, entries);
        best = std::min(best, secondsSince(timer));
    }
    return best;
}

Worksheet readSheet(const QString& path, int rows, double* best)
{
    Worksheet sheet;
    *best = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        sheet = Worksheet();
        QElapsedTimer timer;
        timer.start();
        sheet = Workbook::open(path).sheet(0);
        *best = std::min(*best, secondsSince(timer));
    }
    if (sheet.rowCount() != rows + 1 || sheet.cell(2, 1) != QLatin1String("C00001") ||
        sheet.cell(2, 3) != QLatin1String("9800000000") || sheet.cell(2, 5) != QLatin1String("08/12/2026") ||
        sheet.cell(3, 4) != QString::fromLatin1(balanceText(1)))
        qFatal("%s read wrong: %d rows, row 3 %s", qPrintable(path), sheet.rowCount(),
               qPrintable(sheet.rows().value(2).join(u'|')));
    return sheet;
}

void storeClients(const Store& store, int clients)
{
    Transaction transaction(store);
    QSqlQuery insert = store.prepare(
        QStringLiteral("INSERT INTO ClientMaster (cName, cMobile, cdpinid, cEmail) VALUES (?, ?, ?, ?)"));
    for (int c = 0; c < clients; ++c) {
        insert.addBindValue(QStringLiteral("Client %1").arg(c));
        insert.addBindValue(QString::fromLatin1(mobile(c)));
        insert.addBindValue(QString::fromLatin1(clientCode(c)));
        insert.addBindValue(QString());
        Store::exec(insert);
    }
    transaction.commit();
}

void compose(BenchStores& stores, Store::Engine engine, const Worksheet& sheet, int rows)
{
    const char* name = engine == Store::Engine::Sqlite ? "sqlite" : "postgresql";
    auto store = stores.fresh(engine);
    storeClients(*store, 50000);
    DeskSession session(*store);
    const LedgerMessages ledger(session, QLocale(QLocale::English, QLocale::India));
    LedgerChoices choices;
    choices.includeZero = QStringLiteral("YES");
    resetStepPeak();
    QElapsedTimer timer;
    timer.start();
    const SpreadsheetReading reading = ledger.read(sheet, choices, QDate(2026, 12, 8));
    const double seconds = secondsSince(timer);
    if (reading.rawData.size() != rows)
        qFatal("%s: %lld rows examined of %d (%s)", name, qlonglong(reading.rawData.size()), rows,
               qPrintable(reading.stopMessage));
    std::printf("%-10s composing (LedgerMessages::read, 50000 clients): %lld texts in %6.2f s (target under 5 s)\n",
                name, qlonglong(reading.messages.size()), seconds);
    printPeak("composing");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 200000;
    const int clients = argc > 2 ? std::atoi(argv[2]) : 50000;
    QTemporaryDir folder;
    if (!folder.isValid() || !writeFiles(folder.path(), rows, clients))
        qFatal("the ledger files cannot be written");
    const QString xlsx = folder.filePath(QStringLiteral("ledger.xlsx"));
    const QString inlineXlsx = folder.filePath(QStringLiteral("ledger-inline.xlsx"));
    const QString csv = folder.filePath(QStringLiteral("ledger.csv"));
    std::printf("ledger of %d rows for %d clients: .xlsx %.1f MB (libxlsxwriter, shared strings), "
                ".xlsx %.1f MB (libxlsxwriter constant_memory, inline strings), .csv %.1f MB; best of %d runs\n",
                rows, clients, QFileInfo(xlsx).size() / 1048576.0, QFileInfo(inlineXlsx).size() / 1048576.0,
                QFileInfo(csv).size() / 1048576.0, kRounds);

    resetStepPeak();
    const double floor = bestFloor(xlsx);
    std::printf("floor: unzip sheet1.xml and sharedStrings.xml, QXmlStreamReader over them: %6.2f s\n", floor);
    printPeak("the floor");
    const double inlineFloor = bestFloor(inlineXlsx);
    std::printf("floor of the inline-string .xlsx (its sheet1.xml alone):              %6.2f s\n", inlineFloor);

    double seconds = 0;
    resetStepPeak();
    Worksheet sheet = readSheet(xlsx, rows, &seconds);
    std::printf("Workbook::open + sheet(0), .xlsx:        %6.2f s = %8.0f rows/s; ratio read / floor %.2f "
                "(target at most 2)\n",
                seconds, rows / seconds, seconds / floor);
    printPeak("the .xlsx read");

    sheet = Worksheet();
    resetStepPeak();
    sheet = readSheet(inlineXlsx, rows, &seconds);
    std::printf("Workbook::open + sheet(0), inline .xlsx: %6.2f s = %8.0f rows/s; ratio read / floor %.2f\n",
                seconds, rows / seconds, seconds / inlineFloor);
    printPeak("the inline .xlsx read");

    sheet = Worksheet();
    resetStepPeak();
    sheet = readSheet(csv, rows, &seconds);
    std::printf("Workbook::open + sheet(0), .csv:         %6.2f s = %8.0f rows/s\n", seconds, rows / seconds);
    printPeak("the .csv read");
    std::fflush(stdout);

    BenchStores stores;
    compose(stores, Store::Engine::Sqlite, sheet, rows);
    if (BenchStores::havePostgres())
        compose(stores, Store::Engine::Postgres, sheet, rows);
    else
        std::printf("postgresql skipped: set KELVRA_PG_URL (bench/run starts a server)\n");
    return 0;
}
