#include "WorkbookSource.h"

#include "NumberFormat.h"
#include "SheetBuilder.h"
#include "ZipArchive.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

namespace {

const QString TableNamespace = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:table:1.0");
const QString OfficeNamespace = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");
const QString TextNamespace = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
const QString StyleNamespace = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:style:1.0");
const QString NumberNamespace = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0");
const QString CalcExtNamespace =
    QStringLiteral("urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0");
const QString FoNamespace = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0");
const QString LoExtNamespace =
    QStringLiteral("urn:org:documentfoundation:names:experimental:office:xmlns:loext:1.0");

QString ColumnLetters(qint64 column)
{
    QString letters;
    while (column > 0) {
        letters.prepend(QChar(char16_t(u'A' + (column - 1) % 26)));
        column = (column - 1) / 26;
    }
    return letters;
}

qint64 Repeat(const QXmlStreamAttributes& attributes, QLatin1String name)
{
    const qint64 count = attributes.value(TableNamespace, name).toLongLong();
    return count > 1 ? count : 1;
}

/// Appends a paragraph's character data as OpenDocument reads it: white space of any kind is one
/// blank, a run of it collapses, and it is dropped at the start of the paragraph. Blanks that count
/// are written as text:s elements.
void AppendCollapsed(QStringView characters, QString& text, bool& afterBlank)
{
    for (const QChar c : characters) {
        const bool blank = c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
        if (blank && afterBlank)
            continue;
        text += blank ? QChar(u' ') : c;
        afterBlank = blank;
    }
}

/// The text of a paragraph or span the reader stands on: spaces (text:s), tabs and line breaks as
/// their characters; notes, annotations and drawings left out. The reader ends on its end. A text
/// grown past kCellText stops growing, for the sheet to refuse it.
void ReadParagraph(QXmlStreamReader& xml, QString& text, bool& afterBlank)
{
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement)
            return;
        if (token == QXmlStreamReader::Characters) {
            if (text.size() <= kCellText)
                AppendCollapsed(xml.text(), text, afterBlank);
        } else if (token == QXmlStreamReader::StartElement) {
            const QStringView name = xml.name();
            const bool inText = xml.namespaceUri() == TextNamespace;
            if (inText && name == u"s") {
                const qint64 count = xml.attributes().value(TextNamespace, QLatin1String("c")).toLongLong();
                text += QString(std::clamp<qint64>(count, 1, kCellText + 1), u' ');
                afterBlank = false;
                xml.skipCurrentElement();
            } else if (inText && name == u"tab") {
                text += u'\t';
                afterBlank = false;
                xml.skipCurrentElement();
            } else if (inText && name == u"line-break") {
                text += u'\n';
                afterBlank = false;
                xml.skipCurrentElement();
            } else if ((inText && name == u"note") || name == u"annotation" || xml.prefix() == u"draw") {
                xml.skipCurrentElement();
            } else {
                ReadParagraph(xml, text, afterBlank);
            }
        }
    }
}

/// A literal of a format code: every character escaped, the percent sign of a percentage style left
/// to scale.
QString Literal(QStringView text, bool percentage)
{
    QString code;
    for (const QChar c : text) {
        if (!(percentage && c == u'%'))
            code += u'\\';
        code += c;
    }
    return code;
}

/// How a data style shows a cell: a format code, or a truth value; nothing read for a code that is
/// not understood.
struct DataStyle
{
    QString code;
    bool readable = true;
    bool boolean = false;
    /// The styles standing for positive, negative and zero values: (condition, style name).
    QList<std::pair<QString, QString>> maps;
};

