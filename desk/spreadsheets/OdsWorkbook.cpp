#include "WorkbookSource.h"

#include "CellText.h"
#include "ZipArchive.h"

#include <QDate>
#include <QXmlStreamReader>

namespace {

const QString TableNamespace = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:table:1.0");
const QString OfficeNamespace = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");
const QString TextNamespace = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
const QString CalcExtNamespace =
    QStringLiteral("urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0");

// Beyond the largest sheet any spreadsheet program makes: a repeat this far holds no data worth reading.
constexpr int MaxRows = 1 << 20;
constexpr int MaxColumns = 1 << 14;

QString ColumnLetters(int column)
{
    QString letters;
    while (column > 0) {
        letters.prepend(QChar(u'A' + (column - 1) % 26));
        column = (column - 1) / 26;
    }
    return letters;
}

int Repeat(const QXmlStreamAttributes& attributes, QLatin1String name)
{
    const int count = attributes.value(TableNamespace, name).toInt();
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
/// their characters; notes, annotations and drawings left out. The reader ends on its end.
void ReadParagraph(QXmlStreamReader& xml, QString& text, bool& afterBlank)
{
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement)
            return;
        if (token == QXmlStreamReader::Characters) {
            AppendCollapsed(xml.text(), text, afterBlank);
        } else if (token == QXmlStreamReader::StartElement) {
            const QStringView name = xml.name();
            const bool inText = xml.namespaceUri() == TextNamespace;
            if (inText && name == u"s") {
                const int count = xml.attributes().value(TextNamespace, QLatin1String("c")).toInt();
                text += QString(count > 1 ? count : 1, u' ');
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

/// An OpenDocument spreadsheet read from its content.xml, one table at a time.
class OdsWorkbook : public WorkbookSource
{
public:
    explicit OdsWorkbook(const QString& path)
        : m_path(path)
        , m_zip(path)
    {
        if (!m_zip.isOpen())
            throw unreadable(QStringLiteral("not a readable .ods file"));
        auto file = openContent();
        QXmlStreamReader xml(file.get());
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"table" && xml.namespaceUri() == TableNamespace) {
                m_sheetNames.append(xml.attributes().value(TableNamespace, QLatin1String("name")).toString());
                xml.skipCurrentElement();
            }
        }
        checkXml(xml);
    }

    QStringList sheetNames() const override { return m_sheetNames; }

    Worksheet sheet(int index) const override
    {
        if (index < 0 || index >= m_sheetNames.size())
            throw WorkbookError(QStringLiteral("%1: no sheet number %2").arg(m_path).arg(index + 1),
                                WorkbookError::Kind::NoSuchSheet);
        auto file = openContent();
        QXmlStreamReader xml(file.get());
        int table = -1;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"table" && xml.namespaceUri() == TableNamespace && ++table == index)
                return readTable(xml, index);
            if (xml.name() == u"table" && xml.namespaceUri() == TableNamespace)
                xml.skipCurrentElement();
        }
        checkXml(xml);
        throw unreadable(QStringLiteral("the sheet %1 cannot be found").arg(m_sheetNames[index]));
    }

private:
    WorkbookError unreadable(const QString& why) const
    {
        return WorkbookError(QStringLiteral("%1: %2").arg(m_path, why));
    }

    void checkXml(const QXmlStreamReader& xml) const
    {
        if (xml.hasError())
            throw unreadable(QStringLiteral("its content.xml is damaged (%1)").arg(xml.errorString()));
    }

    std::unique_ptr<QIODevice> openContent() const
    {
        if (!m_zip.locate(QStringLiteral("content.xml")))
            throw unreadable(QStringLiteral("it holds no content.xml"));
        auto file = m_zip.openCurrent();
        if (!file)
            throw unreadable(QStringLiteral("its content.xml cannot be unpacked"));
        return file;
    }

    /// The rows of the table the reader stands on. Repeated empty rows and cells count only when
    /// content follows them, so a sheet padded to its last possible row costs nothing.
    Worksheet readTable(QXmlStreamReader& xml, int index) const
    {
        QList<QStringList> rows;
        int pendingRows = 0;
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
                const int repeat = Repeat(xml.attributes(), QLatin1String("number-rows-repeated"));
                const int rowNumber = int(rows.size()) + pendingRows + 1;
                QStringList row = readRow(xml, index, rowNumber);
                if (row.isEmpty()) {
                    pendingRows = std::min(pendingRows + repeat, MaxRows);
                    continue;
                }
                for (; pendingRows > 0; --pendingRows)
                    rows.append(QStringList());
                for (int i = 0; i < repeat && rows.size() < MaxRows; ++i)
                    rows.append(row);
            } else if (inTable && (name == u"table-header-rows" || name == u"table-row-group" ||
                                   name == u"table-rows")) {
                ++depth;
            } else {
                xml.skipCurrentElement();
            }
        }
        checkXml(xml);
        return Worksheet(m_sheetNames[index], std::move(rows));
    }

    /// The cells of the row the reader stands on, empty when none holds a text.
    QStringList readRow(QXmlStreamReader& xml, int index, int rowNumber) const
    {
        QStringList row;
        int pendingCells = 0;
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
            const int repeat = Repeat(xml.attributes(), QLatin1String("number-columns-repeated"));
            const int column = int(row.size()) + pendingCells + 1;
            const QString text = readCell(xml, index, rowNumber, column);
            if (text.isEmpty()) {
                pendingCells = std::min(pendingCells + repeat, MaxColumns);
                continue;
            }
            for (; pendingCells > 0; --pendingCells)
                row.append(QString());
            for (int i = 0; i < repeat && row.size() < MaxColumns; ++i)
                row.append(text);
        }
        return row;
    }

    /// The text of the cell the reader stands on, by its value type; the reader ends on its end.
    QString readCell(QXmlStreamReader& xml, int index, int rowNumber, int column) const
    {
        const QXmlStreamAttributes attributes = xml.attributes();
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
        if (type == u"float" || type == u"percentage" || type == u"currency") {
            bool ok = false;
            const double value = attributes.value(OfficeNamespace, QLatin1String("value")).toDouble(&ok);
            return ok ? NumberCellText(value) : paragraphs;
        }
        if (type == u"date") {
            const QStringView value = attributes.value(OfficeNamespace, QLatin1String("date-value"));
            const QDate date = QDate::fromString(value.left(10).toString(), Qt::ISODate);
            return date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : paragraphs;
        }
        if (type == u"boolean") {
            const QStringView value = attributes.value(OfficeNamespace, QLatin1String("boolean-value"));
            return value == u"true" || value == u"1" ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        }
        if (type == u"string" && attributes.hasAttribute(OfficeNamespace, QStringLiteral("string-value")))
            return attributes.value(OfficeNamespace, QLatin1String("string-value")).toString();
        if (type.isEmpty() && paragraphs.isEmpty() &&
            attributes.hasAttribute(TableNamespace, QStringLiteral("formula")))
            throw WorkbookError(
                QStringLiteral("the sheet %1 of %2 holds a formula whose value is not saved in the file "
                               "(cell %3%4): open it in a spreadsheet program and save it again")
                    .arg(m_sheetNames[index], m_path, ColumnLetters(column))
                    .arg(rowNumber),
                WorkbookError::Kind::FormulaWithoutValue);
        return paragraphs;
    }

    QString m_path;
    mutable ZipArchive m_zip;
    QStringList m_sheetNames;
};

} // namespace

std::unique_ptr<WorkbookSource> OpenOdsWorkbook(const QString& path)
{
    return std::make_unique<OdsWorkbook>(path);
}
