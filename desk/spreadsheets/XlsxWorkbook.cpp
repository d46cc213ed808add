#include "WorkbookSource.h"

#include "NumberFormat.h"
#include "SheetBuilder.h"
#include "ZipArchive.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QXmlStreamReader>

#include <algorithm>
#include <charconv>

namespace {

/// Decodes the _xHHHH_ escapes with which Office writes characters XML cannot hold.
QString DecodeEscapes(QString text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString decoded;
    decoded.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'_' && i + 6 < text.size() && text[i + 1] == u'x' && text[i + 6] == u'_') {
            bool ok = false;
            const uint code = QStringView(text).sliced(i + 2, 4).toUInt(&ok, 16);
            if (ok) {
                decoded += QChar(char16_t(code));
                i += 6;
                continue;
            }
        }
        decoded += text[i];
    }
    return decoded;
}

/// The text of a string item (<si>, <is>): its <t>, or its rich-text runs joined; phonetic guides
/// (<rPh>) are not part of the text. The reader stands on the item's start and ends on its end. Runs
/// beyond kCellText characters together leave it cut there, for the caller to refuse.
QString ReadStringItem(QXmlStreamReader& xml)
{
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = xml.name();
            if (name == u"t" && text.size() <= kCellText)
                text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
            else if (name == u"rPh" || name == u"t")
                xml.skipCurrentElement();
            else
                ++depth;
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    return DecodeEscapes(std::move(text));
}

/// True when a number's text is already its shortest decimal form: an optional minus, at most 15
/// significant digits (which a double keeps exactly), no exponent, no leading or trailing zeros.
/// Two different such texts never read as the same double, so no shorter text reads as this one.
bool IsShortestDecimal(QStringView text)
{
    qsizetype i = text.startsWith(u'-') ? 1 : 0;
    const qsizetype start = i;
    int digits = 0;
    qsizetype point = -1;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= u'0' && c <= u'9')
            ++digits;
        else if (c == u'.' && point < 0)
            point = i;
        else
            return false;
    }
    const qsizetype wholeDigits = (point < 0 ? text.size() : point) - start;
    if (wholeDigits < 1 || digits > 15)
        return false;
    if (text[start] == u'0' && wholeDigits > 1)
        return false;
    if (point >= 0 && (point == text.size() - 1 || text.back() == u'0'))
        return false;
    // General shows numbers below 10^-4 in scientific notation when they take many digits.
    if (text.sliced(start).startsWith(u"0.000"))
        return false;
    return text != u"-0";
}

/// The number of a cell's value: plain decimal text, perhaps with an exponent.
std::optional<double> NumberOf(QStringView text)
{
    char buffer[64];
    if (text.isEmpty() || text.size() >= qsizetype(sizeof buffer))
        return std::nullopt;
    qsizetype n = 0;
    for (const QChar c : text) {
        if (c.unicode() > 127)
            return std::nullopt;
        buffer[n++] = char(c.unicode());
    }
    const char* begin = buffer + (buffer[0] == '+' ? 1 : 0);
    double value = 0;
    const auto result = std::from_chars(begin, buffer + n, value);
    if (result.ec != std::errc() || result.ptr != buffer + n)
        return std::nullopt;
    return value;
}

/// A column's number from a cell reference ("C12" gives 3); 0 when it starts with no letter. Past the
/// largest sheet it stops counting, so that the sheet is refused rather than the number overflow.
qint64 ColumnOfReference(QStringView reference)
{
    qint64 column = 0;
    for (const QChar c : reference) {
        const char16_t u = c.unicode();
        if (u >= u'A' && u <= u'Z')
            column = column * 26 + (u - u'A' + 1);
        else if (u >= u'a' && u <= u'z')
            column = column * 26 + (u - u'a' + 1);
        else
            break;
        if (column > kSheetColumns)
            return kSheetColumns + 1;
    }
    return column;
}

QString ColumnLetters(qint64 column)
{
    QString letters;
    while (column > 0) {
        letters.prepend(QChar(char16_t(u'A' + (column - 1) % 26)));
        column = (column - 1) / 26;
    }
    return letters;
}