/// One OpenDocument data style (number:number-style, number:date-style, ...) as an Excel format code,
/// read from its start to its end.
DataStyle ReadDataStyle(QXmlStreamReader& xml)
{
    DataStyle style;
    const QStringView kind = xml.name();
    const bool percentage = kind == u"percentage-style";
    const bool time = kind == u"time-style";
    const QXmlStreamAttributes own = xml.attributes();
    const QStringView language = own.value(NumberNamespace, QLatin1String("language"));
    if (!language.isEmpty() && language != u"en")
        style.readable = false;
    // India's digit grouping, where a number is grouped.
    if (own.value(NumberNamespace, QLatin1String("country")) == u"IN" &&
        (kind == u"number-style" || percentage || kind == u"currency-style"))
        style.code = QStringLiteral("[$-4009]");
    const bool elapsed =
        time && own.value(NumberNamespace, QLatin1String("truncate-on-overflow")) == u"false";
    bool timeSeen = false;
    // General with a currency symbol LibreOffice shows with decimals of its own choosing.
    bool general = false;
    bool currency = false;

    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement)
            break;
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        const QXmlStreamAttributes attributes = xml.attributes();
        const auto number = [&](QLatin1String attribute) {
            return attributes.value(NumberNamespace, attribute);
        };
        const bool isLong = number(QLatin1String("style")) == u"long";
        if (xml.namespaceUri() == StyleNamespace && name == u"map") {
            style.maps.append(
                {attributes.value(StyleNamespace, QLatin1String("condition")).toString(),
                 attributes.value(StyleNamespace, QLatin1String("apply-style-name")).toString()});
            xml.skipCurrentElement();
            continue;
        }
        if (xml.namespaceUri() != NumberNamespace) {
            // A colour changes no text, but General with one shows numbers in another form.
            if (name == u"text-properties" && attributes.hasAttribute(FoNamespace, QStringLiteral("color")))
                style.code.prepend(QStringLiteral("[Red]"));
            xml.skipCurrentElement();
            continue;
        }
        if (name == u"number") {
            if (!attributes.hasAttribute(NumberNamespace, QStringLiteral("decimal-places"))) {
                general = true;
                style.code += QStringLiteral("General");
            } else {
                const int decimals = number(QLatin1String("decimal-places")).toInt();
                // LibreOffice before 7.x wrote the least decimals in its own namespace.
                int minimumDecimals = decimals;
                if (attributes.hasAttribute(NumberNamespace, QStringLiteral("min-decimal-places")))
                    minimumDecimals = number(QLatin1String("min-decimal-places")).toInt();
                else if (attributes.hasAttribute(LoExtNamespace, QStringLiteral("min-decimal-places")))
                    minimumDecimals =
                        attributes.value(LoExtNamespace, QLatin1String("min-decimal-places")).toInt();
                else if (attributes.hasAttribute(NumberNamespace, QStringLiteral("decimal-replacement")))
                    minimumDecimals = 0;
                const int integers = number(QLatin1String("min-integer-digits")).toInt();
                const bool blanks = number(QLatin1String("decimal-replacement")) == u" ";
                QString integer = integers > 0 ? QString(integers, u'0') : QStringLiteral("#");
                if (number(QLatin1String("grouping")) == u"true")
                    integer.prepend(QStringLiteral("#,##"));
                style.code += integer;
                if (decimals > 0)
                    style.code += u'.' + QString(minimumDecimals, u'0') +
                                  QString(std::max(decimals - minimumDecimals, 0), blanks ? u'?' : u'#');
                const double factor = number(QLatin1String("display-factor")).toDouble();
                if (factor == 1000)
                    style.code += u',';
                else if (factor == 1000000)
                    style.code += QStringLiteral(",,");
                else if (factor != 0 && factor != 1)
                    style.readable = false;
            }
            // Texts placed among the digits are not read.
            while (!xml.atEnd() && xml.readNext() != QXmlStreamReader::EndElement) {
                if (xml.isStartElement()) {
                    style.readable = false;
                    xml.skipCurrentElement();
                }
            }
            continue;
        }
        if (name == u"scientific-number") {
            const int decimals = number(QLatin1String("decimal-places")).toInt();
            const int minimumDecimals =
                attributes.hasAttribute(NumberNamespace, QStringLiteral("min-decimal-places"))
                    ? number(QLatin1String("min-decimal-places")).toInt()
                    : decimals;
            const int integers = std::max(number(QLatin1String("min-integer-digits")).toInt(), 0);
            const int interval = std::max(number(QLatin1String("exponent-interval")).toInt(), 1);
            const int placeholders = std::max(std::max(interval, integers), 1);
            QString mantissa = QString(placeholders - integers, u'#') + QString(integers, u'0');
            if (number(QLatin1String("grouping")) == u"true" && mantissa.size() > 1)
                mantissa.insert(1, u',');
            style.code += mantissa;
            if (decimals > 0)
                style.code += u'.' + QString(minimumDecimals, u'0') +
                              QString(std::max(decimals - minimumDecimals, 0), u'#');
            style.code += number(QLatin1String("forced-exponent-sign")) == u"false" ? QStringLiteral("E-")
                                                                                    : QStringLiteral("E+");
            style.code += QString(std::max(number(QLatin1String("min-exponent-digits")).toInt(), 1), u'0');
        } else if (name == u"text") {
            style.code += Literal(xml.readElementText(QXmlStreamReader::IncludeChildElements), percentage);
            continue;
        } else if (name == u"currency-symbol") {
            currency = true;
            QString symbol = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            // No symbol of its own: its locale's, English (US) unless the style says otherwise.
            if (symbol.isEmpty()) {
                const QStringView country = own.value(NumberNamespace, QLatin1String("country"));
                if (country.isEmpty() || country == u"US")
                    symbol = QStringLiteral("$");
                else if (country == u"IN")
                    symbol = QStringLiteral("₹");
                else if (country == u"GB")
                    symbol = QStringLiteral("£");
                else
                    style.readable = false;
            }
            style.code += Literal(symbol, false);
            continue;
        } else if (name == u"text-content") {
            style.code += u'@';
        } else if (name == u"boolean") {
            style.boolean = true;
        } else if (name == u"day") {
            style.code += isLong ? QStringLiteral("dd") : QStringLiteral("d");
        } else if (name == u"month") {
            const bool textual = number(QLatin1String("textual")) == u"true";
            style.code += textual ? (isLong ? QStringLiteral("mmmm") : QStringLiteral("mmm"))
                                  : (isLong ? QStringLiteral("mm") : QStringLiteral("m"));
        } else if (name == u"year") {
            style.code += isLong ? QStringLiteral("yyyy") : QStringLiteral("yy");
        } else if (name == u"day-of-week") {
            style.code += isLong ? QStringLiteral("dddd") : QStringLiteral("ddd");
        } else if (name == u"hours" || name == u"minutes" || name == u"seconds") {
            // An elapsed time counts its largest unit, the first, beyond a day or an hour.
            QString unit = QString(isLong ? 2 : 1, QChar(name[0]));
            if (elapsed && !timeSeen)
                unit = u'[' + unit + u']';
            timeSeen = true;
            style.code += unit;
            if (name != u"seconds") {
                xml.skipCurrentElement();
                continue;
            }
            const int decimals = number(QLatin1String("decimal-places")).toInt();
            if (decimals > 0)
                style.code += u'.' + QString(decimals, u'0');
        } else if (name == u"am-pm") {
            style.code += QStringLiteral("AM/PM");
        } else if (name != u"fill-character") {
            // Fractions, eras, quarters, weeks and what else a writer may add.
            style.readable = false;
        }
        xml.skipCurrentElement();
    }
    if (general && currency)
        style.readable = false;
    return style;
}

