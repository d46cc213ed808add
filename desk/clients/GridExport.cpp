#include "GridExport.h"

#include "DecimalText.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTime>

#include <xlsxwriter.h>

#include <algorithm>
#include <array>
#include <limits>
#include <locale.h>
#include <stdexcept>

namespace {

/// The pages are laid out for this screen, whatever the screen they are written on.
constexpr qint64 TwipsPerPixel = 15;

/// A width in twips as pixels of the page: width × 1.3 ÷ twips per pixel, whole part.
qint64 Pixels(qint64 twips)
{
    return twips * 13 / (10 * TwipsPerPixel);
}

/// Windows default theme, indexes 0 to 30, as 0x00BBGGRR.
constexpr std::array<GridColor, 31> SystemColorTable = {
    0xC8C8C8, // 0 scroll bar
    0x000000, // 1 desktop
    0xD1B499, // 2 active caption
    0xDBCDBF, // 3 inactive caption
    0xF0F0F0, // 4 menu
    0xFFFFFF, // 5 window
    0x646464, // 6 window frame
    0x000000, // 7 menu text
    0x000000, // 8 window text
    0x000000, // 9 caption text
    0xB4B4B4, // 10 active border
    0xFCF7F4, // 11 inactive border
    0xABABAB, // 12 application workspace
    0xFF9933, // 13 highlight
    0xFFFFFF, // 14 highlight text
    0xF0F0F0, // 15 button face
    0xA0A0A0, // 16 button shadow
    0x6D6D6D, // 17 grey text
    0x000000, // 18 button text
    0x544E43, // 19 inactive caption text
    0xFFFFFF, // 20 button highlight
    0x696969, // 21 3D dark shadow
    0xE3E3E3, // 22 3D light
    0x000000, // 23 tooltip text
    0xE1FFFF, // 24 tooltip background
    0x000000, // 25 (none)
    0xCC6600, // 26 hot-tracked item
    0xEAD1B9, // 27 active caption gradient
    0xF2E4D7, // 28 inactive caption gradient
    0xFF9933, // 29 menu highlight
    0xF0F0F0, // 30 menu bar
};

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

// Workbook export.

constexpr int MaxSignificantDigits = 15;
/// A digit string this long is a mobile number or a code, not an amount.
constexpr int LongestNumberDigitString = 10;

/// True when the text is a decimal that reads back as the same text from a number cell: its
/// shortest form (optional "-", no "+", no leading or trailing zeros, no exponent, no grouping), at
/// most 15 significant digits, and not a digit string of 11 or more digits.
bool IsNumberText(QStringView text)
{
    const qsizetype start = text.startsWith(u'-') ? 1 : 0;
    qsizetype point = -1;
    QString digits;
    for (qsizetype i = start; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= u'0' && c <= u'9')
            digits += QChar(c);
        else if (c == u'.' && point < 0)
            point = i;
        else
            return false;
    }
    const qsizetype wholeDigits = (point < 0 ? text.size() : point) - start;
    if (wholeDigits < 1 || (text[start] == u'0' && wholeDigits > 1))
        return false;
    if (point >= 0 && (point == text.size() - 1 || text.back() == u'0'))
        return false;
    if (text == u"-0")
        return false;
    if (start == 0 && point < 0 && digits.size() > LongestNumberDigitString)
        return false;
    qsizetype significant = digits.size();
    for (const QChar digit : digits) {
        if (digit != u'0')
            break;
        --significant;
    }
    return significant <= MaxSignificantDigits;
}

/// A date (dd/MM/yyyy or yyyy-MM-dd) with an optional time (H:mm or H:mm:ss after a blank or "T").
std::optional<lxw_datetime> DateOf(const QString& text, bool* withTime)
{
    static const QRegularExpression dayFirst(
        QStringLiteral(R"(^(\d\d)/(\d\d)/(\d{4})(?:[ T](\d{1,2}):(\d\d)(?::(\d\d))?)?$)"));
    static const QRegularExpression yearFirst(
        QStringLiteral(R"(^(\d{4})-(\d\d)-(\d\d)(?:[ T](\d{1,2}):(\d\d)(?::(\d\d))?)?$)"));
    const QString trimmed = text.trimmed();
    QRegularExpressionMatch match = dayFirst.match(trimmed);
    int day = 1;
    int month = 2;
    int year = 3;
    if (!match.hasMatch()) {
        match = yearFirst.match(trimmed);
        std::swap(day, year);
    }
    if (!match.hasMatch())
        return std::nullopt;
    const QDate date(match.captured(year).toInt(), match.captured(month).toInt(),
                     match.captured(day).toInt());
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt());
    // Before 1900 a spreadsheet has no date cells.
    if (!date.isValid() || !time.isValid() || date.year() < 1900)
        return std::nullopt;
    *withTime = match.hasCaptured(4);
    return lxw_datetime{date.year(), date.month(),  date.day(),
                        time.hour(), time.minute(), double(time.second())};
}

/// Switches this thread to C numbers while it lives: libxlsxwriter prints the numbers of a sheet
/// written row by row with printf, which would otherwise take the user's decimal mark.
class CNumbers
{
public:
    CNumbers()
        : m_c(newlocale(LC_NUMERIC_MASK, "C", nullptr))
        , m_previous(m_c ? uselocale(m_c) : nullptr)
    {
    }
    ~CNumbers()
    {
        if (m_c) {
            uselocale(m_previous);
            freelocale(m_c);
        }
    }
    CNumbers(const CNumbers&) = delete;
    CNumbers& operator=(const CNumbers&) = delete;

private:
    locale_t m_c;
    locale_t m_previous;
};

