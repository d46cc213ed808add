#include "Workbook.h"

#include "WorkbookSource.h"
#include "ZipArchive.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

/// The workbook's own reader, falling back once to a LibreOffice conversion of the file for a sheet
/// holding a formula whose value the reader cannot give. A number format the readers do not show is
/// refused as it is: a converted copy keeps the same format.
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
            const Worksheet converted = m_converted->sheet(index);
            // The copy names its sheets as the original does; keep the original's name all the same.
            return converted.renamed(m_source->sheetNames().value(index, converted.name()));
        }
    }

private:
    QString m_path;
    std::unique_ptr<WorkbookSource> m_source;
    mutable std::unique_ptr<WorkbookSource> m_converted;
    mutable bool m_conversionTried = false;
};

enum class Format { Xlsx, Ods, Xls, Csv, Tsv, Html, XmlSpreadsheet, None };

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

/// Text, in UTF-8 or a single-byte code page: no control character but tab, line breaks, form feed
/// and the end-of-file mark some programs still write.
bool LooksLikeText(const QByteArray& head)
{
    return std::none_of(head.cbegin(), head.cend(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f' && byte != 0x1A;
    });
}

/// What a file that is not a workbook is, for the reason it is refused; empty when it cannot tell.
QString KindOfFile(const QByteArray& head)
{
    static const QList<std::pair<QByteArray, QString>> signatures = {
        {"%PDF", QStringLiteral("a PDF document")},
        {"\x89PNG", QStringLiteral("a PNG image")},
        {"\xFF\xD8\xFF", QStringLiteral("a JPEG image")},
        {"GIF8", QStringLiteral("a GIF image")},
        {"{\\rtf", QStringLiteral("an RTF document")},
        {"\x1F\x8B", QStringLiteral("a gzip archive")},
        {"Rar!", QStringLiteral("a RAR archive")},
        {"7z\xBC\xAF", QStringLiteral("a 7-Zip archive")},
        {"PK\x03\x04", QStringLiteral("a zip archive that holds no workbook")},
        {"\xD0\xCF\x11\xE0", QStringLiteral("an Office document that holds no workbook")},
    };
    for (const auto& [signature, kind] : signatures) {
        if (head.startsWith(signature))
            return kind;
    }
    return {};
}

/// The start of a text file as UTF-8 when it is UTF-16 with a byte-order mark (Excel's "Unicode
/// text"), else as it is.
QByteArray TextHead(const QByteArray& head)
{
    if (!head.startsWith("\xFF\xFE") && !head.startsWith("\xFE\xFF"))
        return head;
    return DecodeTextFile(head.left(head.size() & ~qsizetype(1))).toUtf8();
}

/// The kind of a text file: an HTML page, an Excel 2003 XML spreadsheet, tab-separated text (a tab in
/// its first line), or comma-separated text; the name decides for a ".csv" file.
Format TextFormat(const QString& path, const QByteArray& head)
{
    if (path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return Format::Csv;
    const QByteArray start = head.left(1024).trimmed().toLower();
    const QByteArray lower = head.toLower();
    if (start.startsWith("<?xml") && lower.contains("urn:schemas-microsoft-com:office:spreadsheet"))
        return Format::XmlSpreadsheet;
    if (start.startsWith("<") &&
        (lower.contains("<html") || lower.contains("<table") || lower.contains("<!doctype html")))
        return Format::Html;
    const qsizetype lineEnd = head.indexOf('\n');
    if (head.left(lineEnd < 0 ? head.size() : lineEnd).contains('\t'))
        return Format::Tsv;
    return Format::Csv;
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
    const auto notWorkbookBut = [&path, &head](const QString& kind) {
        return WorkbookError(QStringLiteral("%1: %2, not a workbook (.xls, .xlsx, .ods or .csv)")
                                 .arg(path, kind.isEmpty() ? KindOfFile(head) : kind));
    };
    Format format = Format::None;
    if (head.startsWith("PK\x03\x04")) {
        format = ZipFormat(path);
        if (format == Format::None)
            throw notWorkbookBut({});
    } else if (head.startsWith("\xD0\xCF\x11\xE0")) {
        format = Format::Xls;
    } else if (!KindOfFile(head).isEmpty()) {
        throw notWorkbookBut({});
    } else if (const QByteArray text = TextHead(head); LooksLikeText(text)) {
        format = TextFormat(path, text);
    } else {
        throw notWorkbookBut(QStringLiteral("binary data of no kind read here"));
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
    case Format::Tsv:
        return Workbook(path, OpenCsvWorkbook(path, u'\t'));
    case Format::Html:
        return Workbook(path, OpenHtmlWorkbook(path));
    case Format::XmlSpreadsheet:
        // Excel 2003's XML spreadsheet, which some back offices export under the name ".xls".
        if (std::unique_ptr<WorkbookSource> converted = OpenConvertedWorkbook(path))
            return Workbook(path, std::move(converted));
        throw notWorkbookBut(QStringLiteral("an Excel 2003 XML spreadsheet, which only LibreOffice (not "
                                            "installed) reads"));
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
    const QStringList names = m_source->sheetNames();
    qsizetype index = names.indexOf(name);
    // A name typed in another letter case finds its sheet when no sheet has the exact name.
    if (index < 0)
        index = names.indexOf(QRegularExpression(QStringLiteral("^%1$").arg(QRegularExpression::escape(name)),
                                                 QRegularExpression::CaseInsensitiveOption));
    if (index < 0)
        throw WorkbookError(QStringLiteral("%1: no sheet named %2").arg(m_path, name),
                            WorkbookError::Kind::NoSuchSheet);
    return m_source->sheet(int(index));
}

QString Workbook::fileFilter()
{
    // File names are case-sensitive here: each extension in any letter case ("LEDGER.CSV", "x.Xlsx").
    QStringList patterns;
    for (const QString& extension :
         {QStringLiteral("xls"), QStringLiteral("xlsx"), QStringLiteral("ods"), QStringLiteral("csv")}) {
        QString pattern = QStringLiteral("*.");
        for (const QChar c : extension)
            pattern += u'[' + c + c.toUpper() + u']';
        patterns << pattern;
    }
    return QStringLiteral("Workbooks (%1);;All files (*)").arg(patterns.join(u' '));
}