/// How a cell's value is shown: in a number format, as a truth value, or in General (neither).
struct CellFormat
{
    const NumberFormat* format = nullptr;
    bool boolean = false;
    /// The data style, to name one that is not read.
    QString dataStyle;
};

/// The styles of a spreadsheet that decide how its cells show their values: data styles, and the
/// cell styles naming them, directly or through their parents.
class OdsStyles
{
public:
    /// Reads the styles within the element the reader stands on (office:styles,
    /// office:automatic-styles) to its end.
    void read(QXmlStreamReader& xml)
    {
        while (!xml.atEnd()) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token == QXmlStreamReader::EndElement)
                return;
            if (token != QXmlStreamReader::StartElement)
                continue;
            const QXmlStreamAttributes attributes = xml.attributes();
            const QString name = attributes.value(StyleNamespace, QLatin1String("name")).toString();
            if (xml.namespaceUri() == NumberNamespace && xml.name().endsWith(u"-style")) {
                m_dataStyles.insert(name, ReadDataStyle(xml));
                continue;
            }
            const bool cellStyle = attributes.value(StyleNamespace, QLatin1String("family")) == u"table-cell";
            if (cellStyle && xml.namespaceUri() == StyleNamespace && xml.name() == u"style") {
                m_cellStyles.insert(
                    name, {attributes.value(StyleNamespace, QLatin1String("data-style-name")).toString(),
                           attributes.value(StyleNamespace, QLatin1String("parent-style-name")).toString()});
            } else if (cellStyle && xml.namespaceUri() == StyleNamespace && xml.name() == u"default-style") {
                m_defaultDataStyle =
                    attributes.value(StyleNamespace, QLatin1String("data-style-name")).toString();
            }
            xml.skipCurrentElement();
        }
    }

    /// The format of a cell style ("Default" for none), found once.
    CellFormat formatOf(const QString& cellStyle)
    {
        const QString name = cellStyle.isEmpty() ? QStringLiteral("Default") : cellStyle;
        const auto known = m_resolved.constFind(name);
        if (known != m_resolved.constEnd())
            return *known;
        QString dataStyle;
        QString style = name;
        for (int depth = 0; depth < 16 && !style.isEmpty() && dataStyle.isEmpty(); ++depth) {
            const auto found = m_cellStyles.constFind(style);
            if (found == m_cellStyles.constEnd())
                break;
            dataStyle = found->first;
            style = found->second;
        }
        if (dataStyle.isEmpty())
            dataStyle = m_defaultDataStyle;
        CellFormat format;
        format.dataStyle = dataStyle;
        const auto data = m_dataStyles.constFind(dataStyle);
        if (data != m_dataStyles.constEnd()) {
            format.boolean = data->boolean;
            if (!format.boolean) {
                m_formats.append(std::make_shared<NumberFormat>(codeOf(*data)));
                format.format = m_formats.last().get();
            }
        }
        m_resolved.insert(name, format);
        return format;
    }