QString WorkbookPath(const QString& fileName)
{
    return fileName.endsWith(QLatin1String(".xls"), Qt::CaseInsensitive) ? fileName + u'x' : fileName;
}

} // namespace

GridColor SystemColor(int index)
{
    return index >= 0 && index < int(SystemColorTable.size()) ? SystemColorTable[index] : 0;
}

ExportGrid ExportGrid::fromRows(QList<QStringList> rows)
{
    ExportGrid grid;
    qsizetype columns = 0;
    for (const QStringList& row : rows)
        columns = std::max(columns, row.size());
    grid.columns.resize(columns);
    grid.rows = std::move(rows);
    return grid;
}

QString ExportGrid::text(int row, int column) const
{
    if (row >= 0 && row < rows.size())
        return rows[row].value(column);
    return moreRows.text(row - int(rows.size()), column);
}

QStringList ExportGrid::rowTexts(int row) const
{
    QStringList texts;
    texts.reserve(columnCount());
    for (int column = 0; column < columnCount(); ++column)
        texts << text(row, column);
    return texts;
}

void GridTexts::append(std::span<const QByteArrayView> cells)
{
    if (m_columns == 0)
        m_columns = qsizetype(cells.size());
    const qsizetype above = m_cells.size() - m_columns;
    for (qsizetype column = 0; column < m_columns; ++column) {
        const QByteArrayView cell =
            column < qsizetype(cells.size()) ? cells[size_t(column)] : QByteArrayView();
        if (above >= 0) {
            const Cell same = m_cells.at(above + column);
            if (QByteArrayView(m_bytes.constData() + same.start, same.size) == cell) {
                m_cells.append(same);
                continue;
            }
        }
        if (m_bytes.size() + cell.size() > std::numeric_limits<quint32>::max())
            throw std::length_error("a grid of more than 4 GB of text");
        m_cells.append({quint32(m_bytes.size()), quint32(cell.size())});
        m_bytes.append(cell);
    }
}

QString GridTexts::text(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= m_columns)
        return {};
    const Cell cell = m_cells.at(row * m_columns + column);
    return QString::fromUtf8(m_bytes.constData() + cell.start, cell.size);
}

const ExportCellFormat* ExportGrid::cellFormat(int row, int column) const
{
    if (cellFormats.isEmpty())
        return nullptr;
    const auto found = cellFormats.constFind({row, column});
    return found == cellFormats.constEnd() ? nullptr : &*found;
}

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

WorkbookExport ExportGridToWorkbookAs(const QString& fileName, const ExportGrid& grid)
{
    WorkbookExport result;
    result.path = WorkbookPath(fileName);
    if (fileName.isEmpty()) {
        result.error = QStringLiteral("no file name for the workbook");
        return result;
    }
    if (grid.rowCount() > LXW_ROW_MAX || grid.columnCount() > LXW_COL_MAX) {
        result.error =
            QStringLiteral("%1: the grid has more rows or columns than a worksheet holds").arg(result.path);
        return result;
    }

    // libxlsxwriter would say so on stderr as well.
    if (!QFileInfo(result.path).absoluteDir().exists()) {
        result.error = QStringLiteral("%1: no such folder").arg(result.path);
        return result;
    }

    const CNumbers numbers;
    // Rows are written in order, so the worksheet need not be held in memory however long the list.
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    const QByteArray encodedPath = QFile::encodeName(result.path);
    lxw_workbook* workbook = workbook_new_opt(encodedPath.constData(), &options);
    if (!workbook) {
        result.error = QStringLiteral("%1: the workbook cannot be made").arg(result.path);
        return result;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_format* dateFormat = workbook_add_format(workbook);
    format_set_num_format(dateFormat, "dd/mm/yyyy");
    lxw_format* dateTimeFormat = workbook_add_format(workbook);
    format_set_num_format(dateTimeFormat, "dd/mm/yyyy hh:mm:ss");

    lxw_error error = LXW_NO_ERROR;
    for (int row = 0; row < grid.rowCount() && error == LXW_NO_ERROR; ++row) {
        const auto sheetRow = lxw_row_t(row);
        for (int column = 0; column < grid.columnCount() && error == LXW_NO_ERROR; ++column) {
            const QString text = grid.text(row, column);
            if (text.isEmpty())
                continue;
            const auto sheetColumn = lxw_col_t(column);
            bool withTime = false;
            std::optional<lxw_datetime> date;
            if (row >= grid.fixedRows && grid.columns[column].dataType == ExportColumn::DateType)
                date = DateOf(text, &withTime);
            if (date)
                error = worksheet_write_datetime(sheet, sheetRow, sheetColumn, &*date,
                                                 withTime ? dateTimeFormat : dateFormat);
            else if (row >= grid.fixedRows && IsNumberText(text))
                error = worksheet_write_number(sheet, sheetRow, sheetColumn, text.toDouble(), nullptr);
            else
                error =
                    worksheet_write_string(sheet, sheetRow, sheetColumn, text.toUtf8().constData(), nullptr);
        }
    }
    const lxw_error closed = workbook_close(workbook);
    if (error == LXW_NO_ERROR)
        error = closed;
    if (error != LXW_NO_ERROR) {
        QFile::remove(result.path);
        result.error = QStringLiteral("%1: %2").arg(result.path, QString::fromUtf8(lxw_strerror(error)));
    }
    return result;
}

WorkbookExport ExportGridToWorkbook(const QString& applicationFolder, const QString& fileName,
                                    const ExportGrid& grid)
{
    if (fileName.isEmpty())
        return ExportGridToWorkbookAs(QString(), grid);
    return ExportGridToWorkbookAs(QDir(applicationFolder).filePath(fileName), grid);
}
