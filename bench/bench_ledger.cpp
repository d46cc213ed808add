// Ledger benchmark: a ledger workbook of ROWS rows for CLIENTS clients, written by libxlsxwriter
// (through ledger_writer) as .xlsx (shared strings, as Excel and LibreOffice write them; and once more
// with inline strings, as streaming writers do) and as .csv. Measures the floor (unzipping the sheet
// and its shared strings through minizip and passing their XML through QXmlStreamReader, no cell
// handled), Workbook's read of each file, composing the balance texts over the .csv's sheet (the
// same texts as the .xlsx's) on each engine, and the peak memory of each step.
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

#include <unzip.h>

#include <cstdio>
#include <malloc.h>
#include <sys/resource.h>

namespace {

constexpr int kRounds = 5;

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

// The files are written by ledger_writer, a program of its own, so that the writer's memory is no part
// of the peaks.
bool writeFiles(const QString& folder, int rows, int clients)
{
    QProcess writer;
    writer.setProcessChannelMode(QProcess::ForwardedChannels);
    writer.start(QCoreApplication::applicationDirPath() + QStringLiteral("/ledger_writer"),
                 {folder, QString::number(rows), QString::number(clients)});
    return writer.waitForFinished(-1) && writer.exitStatus() == QProcess::NormalExit &&
           writer.exitCode() == 0;
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

// The resident memory when the step began: what earlier steps still hold.
double g_stepStartMb = 0;

void resetStepPeak()
{
    malloc_trim(0);
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    clear.close();
    g_stepStartMb = stepPeakMb();
}

void printPeak(const char* step)
{
    std::printf(
        "           peak memory during %s: %.0f MB (VmHWM, reset before it; %.0f MB held at its start); "
        "%.0f MB for the process so far (ru_maxrss; target under 300 MB)\n",
        step, stepPeakMb(), g_stepStartMb, peakSoFarMb());
    std::fflush(stdout);
}

// The floor: the entries unzipped in blocks fed to the XML reader as they come, their XML tokenised,
// nothing else.
qint64 passXml(const QString& path, const QStringList& entries)
{
    unzFile zip = unzOpen64(QFile::encodeName(path).constData());
    if (!zip)
        qFatal("%s cannot be unzipped", qPrintable(path));
    qint64 tokens = 0;
    QByteArray block(1 << 16, Qt::Uninitialized);
    for (const QString& entry : entries) {
        if (unzLocateFile(zip, entry.toUtf8().constData(), 1) != UNZ_OK)
            continue;
        if (unzOpenCurrentFile(zip) != UNZ_OK)
            qFatal("%s: %s cannot be unpacked", qPrintable(path), qPrintable(entry));
        QXmlStreamReader xml;
        for (;;) {
            const int read = unzReadCurrentFile(zip, block.data(), unsigned(block.size()));
            if (read < 0)
                qFatal("%s: %s cannot be unpacked", qPrintable(path), qPrintable(entry));
            if (read == 0)
                break;
            xml.addData(QByteArray(block.constData(), read));
            while (!xml.atEnd()) {
                xml.readNext();
                ++tokens;
            }
            if (xml.error() != QXmlStreamReader::PrematureEndOfDocumentError && xml.hasError())
                break;
        }
        unzCloseCurrentFile(zip);
        if (xml.hasError() && xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)
            qFatal("%s: %s: %s", qPrintable(path), qPrintable(entry), qPrintable(xml.errorString()));
    }
    unzClose(zip);
    return tokens;
}

double floorPass(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    passXml(path, {QStringLiteral("xl/worksheets/sheet1.xml"), QStringLiteral("xl/sharedStrings.xml")});
    return secondsSince(timer);
}

Worksheet readPass(const QString& path, double* seconds)
{
    QElapsedTimer timer;
    timer.start();
    Worksheet sheet = Workbook::open(path).sheet(0);
    *seconds = secondsSince(timer);
    return sheet;
}

void checkSheet(const QString& path, const Worksheet& sheet, int rows)
{
    if (sheet.rowCount() != rows + 1 || sheet.cell(2, 1) != QLatin1String("C00001") ||
        sheet.cell(2, 3) != QLatin1String("9800000000") || sheet.cell(2, 5) != QLatin1String("08/12/2026") ||
        sheet.cell(3, 4) != QString::fromLatin1(balanceText(1)))
        qFatal("%s read wrong: %d rows, row 3 %s", qPrintable(path), sheet.rowCount(),
               qPrintable(sheet.rows().value(2).join(u'|')));
}

// The floor and the read of one .xlsx, best of each; taken in turn, so that a busy machine slows both.
void measureXlsx(const QString& path, const char* label, int rows)
{
    resetStepPeak();
    floorPass(path);
    std::printf("%-34s floor: unzip and QXmlStreamReader over sheet1.xml and sharedStrings.xml\n", label);
    printPeak("the floor");
    double floor = 1e9;
    double read = 1e9;
    resetStepPeak();
    for (int round = 0; round < kRounds; ++round) {
        floor = std::min(floor, floorPass(path));
        double seconds = 0;
        const Worksheet sheet = readPass(path, &seconds);
        read = std::min(read, seconds);
        checkSheet(path, sheet, rows);
    }
    std::printf("%-34s floor %6.2f s; Workbook::open + sheet(0) %6.2f s = %8.0f rows/s; "
                "ratio read / floor %.2f (target at most 2)\n",
                label, floor, read, rows / read, read / floor);
    printPeak("the read");
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

void compose(BenchStores& stores, Store::Engine engine, const Worksheet& sheet, int rows, int clients)
{
    const char* name = engine == Store::Engine::Sqlite ? "sqlite" : "postgresql";
    auto store = stores.fresh(engine);
    storeClients(*store, clients);
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
    std::printf(
        "%-10s composing (LedgerMessages::read, %d clients): %lld texts in %6.2f s (target under 5 s)\n",
        name, clients, qlonglong(reading.messages.size()), seconds);
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
    std::printf(
        "ledger of %d rows for %d clients: .xlsx %.1f MB (libxlsxwriter, shared strings), "
        ".xlsx %.1f MB (libxlsxwriter constant_memory, inline strings), .csv %.1f MB; best of %d runs\n",
        rows, clients, QFileInfo(xlsx).size() / 1048576.0, QFileInfo(inlineXlsx).size() / 1048576.0,
        QFileInfo(csv).size() / 1048576.0, kRounds);

    measureXlsx(xlsx, ".xlsx, shared strings:", rows);
    measureXlsx(inlineXlsx, ".xlsx, inline strings:", rows);

    resetStepPeak();
    double seconds = 1e9;
    Worksheet sheet;
    for (int round = 0; round < kRounds; ++round) {
        sheet = Worksheet();
        double pass = 0;
        sheet = readPass(csv, &pass);
        seconds = std::min(seconds, pass);
    }
    checkSheet(csv, sheet, rows);
    std::printf("%-34s Workbook::open + sheet(0) %6.2f s = %8.0f rows/s\n", ".csv:", seconds, rows / seconds);
    printPeak("the .csv read");
    std::fflush(stdout);

    BenchStores stores;
    compose(stores, Store::Engine::Sqlite, sheet, rows, clients);
    if (BenchStores::havePostgres())
        compose(stores, Store::Engine::Postgres, sheet, rows, clients);
    else
        std::printf("postgresql skipped: set KELVRA_PG_URL (bench/run starts a server)\n");
    return 0;
}