private:
    /// The code of a data style with the styles its maps apply for positive, negative and zero values
    /// as sections before its own; a code that cannot be read for other conditions.
    QString codeOf(const DataStyle& style) const
    {
        const auto section = [this](const QString& name) -> std::optional<QString> {
            const auto found = m_dataStyles.constFind(name);
            if (found == m_dataStyles.constEnd() || !found->readable || !found->maps.isEmpty())
                return std::nullopt;
            return found->code;
        };
        // A code with a character no format reads, for a style that is not read.
        const QString notRead = QStringLiteral("[not read]");
        if (!style.readable)
            return notRead;
        QStringList conditions;
        QStringList sections;
        for (const auto& [condition, name] : style.maps) {
            const std::optional<QString> code = section(name);
            if (!code)
                return notRead;
            conditions.append(QString(condition).remove(u' '));
            sections.append(*code);
        }
        const QStringList positive{QStringLiteral("value()>=0")};
        const QStringList signs{QStringLiteral("value()>0"), QStringLiteral("value()<0")};
        const QStringList all{QStringLiteral("value()>0"), QStringLiteral("value()<0"),
                              QStringLiteral("value()=0")};
        if (!conditions.isEmpty() && conditions != positive && conditions != signs && conditions != all)
            return notRead;
        sections.append(style.code);
        return sections.join(u';');
    }

    QHash<QString, DataStyle> m_dataStyles;
    /// Cell style to its data style and its parent.
    QHash<QString, std::pair<QString, QString>> m_cellStyles;
    QString m_defaultDataStyle;
    QHash<QString, CellFormat> m_resolved;
    QList<std::shared_ptr<NumberFormat>> m_formats;
};

