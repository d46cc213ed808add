#include "SheetBuilder.h"
#include "WorkbookSource.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace {

/// Windows-1252 where it differs from Latin-1 (0x80-0x9F); the five unassigned bytes keep their C1 code.
constexpr char16_t Windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString DecodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = QChar(byte >= 0x80 && byte < 0xA0 ? Windows1252High[byte - 0x80] : char16_t(byte));
    }
    return text;
}

} // namespace

QString DecodeTextFile(QByteArrayView bytes)
{
    if (bytes.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringDecoder::Utf16LE).decode(bytes.sliced(2));
    if (bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16BE).decode(bytes.sliced(2));
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return DecodeWindows1252(bytes);
}

namespace {

/// RFC 4180 records: fields separated by the delimiter (a comma, or a tab in tab-separated text),
/// quoted fields holding delimiters, doubled quotes and line breaks; a record ends at CR LF, LF or CR.
/// Empty fields cost nothing: a line of a million commas holds no cell.
void ParseCsv(QStringView text, QChar delimiter, SheetBuilder& sheet)
{
    QString field;
    qsizetype i = 0;
    const qsizetype n = text.size();
    qint64 row = 1;
    qint64 column = 1;
    bool rowBegun = false;
    const auto addField = [&](QStringView value) {
        const qint32 cell = sheet.addText(value);
        if (cell >= 0) {
            if (!rowBegun) {
                sheet.beginRow(row);
                rowBegun = true;
            }
            sheet.addCell(column, cell);
        }
        ++column;
    };
    while (i < n) {
        if (text[i] == u'"') {
            ++i;
            while (i < n) {
                const QChar c = text[i];
                if (c == u'"') {
                    if (i + 1 < n && text[i + 1] == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += c;
                ++i;
            }
        }
        // An unquoted field, or what follows the closing quote of a malformed one, is kept as written.
        const qsizetype start = i;
        while (i < n && text[i] != delimiter && text[i] != u'\n' && text[i] != u'\r')
            ++i;
        if (field.isEmpty()) {
            addField(text.sliced(start, i - start));
        } else {
            field += text.sliced(start, i - start);
            addField(field);
            field.clear();
        }
        if (i >= n)
            break;
        if (text[i] == delimiter) {
            ++i;
            continue;
        }
        if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        ++i;
        ++row;
        column = 1;
        rowBegun = false;
    }
}

/// A text file (comma- or tab-separated, an HTML page) as a workbook of one sheet named after the
/// file, its cells given by the file's parser.
class TextWorkbook : public WorkbookSource
{
public:
    TextWorkbook(const QString& path, TextSheetParser parse)
        : m_path(path)
        , m_name(QFileInfo(path).completeBaseName())
        , m_parse(std::move(parse))
    {
    }

    QStringList sheetNames() const override { return {m_name}; }

    Worksheet sheet(int index) const override
    {
        if (index != 0)
            throw WorkbookError(QStringLiteral("%1: no sheet number %2").arg(m_path).arg(index + 1),
                                WorkbookError::Kind::NoSuchSheet);
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly))
            throw WorkbookError(QStringLiteral("%1: cannot be read (%2)").arg(m_path, file.errorString()));
        SheetBuilder sheet(m_path, m_name);
        m_parse(DecodeTextFile(ReadTextFile(file, m_path)), sheet);
        return sheet.finish();
    }

private:
    QString m_path;
    QString m_name;
    TextSheetParser m_parse;
};

} // namespace

QByteArray ReadTextFile(QFile& file, const QString& path)
{
    if (file.size() > kLargestTextWorkbook)
        throw WorkbookError(
            QStringLiteral("%1: the file is larger than %2 MB, more than a sheet of text holds")
                .arg(path)
                .arg(kLargestTextWorkbook >> 20));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw WorkbookError(QStringLiteral("%1: cannot be read (%2)").arg(path, file.errorString()));
    return bytes;
}

std::unique_ptr<WorkbookSource> OpenTextWorkbook(const QString& path, TextSheetParser parse)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw WorkbookError(QStringLiteral("%1: cannot be read (%2)").arg(path, file.errorString()));
    return std::make_unique<TextWorkbook>(path, std::move(parse));
}

std::unique_ptr<WorkbookSource> OpenCsvWorkbook(const QString& path, QChar delimiter)
{
    return OpenTextWorkbook(
        path, [delimiter](QStringView text, SheetBuilder& sheet) { ParseCsv(text, delimiter, sheet); });
}
