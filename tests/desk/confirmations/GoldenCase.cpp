#include "GoldenCase.h"

#include "ColumnPositions.h"
#include "DeskSession.h"
#include "OrionPositionsRow.h"
#include "Store.h"
#include "TestFiles.h"

#include <QTest>

void GoldenCase::addRows(const QString& root)
{
    QTest::addColumn<QString>("folder");
    const QDir dir(root);
    const QStringList cases = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    QVERIFY(!cases.isEmpty());
    for (const QString& name : cases)
        QTest::newRow(qPrintable(name)) << dir.filePath(name);
}

GoldenCase::GoldenCase()
{
    QFETCH(QString, folder);
    m_dir.setPath(folder);
}

GoldenCase::~GoldenCase() = default;

bool GoldenCase::run(const QStringList& kinds)
{
    const QString command = text(QStringLiteral("kind")).trimmed();
    const TradeFileKind* kind = TradeFileKind::byCommand(command);
    if (!kinds.contains(command) || !kind) {
        qWarning("kind \"%s\" is none of %s", qPrintable(command), qPrintable(kinds.join(u' ')));
        return false;
    }
    m_store = m_env.openStore();
    m_session = std::make_unique<DeskSession>(*m_store);
    m_engine = TradeConfirmations::create(*m_session, *kind);
    if (!m_engine) {
        qWarning("kind %s has no engine", qPrintable(command));
        return false;
    }
    if (!storePositions(*kind))
        return false;
    StoreClients(*m_store, m_dir.filePath(QStringLiteral("clients.csv")));
    m_engine->open();

    QStringList files;
    for (const QString& name : m_dir.entryList({QStringLiteral("trades*.txt")}, QDir::Files, QDir::Name))
        files << m_dir.filePath(name);
    m_report = m_engine->readFiles(files);
    m_prefix = text(QStringLiteral("prefix"));
    m_grid = m_engine->generate(m_prefix);
    return true;
}

QStringList GoldenCase::messages() const
{
    QStringList lines;
    for (const QueueGridRow& row : m_grid)
        lines << row.mobileNo + u'\t' + row.message;
    return lines;
}

QStringList GoldenCase::warnings(const QString& notFound) const
{
    QStringList lines = m_report.conversionErrors + m_report.problems;
    for (QString& line : lines)
        line.replace(m_dir.path() + u'/', QString());
    for (const QString& code : m_engine->missingClientCodes())
        lines << notFound.arg(code);
    return lines;
}

QStringList GoldenCase::expected(const QString& name, const QStringList& produced) const
{
    const QString path = m_dir.filePath(name);
    if (qEnvironmentVariableIntValue("KELVRA_GOLDEN_UPDATE") == 1 && !WriteLines(path, produced))
        QTest::qFail(qPrintable(QStringLiteral("cannot write ") + path), __FILE__, __LINE__);
    return ReadLines(path);
}

QString GoldenCase::text(const QString& name) const
{
    return QString::fromUtf8(ReadFile(m_dir.filePath(name)));
}

bool GoldenCase::storePositions(const TradeFileKind& kind) const
{
    if (!m_dir.exists(QStringLiteral("positions")))
        return true;
    const QStringList numbers = text(QStringLiteral("positions")).split(u' ', Qt::SkipEmptyParts);
    bool written = false;
    if (kind.positionsTable == TradeFileKind::PositionsTable::BnfOrion) {
        OrionPositionsRow::Values values{};
        for (int k = 0; k < OrionPositionsRow::kCount; ++k)
            values[size_t(k)] = numbers.value(k).trimmed().toInt();
        written = numbers.size() == OrionPositionsRow::kCount &&
                  OrionPositionsRow(*m_store).write(kind.settingsRow, values);
    } else {
        QList<int> values;
        for (const QString& number : numbers)
            values << number.trimmed().toInt();
        written = ColumnPositions(*m_store).write(kind.settingsRow, values);
    }
    if (!written)
        qWarning("the positions of %s cannot be stored", qPrintable(kind.command));
    return written;
}

const TradeFileKind& KindNamed(const QString& command)
{
    const TradeFileKind* kind = TradeFileKind::byCommand(command);
    if (!kind)
        qFatal("no trade-file kind %s", qPrintable(command));
    return *kind;
}

QStringList JoinedRows(const QList<QStringList>& rows, qsizetype from)
{
    QStringList lines;
    for (const QStringList& row : rows)
        lines << row.mid(from).join(u'\t');
    return lines;
}