/// A time-value ("PT10H30M15.5S", "-PT1H", "P1DT2H") as a fraction of a day; nothing when unreadable.
std::optional<double> DurationDays(QStringView text)
{
    bool negative = text.startsWith(u'-');
    if (negative)
        text = text.sliced(1);
    if (!text.startsWith(u'P'))
        return std::nullopt;
    double seconds = 0;
    bool inTime = false;
    QString number;
    for (const QChar c : text.sliced(1)) {
        if (c == u'T') {
            inTime = true;
        } else if (c.isDigit() || c == u'.') {
            number += c;
        } else {
            bool ok = false;
            const double value = number.toDouble(&ok);
            if (!ok)
                return std::nullopt;
            number.clear();
            if (c == u'D' && !inTime)
                seconds += value * 86400;
            else if (c == u'H' && inTime)
                seconds += value * 3600;
            else if (c == u'M' && inTime)
                seconds += value * 60;
            else if (c == u'S' && inTime)
                seconds += value;
            else
                return std::nullopt;
        }
    }
    if (!number.isEmpty())
        return std::nullopt;
    return (negative ? -seconds : seconds) / 86400;
}

/// The default cell styles of a table's columns, as runs of columns.
struct ColumnStyles
{
    QList<std::pair<qint64, QString>> starts;

    void add(qint64 count, const QString& style)
    {
        const qint64 first = next;
        next += count;
        if (starts.isEmpty() || starts.last().second != style)
            starts.append({first, style});
    }
    QString at(qint64 column) const
    {
        const auto after = std::upper_bound(starts.cbegin(), starts.cend(), column,
                                            [](qint64 c, const auto& start) { return c < start.first; });
        return after == starts.cbegin() ? QString() : std::prev(after)->second;
    }
    qint64 next = 1;
};

/// An OpenDocument spreadsheet read from its content.xml, one table at a time, each value shown in
/// its data style as LibreOffice shows it when it opens the file. (A cell's paragraph is only what
/// the saving program showed, which some show narrowed to the column: 9.88E+09 for a mobile number.)
class OdsWorkbook : public WorkbookSource
{
public:
    explicit OdsWorkbook(const QString& path)
        : m_path(path)
        , m_zip(path)
    {
        if (!m_zip.isOpen())
            throw unreadable(QStringLiteral("not a readable .ods file"));
        readStylesPart();
        // The first sheet, which most readers want, is read in the same pass as the names.
        if (!readContent(true)) {
            m_sheetNames.clear();
            readContent(false);
        }
    }

    QStringList sheetNames() const override { return m_sheetNames; }

    Worksheet sheet(int index) const override
    {
        if (index < 0 || index >= m_sheetNames.size())
            throw WorkbookError(QStringLiteral("%1: no sheet number %2").arg(m_path).arg(index + 1),
                                WorkbookError::Kind::NoSuchSheet);
        if (index == 0 && m_firstError)
            throw *m_firstError;
        if (index == 0 && m_first)
            return *m_first;
        const QString content = QStringLiteral("content.xml");
        auto file = openPart(content);
        QXmlStreamReader xml(file.get());
        int table = -1;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"table" && xml.namespaceUri() == TableNamespace && ++table == index) {
                Worksheet sheet = readTable(xml, index);
                checkXml(xml, content, *file);
                return sheet;
            }
            if (xml.name() == u"table" && xml.namespaceUri() == TableNamespace)
                xml.skipCurrentElement();
        }
        checkXml(xml, content, *file);
        throw unreadable(QStringLiteral("the sheet %1 cannot be found").arg(m_sheetNames[index]));
    }