/// A zip entry's path from a relationship target: absolute ("/xl/...") or relative to the folder of
/// the part that names it.
QString ResolveTarget(const QString& folder, const QString& target)
{
    if (target.startsWith(u'/'))
        return target.sliced(1);
    QStringList parts = folder.isEmpty() ? QStringList() : folder.split(u'/');
    for (const QString& part : target.split(u'/')) {
        if (part == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
        } else if (part != QLatin1String(".") && !part.isEmpty())
            parts.append(part);
    }
    return parts.join(u'/');
}

QString FolderOf(const QString& entry)
{
    const qsizetype slash = entry.lastIndexOf(u'/');
    return slash < 0 ? QString() : entry.first(slash);
}

/// What a cell holds as read: a shared string by its number, or a text of its own.
struct CellValue
{
    QString text;
    qint32 shared = -1;
    /// A number to show in the cell's format, or a date ("d" cells) as a serial day.
    std::optional<double> number;
    /// A text a text section of the cell's format shows (not an error value or a truth value).
    bool isText = false;
};

/// An Office Open XML workbook read straight from its zip entries, one sheet at a time.
class XlsxWorkbook : public WorkbookSource
{
public:
    explicit XlsxWorkbook(const QString& path)
        : m_path(path)
        , m_zip(path)
    {
        if (!m_zip.isOpen())
            throw unreadable(QStringLiteral("not a readable .xlsx file"));
        readWorkbook();
    }

    QStringList sheetNames() const override { return m_sheetNames; }

    Worksheet sheet(int index) const override
    {
        if (index < 0 || index >= m_sheetNames.size())
            throw WorkbookError(QStringLiteral("%1: no sheet number %2").arg(m_path).arg(index + 1),
                                WorkbookError::Kind::NoSuchSheet);
        if (!m_stylesRead) {
            readStyles();
            readSharedStrings();
            m_stylesRead = true;
        }
        return readSheet(index);
    }

private:
    WorkbookError unreadable(const QString& why) const
    {
        return WorkbookError(QStringLiteral("%1: %2").arg(m_path, why));
    }

    /// Opens an entry for streaming; nothing when the zip does not hold it.
    std::unique_ptr<ZipEntryReader> openEntry(const QString& entry, bool required = true) const
    {
        if (!m_zip.locate(entry, Qt::CaseInsensitive)) {
            if (required)
                throw unreadable(QStringLiteral("the workbook part %1 is missing").arg(entry));
            return nullptr;
        }
        auto file = m_zip.openCurrent();
        if (!file)
            throw unreadable(QStringLiteral("the workbook part %1 cannot be unpacked").arg(entry));
        return file;
    }

    void checkXml(const QXmlStreamReader& xml, const QString& entry, const ZipEntryReader& file) const
    {
        if (!file.overflow().isEmpty())
            throw WorkbookError(
                QStringLiteral("%1: the workbook part %2 %3").arg(m_path, entry, file.overflow()),
                WorkbookError::Kind::TooLarge);
        if (xml.hasError())
            throw unreadable(
                QStringLiteral("the workbook part %1 is damaged (%2)").arg(entry, xml.errorString()));
    }

