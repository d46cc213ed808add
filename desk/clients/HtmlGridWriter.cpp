#include "HtmlGridWriter.h"

#include "DecimalText.h"

#include <QSaveFile>

#include <algorithm>
#include <array>
#include <utility>

namespace {

/// The pages are laid out for this screen, whatever the screen they are written on.
constexpr qint64 TwipsPerPixel = 15;

/// A width in twips as pixels of the page: width × 1.3 ÷ twips per pixel, whole part.
qint64 Pixels(qint64 twips)
{
    return twips * 13 / (10 * TwipsPerPixel);
}

/// The characters windows-1252 places at 0x80 to 0x9F; 0 where it places none.
constexpr std::array<char16_t, 32> Windows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

/// The page as windows-1252 bytes, written out in blocks as it grows.
class PageWriter
{
public:
    explicit PageWriter(QSaveFile& file)
        : m_file(file)
    {
        m_buffer.reserve(FlushSize + (1 << 16));
    }

    /// One text of the page followed by its line end.
    void line(QStringView text)
    {
        append(text);
        m_buffer += "\r\n";
        if (m_buffer.size() >= FlushSize)
            flush();
    }

    bool finish()
    {
        flush();
        return m_ok && m_file.commit();
    }

private:
    void flush()
    {
        m_ok = m_ok && m_file.write(m_buffer) == m_buffer.size();
        m_buffer.clear();
    }

    void append(QStringView text)
    {
        for (qsizetype i = 0; i < text.size();) {
            // Most texts are runs of characters that windows-1252 holds as they are: copied in one go.
            qsizetype end = i;
            while (end < text.size() && IsSameInWindows1252(text[end].unicode()))
                ++end;
            if (end > i) {
                const qsizetype used = m_buffer.size();
                m_buffer.resize(used + (end - i));
                char* out = m_buffer.data() + used;
                for (; i < end; ++i)
                    *out++ = char(text[i].unicode());
                continue;
            }
            const char16_t c = text[i++].unicode();
            if (c > 0xFF) {
                const auto* found = std::find(Windows1252High.begin(), Windows1252High.end(), c);
                if (found != Windows1252High.end()) {
                    m_buffer += char(0x80 + (found - Windows1252High.begin()));
                    continue;
                }
            }
            char32_t code = c;
            if (QChar::isHighSurrogate(c) && i < text.size() && text[i].isLowSurrogate())
                code = QChar::surrogateToUcs4(c, text[i++].unicode());
            else if (QChar::isSurrogate(c))
                code = 0xFFFD;
            m_buffer += "&#" + QByteArray::number(uint(code)) + ';';
        }
    }

    static bool IsSameInWindows1252(char16_t c) { return c < 0x80 || (c >= 0xA0 && c <= 0xFF); }

    static constexpr qsizetype FlushSize = 1 << 20;

    QSaveFile& m_file;
    QByteArray m_buffer;
    bool m_ok = true;
};

/// The cells a page cell covers: its own, or the shown part of the merge it starts.
struct CellSpan
{
    int rows = 1;
    int columns = 1;
    qint64 widthTwips = 0;
};

/// The page of one grid: which rows and columns show, and the text of each cell.
class HtmlPage
{
public:
    explicit HtmlPage(const ExportGrid& grid)
        : m_grid(grid)
    {
        for (int c = 0; c < grid.columnCount(); ++c) {
            const ExportColumn& column = grid.columns[c];
            m_shownColumns.append(!column.hidden && column.width != 0);
            if (m_shownColumns.last())
                m_tableTwips += column.width;
        }
        m_tableTwips = std::max<qint64>(m_tableTwips, grid.controlWidth);
    }

    qint64 tablePixels() const { return Pixels(m_tableTwips); }

    bool rowShown(int row) const
    {
        const ExportRow format = m_grid.rowFormat(row);
        return !format.hidden && format.height != 0;
    }
    bool columnShown(int column) const { return m_shownColumns[column]; }

