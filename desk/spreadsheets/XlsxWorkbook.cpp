#include "WorkbookSource.h"

#include "CellText.h"
#include "ZipArchive.h"

#include <QDate>
#include <QHash>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

constexpr int MaxRows = 1 << 20;
constexpr int MaxColumns = 1 << 14;

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
/// (<rPh>) are not part of the text. The reader stands on the item's start and ends on its end.
QString ReadStringItem(QXmlStreamReader& xml)
{
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = xml.name();
            if (name == u"t")
                text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
            else if (name == u"rPh")
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
    return text != u"-0";
}

/// A column's number from a cell reference ("C12" gives 3); 0 when it starts with no letter.
int ColumnOfReference(QStringView reference)
{
    int column = 0;
    for (const QChar c : reference) {
        const char16_t u = c.unicode();
        if (u >= u'A' && u <= u'Z')
            column = column * 26 + (u - u'A' + 1);
        else if (u >= u'a' && u <= u'z')
            column = column * 26 + (u - u'a' + 1);
        else
            break;
        if (column > MaxColumns)
            return 0;
    }
    return column;
}

QString ColumnLetters(int column)
{
    QString letters;
    while (column > 0) {
        letters.prepend(QChar(u'A' + (column - 1) % 26));
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
    std::unique_ptr<QIODevice> openEntry(const QString& entry, bool required = true) const
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

    void checkXml(const QXmlStreamReader& xml, const QString& entry) const
    {
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
        checkXml(xml, entry);
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
        checkXml(xml, m_workbookPart);
    }

    void readStyles() const
    {
        const QString entry =
            m_workbookTypes.value(QStringLiteral("styles"), QStringLiteral("xl/styles.xml"));
        auto file = openEntry(entry, false);
        if (!file)
            return;
        QHash<int, QString> codes;
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
                m_dateStyles.append(IsDateFormat(id, codes.value(id)));
            }
        }
        checkXml(xml, entry);
    }

    void readSharedStrings() const
    {
        const QString entry =
            m_workbookTypes.value(QStringLiteral("sharedStrings"), QStringLiteral("xl/sharedStrings.xml"));
        auto file = openEntry(entry, false);
        if (!file)
            return;
        QXmlStreamReader xml(file.get());
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"si")
                m_sharedStrings.append(ReadStringItem(xml));
            else if (xml.name() == u"sst")
                m_sharedStrings.reserve(
                    std::min(xml.attributes().value(QLatin1String("uniqueCount")).toInt(), MaxRows));
        }
        checkXml(xml, entry);
    }

    Worksheet readSheet(int index) const
    {
        const QString& entry = m_sheetEntries[index];
        if (entry.isEmpty())
            throw unreadable(
                QStringLiteral("the sheet %1 has no part in the workbook").arg(m_sheetNames[index]));
        auto file = openEntry(entry);
        QXmlStreamReader xml(file.get());
        QList<QStringList> rows;
        int rowNumber = 0;
        int column = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QStringView name = xml.name();
            if (name == u"row") {
                const int number = xml.attributes().value(QLatin1String("r")).toInt();
                rowNumber = number > 0 ? number : rowNumber + 1;
                column = 0;
            } else if (name == u"c") {
                const QXmlStreamAttributes attributes = xml.attributes();
                const int referenced = ColumnOfReference(attributes.value(QLatin1String("r")));
                column = referenced > 0 ? referenced : column + 1;
                QString text = readCell(xml, attributes, index, rowNumber, column);
                // Beyond the largest sheet a spreadsheet program makes lies only a damaged reference.
                if (text.isEmpty() || rowNumber < 1 || rowNumber > MaxRows || column > MaxColumns)
                    continue;
                if (rows.size() < rowNumber)
                    rows.resize(rowNumber);
                QStringList& row = rows[rowNumber - 1];
                if (row.size() < column)
                    row.resize(column);
                row[column - 1] = std::move(text);
            } else if (name == u"sheetData") {
                continue;
            } else if (name != u"worksheet") {
                xml.skipCurrentElement();
            }
        }
        checkXml(xml, entry);
        return Worksheet(m_sheetNames[index], std::move(rows));
    }

    /// The text of a <v> the reader stands on, a shared string looked up by its index as it is read,
    /// without a text of its own; the reader ends on its end.
    void readValue(QXmlStreamReader& xml, bool shared, QString& value) const
    {
        qint64 index = 0;
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
                    else
                        value += xml.text();
                    continue;
                }
                for (const QChar c : xml.text()) {
                    indexOk = indexOk && c.isDigit() && index < m_sharedStrings.size();
                    index = index * 10 + c.digitValue();
                }
            }
        }
        if (shared)
            value = indexOk && index < m_sharedStrings.size() ? m_sharedStrings[index] : QString();
    }

    /// The text of the cell the reader stands on; the reader ends on the cell's end.
    QString readCell(QXmlStreamReader& xml, const QXmlStreamAttributes& attributes, int sheet, int row,
                     int column) const
    {
        const QStringView type = attributes.value(QLatin1String("t"));
        QString value;
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
                readValue(xml, type == u"s", value);
            } else if (name == u"is") {
                inlineText = ReadStringItem(xml);
            } else {
                formula = formula || name == u"f";
                xml.skipCurrentElement();
            }
        }
        if (type == u"inlineStr")
            return inlineText;
        if (!hasValue) {
            if (formula)
                throw WorkbookError(
                    QStringLiteral("the sheet %1 of %2 holds a formula whose value is not saved in the file "
                                   "(cell %3%4): open it in a spreadsheet program and save it again")
                        .arg(m_sheetNames[sheet], m_path, ColumnLetters(column))
                        .arg(row),
                    WorkbookError::Kind::FormulaWithoutValue);
            return {};
        }
        if (type == u"s")
            return value;
        if (type == u"str" || type == u"e")
            return DecodeEscapes(std::move(value));
        if (type == u"b")
            return value == u"1" || value == u"true" ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        if (type == u"d") {
            const QDate date = QDate::fromString(value.left(10), Qt::ISODate);
            return date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : value;
        }
        const int style = attributes.value(QLatin1String("s")).toInt();
        const bool date = style >= 0 && style < m_dateStyles.size() && m_dateStyles[style];
        if (!date && IsShortestDecimal(value))
            return value;
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!ok)
            return value;
        return date ? SerialDateCellText(number, m_date1904) : NumberCellText(number);
    }

    QString m_path;
    mutable ZipArchive m_zip;
    QString m_workbookPart;
    QHash<QString, QString> m_workbookTypes;
    QStringList m_sheetNames;
    QStringList m_sheetEntries;
    bool m_date1904 = false;
    mutable bool m_stylesRead = false;
    mutable QList<bool> m_dateStyles;
    mutable QStringList m_sharedStrings;
};

} // namespace

std::unique_ptr<WorkbookSource> OpenXlsxWorkbook(const QString& path)
{
    return std::make_unique<XlsxWorkbook>(path);
}