    /// The relationships of a part: id to zip entry, and type to zip entry.
    void readRelationships(const QString& part, QHash<QString, QString>* byId,
                           QHash<QString, QString>* byType) const
    {
        const QString folder = FolderOf(part);
        const QString entry = (folder.isEmpty() ? QString() : folder + u'/') + QStringLiteral("_rels/") +
                              part.sliced(folder.isEmpty() ? 0 : folder.size() + 1) + QStringLiteral(".rels");
        auto file = openEntry(entry, false);
        if (!file)
            return;
        QXmlStreamReader xml(file.get());
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"Relationship")
                continue;
            const QXmlStreamAttributes attributes = xml.attributes();
            if (attributes.value(QLatin1String("TargetMode")) == u"External")
                continue;
            const QString target =
                ResolveTarget(folder, attributes.value(QLatin1String("Target")).toString());
            if (byId)
                byId->insert(attributes.value(QLatin1String("Id")).toString(), target);
            if (byType) {
                const QStringView type = attributes.value(QLatin1String("Type"));
                byType->insert(type.sliced(type.lastIndexOf(u'/') + 1).toString(), target);
            }
        }
        checkXml(xml, entry, *file);
    }

    void readWorkbook()
    {
        QHash<QString, QString> packageTypes;
        readRelationships(QString(), nullptr, &packageTypes);
        m_workbookPart =
            packageTypes.value(QStringLiteral("officeDocument"), QStringLiteral("xl/workbook.xml"));
        QHash<QString, QString> targets;
        readRelationships(m_workbookPart, &targets, &m_workbookTypes);

        auto file = openEntry(m_workbookPart);
        QXmlStreamReader xml(file.get());
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QStringView name = xml.name();
            if (name == u"workbookPr") {
                const QStringView date1904 = xml.attributes().value(QLatin1String("date1904"));
                m_date1904 = date1904 == u"1" || date1904 == u"true";
            } else if (name == u"sheet") {
                const QXmlStreamAttributes attributes = xml.attributes();
                QString id;
                for (const QXmlStreamAttribute& attribute : attributes) {
                    // The relationships namespace of transitional and of strict Office Open XML alike.
                    if (attribute.name() == u"id" && attribute.namespaceUri().endsWith(u"/relationships"))
                        id = attribute.value().toString();
                }
                m_sheetNames.append(attributes.value(QLatin1String("name")).toString());
                m_sheetEntries.append(targets.value(id));
            }
        }
        checkXml(xml, m_workbookPart, *file);
    }

    /// The number format of every cell format (cellXfs): a custom code of numFmts, else a built-in id.
    void readStyles() const
    {
        m_formats = {NumberFormat()};
        const QString entry =
            m_workbookTypes.value(QStringLiteral("styles"), QStringLiteral("xl/styles.xml"));
        auto file = openEntry(entry, false);
        if (!file)
            return;
        QHash<int, QString> codes;
        QHash<QString, qint32> formatOfCode;
        QXmlStreamReader xml(file.get());
        bool inCellFormats = false;
        while (!xml.atEnd()) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token == QXmlStreamReader::EndElement && xml.name() == u"cellXfs")
                inCellFormats = false;
            if (token != QXmlStreamReader::StartElement)
                continue;
            const QStringView name = xml.name();
            if (name == u"numFmt") {
                const QXmlStreamAttributes attributes = xml.attributes();
                codes.insert(attributes.value(QLatin1String("numFmtId")).toInt(),
                             attributes.value(QLatin1String("formatCode")).toString());
            } else if (name == u"cellXfs") {
                inCellFormats = true;
            } else if (name == u"xf" && inCellFormats) {
                const int id = xml.attributes().value(QLatin1String("numFmtId")).toInt();
                // An id that is neither custom nor built in is shown as General, as LibreOffice does.
                QString code = codes.value(id, BuiltInNumberFormat(id));
                if (code.isEmpty())
                    code = QStringLiteral("General");
                auto found = formatOfCode.constFind(code);
                if (found == formatOfCode.constEnd()) {
                    found = formatOfCode.insert(code, qint32(m_formats.size()));
                    m_formats.append(NumberFormat(code));
                }
                m_cellFormats.append(*found);
            }
        }
        checkXml(xml, entry, *file);
    }

    void readSharedStrings() const
    {
        const QString entry =
            m_workbookTypes.value(QStringLiteral("sharedStrings"), QStringLiteral("xl/sharedStrings.xml"));
        auto file = openEntry(entry, false);
        if (!file)
            return;
        const QString where = QStringLiteral("%1: the workbook part %2").arg(m_path, entry);
        QXmlStreamReader xml(file.get());
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"si") {
                if (m_sharedStrings.size() >= kSheetCells)
                    throw WorkbookError(
                        QStringLiteral("%1 holds more than %2 strings").arg(where).arg(kSheetCells),
                        WorkbookError::Kind::TooLarge);
                m_sharedStrings.add(ReadStringItem(xml), where);
            } else if (xml.name() == u"sst") {
                m_sharedStrings.reserve(std::min<qint64>(
                    xml.attributes().value(QLatin1String("uniqueCount")).toLongLong(), kSheetRows));
            }
        }
        checkXml(xml, entry, *file);
    }

    const NumberFormat& formatOf(const QXmlStreamAttributes& attributes) const
    {
        const int style = attributes.value(QLatin1String("s")).toInt();
        return style >= 0 && style < m_cellFormats.size() ? m_formats[m_cellFormats[style]] : m_formats[0];
    }

    Worksheet readSheet(int index) const
    {
        const QString& entry = m_sheetEntries[index];
        if (entry.isEmpty())
            throw unreadable(
                QStringLiteral("the sheet %1 has no part in the workbook").arg(m_sheetNames[index]));
        auto file = openEntry(entry);
        QXmlStreamReader xml(file.get());
        SheetBuilder sheet(m_path, m_sheetNames[index]);
        // Each shared string becomes a text of the sheet once, when a cell first shows it.
        QList<qint32> sharedTexts(m_sharedStrings.size(), -1);
        qint64 rowNumber = 0;
        qint64 column = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QStringView name = xml.name();
            if (name == u"row") {
                const qint64 number = xml.attributes().value(QLatin1String("r")).toLongLong();
                rowNumber = number > 0 ? number : rowNumber + 1;
                column = 0;
                sheet.beginRow(rowNumber);
            } else if (name == u"c") {
                const QXmlStreamAttributes attributes = xml.attributes();
                const qint64 referenced = ColumnOfReference(attributes.value(QLatin1String("r")));
                column = referenced > 0 ? referenced : column + 1;
                const NumberFormat& format = formatOf(attributes);
                const CellValue value = readCell(xml, attributes, index, rowNumber, column);
                qint32 text = -1;
                if (value.shared >= 0) {
                    if (format.changesText()) {
                        text = sheet.addText(shownText(format, m_sharedStrings.at(value.shared).toString(),
                                                       index, rowNumber, column));
                    } else {
                        qint32& known = sharedTexts[value.shared];
                        if (known < 0)
                            known = sheet.addText(m_sharedStrings.at(value.shared));
                        text = known;
                    }
                } else if (value.number) {
                    text = sheet.addText(shownNumber(format, *value.number, index, rowNumber, column));
                } else if (value.isText && format.changesText()) {
                    text = sheet.addText(shownText(format, value.text, index, rowNumber, column));
                } else {
                    text = sheet.addText(value.text);
                }
                sheet.addCell(column, text);
            } else if (name == u"sheetData") {
                continue;
            } else if (name != u"worksheet") {
                xml.skipCurrentElement();
            }
        }
        checkXml(xml, entry, *file);
        return sheet.finish();
    }

    [[noreturn]] void formatNotRead(const NumberFormat& format, int sheet, qint64 row, qint64 column) const
    {
        throw WorkbookError(
            QStringLiteral("the sheet %1 of %2 shows the cell %3%4 in a number format that is not "
                           "read (\"%5\"): give the cell another format and save the workbook again")
                .arg(m_sheetNames[sheet], m_path, ColumnLetters(column))
                .arg(row)
                .arg(format.code()),
            WorkbookError::Kind::FormatNotRead);
    }

    QString shownNumber(const NumberFormat& format, double number, int sheet, qint64 row, qint64 column) const
    {
        std::optional<QString> shown = format.number(number, m_date1904);
        if (!shown)
            formatNotRead(format, sheet, row, column);
        return *shown;
    }

    QString shownText(const NumberFormat& format, const QString& text, int sheet, qint64 row,
                      qint64 column) const
    {
        std::optional<QString> shown = format.text(text);
        if (!shown)
            formatNotRead(format, sheet, row, column);
        return *shown;
    }

    /// The text of a <v> the reader stands on, or for a shared string its index (-1 for none), read
    /// without a text of its own; the reader ends on its end.
    void readValue(QXmlStreamReader& xml, bool shared, QString& value, qint32& index) const
    {
        qint64 number = 0;
        bool indexOk = true;
        while (!xml.atEnd()) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token == QXmlStreamReader::EndElement)
                break;
            if (token == QXmlStreamReader::StartElement) {
                xml.skipCurrentElement();
            } else if (token == QXmlStreamReader::Characters) {
                if (!shared) {
                    if (value.isEmpty())
                        value = xml.text().toString();
                    else if (value.size() <= kCellText)
                        value += xml.text();
                    continue;
                }
                for (const QChar c : xml.text()) {
                    indexOk = indexOk && c.isDigit() && number < m_sharedStrings.size();
                    if (indexOk)
                        number = number * 10 + c.digitValue();
                }
            }
        }
        if (shared)
            index = indexOk && number < m_sharedStrings.size() ? qint32(number) : -1;
    }

    /// What the cell the reader stands on holds; the reader ends on the cell's end.
    CellValue readCell(QXmlStreamReader& xml, const QXmlStreamAttributes& attributes, int sheet, qint64 row,
                       qint64 column) const
    {
        const QStringView type = attributes.value(QLatin1String("t"));
        QString value;
        qint32 shared = -1;
        bool hasValue = false;
        QString inlineText;
        bool formula = false;
        while (!xml.atEnd()) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token == QXmlStreamReader::EndElement && xml.name() == u"c")
                break;
            if (token != QXmlStreamReader::StartElement)
                continue;
            const QStringView name = xml.name();
            if (name == u"v") {
                hasValue = true;
                readValue(xml, type == u"s", value, shared);
            } else if (name == u"is") {
                inlineText = ReadStringItem(xml);
            } else {
                formula = formula || name == u"f";
                xml.skipCurrentElement();
            }
        }
        CellValue cell;
        if (type == u"inlineStr") {
            cell.text = std::move(inlineText);
            cell.isText = true;
            return cell;
        }
        if (!hasValue) {
            if (formula)
                throw WorkbookError(
                    QStringLiteral("the sheet %1 of %2 holds a formula whose value is not saved in the file "
                                   "(cell %3%4): open it in a spreadsheet program and save it again")
                        .arg(m_sheetNames[sheet], m_path, ColumnLetters(column))
                        .arg(row),
                    WorkbookError::Kind::FormulaWithoutValue);
            return cell;
        }
        if (type == u"s") {
            cell.shared = shared;
            return cell;
        }
        if (type == u"str") {
            cell.text = DecodeEscapes(std::move(value));
            cell.isText = true;
            return cell;
        }
        if (type == u"e") {
            cell.text = DecodeEscapes(std::move(value));
            return cell;
        }
        if (type == u"b") {
            cell.text = value == u"1" || value == u"true" ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
            return cell;
        }
        const NumberFormat& format = formatOf(attributes);
        if (type == u"d") {
            // An ISO date and time, shown in the cell's format; in General as a date all the same.
            const QDateTime when = QDateTime::fromString(value.left(19), Qt::ISODate);
            const QDate date = when.isValid() ? when.date() : QDate::fromString(value.left(10), Qt::ISODate);
            if (!date.isValid()) {
                cell.text = std::move(value);
            } else if (format.isGeneral()) {
                cell.text = date.toString(QStringLiteral("dd/MM/yyyy"));
            } else {
                const double seconds = when.isValid() ? when.time().msecsSinceStartOfDay() / 1000.0 : 0;
                cell.number = double(date.toJulianDay() - (m_date1904 ? 2416481 : 2415019)) + seconds / 86400;
            }
            return cell;
        }
        // A number already in the shortest form General shows is taken as it stands.
        if (format.isGeneral() && IsShortestDecimal(value)) {
            cell.text = std::move(value);
            return cell;
        }
        cell.number = NumberOf(value);
        if (!cell.number)
            cell.text = std::move(value);
        return cell;
    }

    QString m_path;
    mutable ZipArchive m_zip;
    QString m_workbookPart;
    QHash<QString, QString> m_workbookTypes;
    QStringList m_sheetNames;
    QStringList m_sheetEntries;
    bool m_date1904 = false;
    mutable bool m_stylesRead = false;
    /// The distinct number formats (General first) and the one of each cell format.
    mutable QList<NumberFormat> m_formats = {NumberFormat()};
    mutable QList<qint32> m_cellFormats;
    mutable TextPool m_sharedStrings;
};

} // namespace

std::unique_ptr<WorkbookSource> OpenXlsxWorkbook(const QString& path)
{
    return std::make_unique<XlsxWorkbook>(path);
}