    /// The cell's span; nothing when a merge that starts in a shown row or column before it covers it.
    std::optional<CellSpan> span(int row, int column) const
    {
        for (const ExportMerge& merge : m_grid.merges) {
            if (row < merge.firstRow || row > merge.lastRow || column < merge.firstColumn ||
                column > merge.lastColumn)
                continue;
            CellSpan span{0, 0, 0};
            int firstRow = -1;
            int firstColumn = -1;
            for (int r = std::max(merge.firstRow, 0); r <= merge.lastRow && r < m_grid.rowCount(); ++r) {
                if (rowShown(r)) {
                    ++span.rows;
                    firstRow = firstRow < 0 ? r : firstRow;
                }
            }
            for (int c = std::max(merge.firstColumn, 0); c <= merge.lastColumn && c < m_grid.columnCount();
                 ++c) {
                if (columnShown(c)) {
                    ++span.columns;
                    span.widthTwips += m_grid.columns[c].width;
                    firstColumn = firstColumn < 0 ? c : firstColumn;
                }
            }
            if (row != firstRow || column != firstColumn)
                return std::nullopt;
            return span;
        }
        return CellSpan{1, 1, m_grid.columns[column].width};
    }

    QString cellText(int row, int column, const CellSpan& span) const
    {
        const bool fixed = row < m_grid.fixedRows || column < m_grid.fixedColumns;
        const ExportCellFormat* format = m_grid.cellFormat(row, column);
        const ExportColumn& kind = m_grid.columns[column];
        const QString text = m_grid.text(row, column);

        QString cell = QStringLiteral("<TD WIDTH=\"") + Share(Pixels(span.widthTwips)) + u'"';
        if (span.columns > 1)
            cell += QStringLiteral(" COLSPAN=") + QString::number(span.columns);
        if (span.rows > 1)
            cell += QStringLiteral(" ROWSPAN=") + QString::number(span.rows);
        if (format && format->background)
            cell += QStringLiteral(" BGCOLOR=") + HtmlColor(*format->background);
        else if (fixed)
            cell += QStringLiteral(" BGCOLOR=") + HtmlColor(m_grid.fixedBackground);
        if (fixed)
            cell += QStringLiteral(" BORDERCOLOR=") + HtmlColor(m_grid.fixedGridLineColor);
        cell += Alignment(kind, text);
        cell += u'>';

        QString font;
        if (format && !format->fontName.isEmpty() && format->fontName != m_grid.fontName)
            font += QStringLiteral(" FACE=\"") + format->fontName + u'"';
        if (format && format->foreground)
            font += QStringLiteral(" COLOR=") + HtmlColor(*format->foreground);
        else if (fixed)
            font += QStringLiteral(" COLOR=") + HtmlColor(m_grid.fixedForeground);
        if (!font.isEmpty())
            cell += QStringLiteral("<FONT") + font + u'>';
        const bool bold = format && format->bold;
        const bool italic = format && format->italic;
        const bool underline = format && format->underline;
        if (bold)
            cell += QStringLiteral("<B>");
        if (italic)
            cell += QStringLiteral("<I>");
        if (underline)
            cell += QStringLiteral("<U>");

        const ExportRow rowFormat = m_grid.rowFormat(row);
        if (rowFormat.subtotal) {
            for (int level = 0; level < rowFormat.outlineLevel; ++level)
                cell += QStringLiteral("&nbsp&nbsp&nbsp&nbsp");
        }
        if (kind.dataType == ExportColumn::BooleanType && row >= m_grid.fixedRows)
            cell += HtmlEscape(IsTrue(text) ? QStringLiteral("Y") : QString());
        else
            cell += HtmlEscape(text);

        if (bold)
            cell += QStringLiteral("</B>");
        if (italic)
            cell += QStringLiteral("</I>");
        if (underline)
            cell += QStringLiteral("</U>");
        if (!font.isEmpty())
            cell += QStringLiteral("</FONT>");
        cell += QStringLiteral("</TD>");
        return cell;
    }

private:
    /// A width as a whole percentage of the table's ("#%"), where a share under half a per cent is "0%".
    QString Share(qint64 pixels) const
    {
        const qint64 table = tablePixels();
        const qint64 percent = table > 0 ? (200 * pixels + table) / (2 * table) : 0;
        return QString::number(percent) + u'%';
    }

    static QString Alignment(const ExportColumn& column, const QString& text)
    {
        switch (column.alignment) {
        case 0:
            return QStringLiteral(" VALIGN=TOP");
        case 1:
            return {};
        case 2:
            return QStringLiteral(" VALIGN=BOTTOM");
        case 3:
            return QStringLiteral(" ALIGN=CENTER VALIGN=TOP");
        case 4:
            return QStringLiteral(" ALIGN=CENTER");
        case 5:
            return QStringLiteral(" ALIGN=CENTER VALIGN=BOTTOM");
        case 6:
            return QStringLiteral(" ALIGN=RIGHT VALIGN=TOP");
        case 7:
            return QStringLiteral(" ALIGN=RIGHT");
        case 8:
            return QStringLiteral(" ALIGN=RIGHT VALIGN=BOTTOM");
        default:
            if (column.dataType == ExportColumn::DateType)
                return {};
            if (column.dataType == ExportColumn::BooleanType)
                return QStringLiteral(" ALIGN=CENTER");
            return LooksNumeric(text) ? QStringLiteral(" ALIGN=RIGHT") : QString();
        }
    }

