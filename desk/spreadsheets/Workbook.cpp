#include "Workbook.h"

#include "WorkbookSource.h"
#include "ZipArchive.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

Worksheet::Worksheet(QString name, QList<QStringList> rows)
    : m_name(std::move(name))
    , m_rows(std::move(rows))
{
    for (QStringList& row : m_rows) {
        while (!row.isEmpty() && row.last().isEmpty())
            row.removeLast();
        m_columns = std::max(m_columns, int(row.size()));
    }
    while (!m_rows.isEmpty() && m_rows.last().isEmpty())
        m_rows.removeLast();
}

QString Worksheet::cell(int row, int column) const
{
    if (row < 1 || row > m_rows.size())
        return {};
    return m_rows[row - 1].value(column - 1);
}

namespace {

/// The workbook's own reader, falling back once to a LibreOffice conversion of the file for a sheet
/// holding a formula whose value the reader cannot give.
class ConvertingSource : public WorkbookSource
{
public:
    ConvertingSource(QString path, std::unique_ptr<WorkbookSource> source)
        : m_path(std::move(path))
        , m_source(std::move(source))
    {
    }

    QStringList sheetNames() const override { return m_source->sheetNames(); }

    Worksheet sheet(int index) const override
    {
        try {
            return m_source->sheet(index);
        } catch (const WorkbookError& error) {
            if (error.kind() != WorkbookError::Kind::FormulaWithoutValue)
                throw;
            if (!m_converted && !m_conversionTried) {
                m_conversionTried = true;
                m_converted = OpenConvertedWorkbook(m_path);
            }
            if (!m_converted)
                throw;
            Worksheet converted = m_converted->sheet(index);
            // The copy names its sheets as the original does; keep the original's name all the same.
            return Worksheet(m_source->sheetNames().value(index, converted.name()), converted.rows());
        }
    }

private:
    QString m_path;
    std::unique_ptr<WorkbookSource> m_source;
    mutable std::unique_ptr<WorkbookSource> m_converted;
    mutable bool m_conversionTried = false;
};

enum class Format { Xlsx, Ods, Xls, Csv, None };

/// The first bytes of a zip entry (a blank for an empty one); nothing when there is no such entry.
QByteArray ZipEntry(ZipArchive& zip, const QString& name, qint64 limit)
{
    if (!zip.locate(name, Qt::CaseInsensitive))
        return {};
    const auto file = zip.openCurrent();
    if (!file)
        return {};
    QByteArray bytes;
    while (bytes.size() < limit) {
        const QByteArray chunk = file->read(limit - bytes.size());
        if (chunk.isEmpty())
            break;
        bytes += chunk;
    }
    return bytes.isEmpty() ? QByteArray(" ") : bytes;
}

Format ZipFormat(const QString& path)
{
    ZipArchive zip(path);
    if (!zip.isOpen())
        return Format::None;
    if (!ZipEntry(zip, QStringLiteral("xl/workbook.xml"), 1).isEmpty())
        return Format::Xlsx;
    if (ZipEntry(zip, QStringLiteral("mimetype"), 200).trimmed() ==
        "application/vnd.oasis.opendocument.spreadsheet")
        return Format::Ods;
    // A workbook part under another name is announced in the content types.
    const QByteArray types = ZipEntry(zip, QStringLiteral("[Content_Types].xml"), 1 << 20);
    if (types.contains("spreadsheetml.sheet.main+xml") || types.contains("ms-excel.sheet.macroEnabled.main"))
        return Format::Xlsx;
    return Format::None;
}

bool LooksLikeText(const QByteArray& head)
{
    return !head.contains('\0');
}

} // namespace

Workbook::Workbook(QString path, std::unique_ptr<WorkbookSource> source)
    : m_path(std::move(path))
    , m_source(std::move(source))
{
}

Workbook::Workbook(Workbook&&) noexcept = default;
Workbook& Workbook::operator=(Workbook&&) noexcept = default;
Workbook::~Workbook() = default;

Workbook Workbook::open(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile())
        throw WorkbookError(QStringLiteral("%1: no such file").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        throw WorkbookError(QStringLiteral("%1: cannot be read (%2)").arg(path, file.errorString()));
    const QByteArray head = file.read(4096);
    file.close();

    const QString notWorkbook = QStringLiteral("%1: not a workbook (.xls, .xlsx, .ods or .csv)").arg(path);
    Format format = Format::None;
    if (head.startsWith("PK\x03\x04")) {
        format = ZipFormat(path);
        if (format == Format::None)
            throw WorkbookError(notWorkbook);
    } else if (head.startsWith("\xD0\xCF\x11\xE0")) {
        format = Format::Xls;
    } else if (path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) || LooksLikeText(head)) {
        format = Format::Csv;
    } else {
        throw WorkbookError(notWorkbook);
    }

    std::unique_ptr<WorkbookSource> source;
    switch (format) {
    case Format::Xlsx:
        source = OpenXlsxWorkbook(path);
        break;
    case Format::Ods:
        source = OpenOdsWorkbook(path);
        break;
    case Format::Xls:
        source = OpenXlsWorkbook(path);
        break;
    case Format::Csv:
        return Workbook(path, OpenCsvWorkbook(path));
    case Format::None:
        throw WorkbookError(notWorkbook);
    }
    return Workbook(path, std::make_unique<ConvertingSource>(path, std::move(source)));
}

QStringList Workbook::sheetNames() const
{
    return m_source->sheetNames();
}

Worksheet Workbook::sheet(int index) const
{
    if (index < 0 || index >= m_source->sheetNames().size())
        throw WorkbookError(QStringLiteral("%1: no sheet number %2").arg(m_path).arg(index + 1),
                            WorkbookError::Kind::NoSuchSheet);
    return m_source->sheet(index);
}

Worksheet Workbook::sheet(const QString& name) const
{
    const qsizetype index = m_source->sheetNames().indexOf(name);
    if (index < 0)
        throw WorkbookError(QStringLiteral("%1: no sheet named %2").arg(m_path, name),
                            WorkbookError::Kind::NoSuchSheet);
    return m_source->sheet(int(index));
}

QString Workbook::fileFilter()
{
    return QStringLiteral("Workbooks (*.xls *.XLS *.xlsx *.XLSX *.ods *.csv);;All files (*)");
}