private:
    WorkbookError unreadable(const QString& why) const
    {
        return WorkbookError(QStringLiteral("%1: %2").arg(m_path, why));
    }

    void checkXml(const QXmlStreamReader& xml, const QString& part, const ZipEntryReader& file) const
    {
        if (!file.overflow().isEmpty())
            throw WorkbookError(
                QStringLiteral("%1: the workbook part %2 %3").arg(m_path, part, file.overflow()),
                WorkbookError::Kind::TooLarge);
        if (xml.hasError())
            throw unreadable(QStringLiteral("its %1 is damaged (%2)").arg(part, xml.errorString()));
    }

    std::unique_ptr<ZipEntryReader> openPart(const QString& part, bool required = true) const
    {
        if (!m_zip.locate(part)) {
            if (required)
                throw unreadable(QStringLiteral("it holds no %1").arg(part));
            return nullptr;
        }
        auto file = m_zip.openCurrent();
        if (!file)
            throw unreadable(QStringLiteral("its %1 cannot be unpacked").arg(part));
        return file;
    }

    /// Reads the automatic styles, the null date and the table names of content.xml, and with
    /// withFirst the first table; false when the first table could not be read (its error kept for
    /// sheet(0)), the names then being incomplete.
    bool readContent(bool withFirst)
    {
        const QString content = QStringLiteral("content.xml");
        auto file = openPart(content);
        QXmlStreamReader xml(file.get());
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.namespaceUri() == OfficeNamespace && xml.name() == u"automatic-styles") {
                m_styles.read(xml);
            } else if (xml.namespaceUri() == TableNamespace && xml.name() == u"null-date") {
                m_date1904 =
                    xml.attributes().value(TableNamespace, QLatin1String("date-value")) == u"1904-01-01";
            } else if (xml.name() == u"table" && xml.namespaceUri() == TableNamespace) {
                m_sheetNames.append(xml.attributes().value(TableNamespace, QLatin1String("name")).toString());
                if (!withFirst || m_sheetNames.size() > 1) {
                    xml.skipCurrentElement();
                    continue;
                }
                try {
                    m_first = readTable(xml, 0);
                } catch (const WorkbookError& error) {
                    checkXml(xml, content, *file);
                    m_firstError = error;
                    return false;
                }
            }
        }
        checkXml(xml, content, *file);
        return true;
    }

    /// The named and automatic styles of styles.xml, which the cells' styles build on.
    void readStylesPart()
    {
        const QString part = QStringLiteral("styles.xml");
        auto file = openPart(part, false);
        if (!file)
            return;
        QXmlStreamReader xml(file.get());
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement || xml.namespaceUri() != OfficeNamespace)
                continue;
            if (xml.name() == u"styles" || xml.name() == u"automatic-styles")
                m_styles.read(xml);
            else if (xml.name() == u"master-styles")
                xml.skipCurrentElement();
        }
        checkXml(xml, part, *file);
    }

    /// The rows of the table the reader stands on. Empty cells and rows cost nothing, and a repeated
    /// row is held once.
    Worksheet readTable(QXmlStreamReader& xml, int index) const
    {
        SheetBuilder sheet(m_path, m_sheetNames[index]);
        ColumnStyles columns;
        qint64 rowNumber = 1;
        int depth = 1;
        while (depth > 0 && !xml.atEnd()) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token == QXmlStreamReader::EndElement) {
                --depth;
                continue;
            }
            if (token != QXmlStreamReader::StartElement)
                continue;
            const bool inTable = xml.namespaceUri() == TableNamespace;
            const QStringView name = xml.name();
            if (inTable && name == u"table-row") {
                const QXmlStreamAttributes attributes = xml.attributes();
                const qint64 repeat = Repeat(attributes, QLatin1String("number-rows-repeated"));
                sheet.beginRow(rowNumber, repeat);
                readRow(xml, sheet, columns,
                        attributes.value(TableNamespace, QLatin1String("default-cell-style-name")).toString(),
                        index, rowNumber);
                // Past the largest sheet only empty rows are met; the count stops before overflowing.
                rowNumber = std::min(rowNumber + repeat, kSheetRows * 2);
            } else if (inTable && name == u"table-column") {
                const QXmlStreamAttributes attributes = xml.attributes();
                columns.add(
                    std::min(Repeat(attributes, QLatin1String("number-columns-repeated")), kSheetColumns * 2),
                    attributes.value(TableNamespace, QLatin1String("default-cell-style-name")).toString());
                xml.skipCurrentElement();
            } else if (inTable && (name == u"table-header-rows" || name == u"table-row-group" ||
                                   name == u"table-rows" || name == u"table-columns" ||
                                   name == u"table-column-group" || name == u"table-header-columns")) {
                ++depth;
            } else {
                xml.skipCurrentElement();
            }
        }
        return sheet.finish();
    }

    /// The cells of the row the reader stands on.
    void readRow(QXmlStreamReader& xml, SheetBuilder& sheet, const ColumnStyles& columns,
                 const QString& rowStyle, int index, qint64 rowNumber) const
    {
        qint64 column = 1;
        while (!xml.atEnd()) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token == QXmlStreamReader::EndElement)
                break;
            if (token != QXmlStreamReader::StartElement)
                continue;
            const QStringView name = xml.name();
            if (xml.namespaceUri() != TableNamespace ||
                (name != u"table-cell" && name != u"covered-table-cell")) {
                xml.skipCurrentElement();
                continue;
            }
            const QXmlStreamAttributes attributes = xml.attributes();
            const qint64 repeat = Repeat(attributes, QLatin1String("number-columns-repeated"));
            QString style = attributes.value(TableNamespace, QLatin1String("style-name")).toString();
            if (style.isEmpty())
                style = rowStyle.isEmpty() ? columns.at(column) : rowStyle;
            const QString text =
                readCell(xml, attributes, m_styles.formatOf(style), index, rowNumber, column);
            sheet.addCell(column, sheet.addText(text), repeat);
            column = std::min(column + repeat, kSheetColumns * 2);
        }
    }

    [[noreturn]] void formatNotRead(const CellFormat& format, int index, qint64 row, qint64 column) const
    {
        throw WorkbookError(
            QStringLiteral("the sheet %1 of %2 shows the cell %3%4 in a number format that is not read (data "
                           "style %5): give the cell another format and save the workbook again")
                .arg(m_sheetNames[index], m_path, ColumnLetters(column))
                .arg(row)
                .arg(format.dataStyle),
            WorkbookError::Kind::FormatNotRead);
    }

    /// The text of the cell the reader stands on, by its value type and data style; the reader ends on
    /// its end.
    QString readCell(QXmlStreamReader& xml, const QXmlStreamAttributes& attributes, CellFormat format,
                     int index, qint64 rowNumber, qint64 column) const
    {
        const QStringView type = attributes.value(OfficeNamespace, QLatin1String("value-type"));
        const bool error = attributes.value(CalcExtNamespace, QLatin1String("value-type")) == u"error";
        QString paragraphs;
        bool firstParagraph = true;
        while (!xml.atEnd()) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token == QXmlStreamReader::EndElement)
                break;
            if (token != QXmlStreamReader::StartElement)
                continue;
            if (xml.namespaceUri() == TextNamespace && xml.name() == u"p") {
                if (!std::exchange(firstParagraph, false))
                    paragraphs += u'\n';
                bool afterBlank = true;
                ReadParagraph(xml, paragraphs, afterBlank);
            } else {
                xml.skipCurrentElement();
            }
        }
        if (error)
            return paragraphs;

        // A value in its data style; without one in General, or, for dates and times, as the saving
        // program showed it. A style not read leaves the saving program's text, or refuses the cell.
        const auto shown = [&](double value, const QString& fallback) -> QString {
            if (format.boolean)
                return value != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
            if (!format.format)
                return fallback;
            if (std::optional<QString> text = format.format->number(value, m_date1904))
                return *text;
            if (!paragraphs.isEmpty())
                return paragraphs;
            formatNotRead(format, index, rowNumber, column);
        };
        if (type == u"float" || type == u"percentage" || type == u"currency") {
            bool ok = false;
            const double value = attributes.value(OfficeNamespace, QLatin1String("value")).toDouble(&ok);
            if (!ok)
                return paragraphs;
            static const NumberFormat general;
            return shown(value, *general.number(value));
        }
        if (type == u"date") {
            const QStringView text = attributes.value(OfficeNamespace, QLatin1String("date-value"));
            const QDateTime when = QDateTime::fromString(text.left(19).toString(), Qt::ISODate);
            const QDate date =
                when.isValid() ? when.date() : QDate::fromString(text.left(10).toString(), Qt::ISODate);
            if (!date.isValid())
                return paragraphs;
            double seconds = when.isValid() ? when.time().msecsSinceStartOfDay() / 1000.0 : 0;
            // Fractions of a second: "2026-12-08T10:30:15.5".
            if (when.isValid() && text.size() > 20 && text[19] == u'.')
                seconds += (u'0' + text.sliced(19).toString()).toDouble();
            const double serial =
                double(date.toJulianDay() - (m_date1904 ? 2416481 : 2415019)) + seconds / 86400;
            return shown(serial,
                         paragraphs.isEmpty() ? date.toString(QStringLiteral("dd/MM/yyyy")) : paragraphs);
        }
        if (type == u"time") {
            const std::optional<double> days =
                DurationDays(attributes.value(OfficeNamespace, QLatin1String("time-value")));
            if (!days)
                return paragraphs;
            return shown(*days, paragraphs.isEmpty() ? *FormatNumber(*days, QStringLiteral("[hh]:mm:ss"))
                                                     : paragraphs);
        }
        if (type == u"boolean") {
            const QStringView value = attributes.value(OfficeNamespace, QLatin1String("boolean-value"));
            return value == u"true" || value == u"1" ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        }
        // A text: its value where the paragraph shows it formatted, shown in a text section.
        const QString text =
            type == u"string" && attributes.hasAttribute(OfficeNamespace, QStringLiteral("string-value"))
                ? attributes.value(OfficeNamespace, QLatin1String("string-value")).toString()
                : paragraphs;
        if (type.isEmpty() && paragraphs.isEmpty() &&
            attributes.hasAttribute(TableNamespace, QStringLiteral("formula")))
            throw WorkbookError(
                QStringLiteral("the sheet %1 of %2 holds a formula whose value is not saved in the file "
                               "(cell %3%4): open it in a spreadsheet program and save it again")
                    .arg(m_sheetNames[index], m_path, ColumnLetters(column))
                    .arg(rowNumber),
                WorkbookError::Kind::FormulaWithoutValue);
        if (text.isEmpty() || !format.format || !format.format->changesText())
            return text;
        if (std::optional<QString> formatted = format.format->text(text))
            return *formatted;
        return paragraphs;
    }

    QString m_path;
    mutable ZipArchive m_zip;
    QStringList m_sheetNames;
    bool m_date1904 = false;
    mutable OdsStyles m_styles;
    std::optional<Worksheet> m_first;
    std::optional<WorkbookError> m_firstError;
};

} // namespace

std::unique_ptr<WorkbookSource> OpenOdsWorkbook(const QString& path)
{
    return std::make_unique<OdsWorkbook>(path);
}