    /// A boolean cell's value: the number its text begins with is not 0; a grid that holds "True"
    /// rather than -1 means true as well.
    static bool IsTrue(const QString& text)
    {
        return NumberAtStart(text).toDouble() != 0 ||
               text.trimmed().compare(u"true", Qt::CaseInsensitive) == 0;
    }

    const ExportGrid& m_grid;
    QList<bool> m_shownColumns;
    qint64 m_tableTwips = 0;
};

} // namespace

bool SaveGridAsHtml(const QString& fileName, const ExportGrid& grid)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    PageWriter page(file);
    const HtmlPage layout(grid);
    page.line(u"<HTML>\r\n<HEAD>\r\n"
              u"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html;charset=windows-1252\">\r\n"
              u"<META NAME=\"Generator\" CONTENT=\"VSFlexGrid Pro\">\r\n"
              u"<TITLE>VSFlexGrid Pro</TITLE>\r\n</HEAD>\r\n<BODY>\r\n\r\n");
    page.line(QStringLiteral("<FONT FACE=\"") + grid.fontName + QStringLiteral("\" SIZE=1>\r\n") +
              QStringLiteral("<TABLE BORDER CELLSPACING=0 CELLPADDING=2 VALIGN=CENTER BGCOLOR=") +
              HtmlColor(grid.background) + QStringLiteral(" BORDERCOLOR=") + HtmlColor(grid.gridLineColor) +
              QStringLiteral(" WIDTH=") + QString::number(layout.tablePixels()) + QStringLiteral(">\r\n"));
    for (int row = 0; row < grid.rowCount(); ++row) {
        if (!layout.rowShown(row))
            continue;
        page.line(u"<TR>");
        for (int column = 0; column < grid.columnCount(); ++column) {
            if (!layout.columnShown(column))
                continue;
            if (const std::optional<CellSpan> span = layout.span(row, column))
                page.line(layout.cellText(row, column, *span));
        }
        page.line(u"</TR>");
    }
    page.line(u"</TABLE>\r\n\r\n</BODY>\r\n</HTML>\r\n\r\n");
    return page.finish();
}

QString HtmlColor(GridColor color)
{
    // The top byte 0x80 marks a system colour whatever the rest, not a text that begins with "8".
    if ((color >> 24) == 0x80)
        color = SystemColor(int(color & 0xFFFFFF));
    const QString hex = QString::number(color & 0xFFFFFF, 16).toUpper().rightJustified(6, u'0');
    return QStringLiteral("\"#") + hex.sliced(4, 2) + hex.sliced(2, 2) + hex.first(2) + u'"';
}

QString HtmlEscape(const QString& text)
{
    if (text.isEmpty())
        return QStringLiteral("&nbsp;");
    // Nearly every cell has nothing to escape; three searches cost less than three replacements.
    if (!text.contains(u'&') && !text.contains(u'<') && !text.contains(u'>'))
        return text;
    const QString escaped =
        ReplaceAll(ReplaceAll(ReplaceAll(text, QStringLiteral("&"), QStringLiteral("&amp;")),
                              QStringLiteral("<"), QStringLiteral("&lt;")),
                   QStringLiteral(">"), QStringLiteral("&gt;"));
    return escaped.isEmpty() ? QStringLiteral("&nbsp;") : escaped;
}

bool LooksNumeric(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return false;
    bool point = false;
    for (qsizetype i = 0; i < trimmed.size(); ++i) {
        const char16_t c = trimmed[i].unicode();
        if (c == u'-' || c == u'+') {
            if (i != 0)
                return false;
        } else if (c == u'.') {
            if (std::exchange(point, true))
                return false;
        } else if (c != u',' && (c < u'0' || c > u'9')) {
            return false;
        }
    }
    return true;
}

QString ReplaceAll(QString text, const QString& find, const QString& replacement)
{
    // An empty find would insert the replacement between every character.
    if (!find.isEmpty())
        text.replace(find, replacement);
    return text;
}
