#include "SheetBuilder.h"
#include "WorkbookSource.h"

#include <QFileInfo>
#include <QHash>

namespace {

// The named character references back-office pages use; any other stays as written.
const QHash<QString, char16_t>& NamedEntities()
{
    static const QHash<QString, char16_t> entities = {
        {QStringLiteral("amp"), u'&'},         {QStringLiteral("lt"), u'<'},
        {QStringLiteral("gt"), u'>'},          {QStringLiteral("quot"), u'"'},
        {QStringLiteral("apos"), u'\''},       {QStringLiteral("nbsp"), u' '},
        {QStringLiteral("copy"), u'\u00A9'},   {QStringLiteral("reg"), u'\u00AE'},
        {QStringLiteral("deg"), u'\u00B0'},    {QStringLiteral("euro"), u'\u20AC'},
        {QStringLiteral("pound"), u'\u00A3'},  {QStringLiteral("yen"), u'\u00A5'},
        {QStringLiteral("cent"), u'\u00A2'},   {QStringLiteral("sect"), u'\u00A7'},
        {QStringLiteral("plusmn"), u'\u00B1'}, {QStringLiteral("times"), u'\u00D7'},
        {QStringLiteral("divide"), u'\u00F7'}, {QStringLiteral("middot"), u'\u00B7'},
        {QStringLiteral("ndash"), u'\u2013'},  {QStringLiteral("mdash"), u'\u2014'},
        {QStringLiteral("lsquo"), u'\u2018'},  {QStringLiteral("rsquo"), u'\u2019'},
        {QStringLiteral("ldquo"), u'\u201C'},  {QStringLiteral("rdquo"), u'\u201D'},
        {QStringLiteral("hellip"), u'\u2026'}, {QStringLiteral("bull"), u'\u2022'},
        {QStringLiteral("trade"), u'\u2122'},  {QStringLiteral("laquo"), u'\u00AB'},
        {QStringLiteral("raquo"), u'\u00BB'},  {QStringLiteral("shy"), u'\u00AD'},
    };
    return entities;
}

/// Character references decoded: named ones of the table, decimal "&#8377;" and hexadecimal "&#x20B9;".
QString DecodeEntities(QStringView text)
{
    QString decoded;
    decoded.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype end = text[i] == u'&' ? text.indexOf(u';', i + 1) : -1;
        if (end < 0 || end - i > 10) {
            decoded += text[i];
            continue;
        }
        const QStringView name = text.sliced(i + 1, end - i - 1);
        char32_t codePoint = 0;
        if (name.startsWith(u'#')) {
            bool ok = false;
            const bool hex = name.size() > 1 && (name[1] == u'x' || name[1] == u'X');
            codePoint = char32_t(name.sliced(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10));
            if (!ok || codePoint == 0 || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
                codePoint = 0;
        } else {
            codePoint = NamedEntities().value(name.toString(), 0);
        }
        if (codePoint == 0) {
            decoded += text[i];
            continue;
        }
        decoded += QString::fromUcs4(&codePoint, 1);
        i = end;
    }
    return decoded;
}

// Where a <br> broke a cell's line; white space around it is dropped as at the ends of the cell.
constexpr char16_t LineBreak = u'\u2028';

/// A cell's text as a browser shows it: runs of white space one blank, none at the ends of the cell or
/// of a line; a line break where the page breaks the line.
QString CellText(const QString& raw)
{
    QStringList lines;
    for (const QString& line : raw.split(QChar(LineBreak)))
        lines << DecodeEntities(line.simplified()).trimmed();
    return lines.join(u'\n').trimmed();
}

/// The name of the tag that starts at text[at] ("<td ...>" gives "td", "</TR>" gives "/tr").
QString TagName(QStringView text, qsizetype at)
{
    qsizetype end = at + 1;
    if (end < text.size() && text[end] == u'/')
        ++end;
    while (end < text.size() && text[end].isLetterOrNumber())
        ++end;
    return text.sliced(at + 1, end - at - 1).toString().toLower();
}

/// How many columns a cell's start tag spans (its colspan), 1 when it does not say.
qint64 Span(QStringView tag)
{
    const qsizetype at = tag.indexOf(QLatin1String("colspan"), 0, Qt::CaseInsensitive);
    if (at < 0)
        return 1;
    qsizetype i = at + 7;
    while (i < tag.size() && (tag[i] == u'=' || tag[i] == u' ' || tag[i] == u'"' || tag[i] == u'\''))
        ++i;
    qsizetype end = i;
    while (end < tag.size() && tag[end].isDigit())
        ++end;
    return std::clamp<qint64>(tag.sliced(i, end - i).toLongLong(), 1, kSheetColumns);
}

/// The rows of every table of the page in order, each <td> or <th> a cell; tags inside a cell are
/// dropped, except that <br> breaks its line. A cell that spans columns takes them all, so that the
/// cells after it keep their columns.
void ParseTables(QStringView text, SheetBuilder& sheet)
{
    qint64 row = 0;
    qint64 column = 1;
    bool inRow = false;
    bool inCell = false;
    qint64 span = 1;
    QString cell;
    const auto endCell = [&] {
        if (!inCell)
            return;
        const qint32 shown = sheet.addText(CellText(cell));
        if (shown >= 0)
            sheet.addCell(column, shown);
        column += span;
        inCell = false;
        cell.clear();
    };
    const auto startRow = [&] {
        sheet.beginRow(++row);
        column = 1;
        inRow = true;
    };
    for (qsizetype i = 0; i < text.size();) {
        if (text[i] != u'<') {
            const qsizetype next = text.indexOf(u'<', i);
            const qsizetype end = next < 0 ? text.size() : next;
            if (inCell)
                cell += text.sliced(i, end - i);
            i = end;
            continue;
        }
        if (text.sliced(i).startsWith(QLatin1String("<!--"))) {
            const qsizetype end = text.indexOf(QLatin1String("-->"), i + 4);
            i = end < 0 ? text.size() : end + 3;
            continue;
        }
        const qsizetype close = text.indexOf(u'>', i);
        const qsizetype end = close < 0 ? text.size() : close + 1;
        const QString name = TagName(text, i);
        if (name == u"script" || name == u"style") {
            const qsizetype after = text.indexOf(QStringLiteral("</") + name, end, Qt::CaseInsensitive);
            i = after < 0 ? text.size() : after;
            continue;
        }
        if (name == u"tr") {
            endCell();
            startRow();
        } else if (name == u"/tr" || name == u"table" || name == u"/table") {
            endCell();
            inRow = false;
        } else if (name == u"td" || name == u"th") {
            endCell();
            if (!inRow) // a cell outside any row begins a row of its own
                startRow();
            span = Span(text.sliced(i, end - i));
            inCell = true;
        } else if (name == u"/td" || name == u"/th") {
            endCell();
        } else if (name == u"br" && inCell) {
            cell += QChar(LineBreak);
        } else if (inCell && (name == u"p" || name == u"div" || name == u"/p" || name == u"/div")) {
            cell += u' ';
        }
        i = end;
    }
    endCell();
}

} // namespace

std::unique_ptr<WorkbookSource> OpenHtmlWorkbook(const QString& path)
{
    // The same texts as the same data in a comma-separated file.
    return OpenTextWorkbook(path, ParseTables);
}
