#include "SheetBuilder.h"

#include <algorithm>

Worksheet::Worksheet(QString name, QList<QStringList> rows)
    : m_name(std::move(name))
{
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const QStringList& cells = rows[r];
        Rows row{qint32(r + 1), qint32(r + 1), qint32(m_cells.size()), qint32(m_cells.size())};
        for (qsizetype c = 0; c < cells.size(); ++c) {
            if (cells[c].isEmpty())
                continue;
            m_cells.append({qint32(c + 1), qint32(m_spans.size())});
            m_spans.append({quint32(m_texts.size()), quint32(cells[c].size())});
            m_texts += cells[c];
            m_columnCount = std::max(m_columnCount, int(c + 1));
        }
        row.cellEnd = qint32(m_cells.size());
        if (row.cellEnd > row.cellBegin) {
            m_rows.append(row);
            m_rowCount = int(r + 1);
        }
    }
}

QString Worksheet::cell(int row, int column) const
{
    if (row < 1 || row > m_rowCount || column < 1 || column > m_columnCount)
        return {};
    const auto rows = std::upper_bound(m_rows.cbegin(), m_rows.cend(), row,
                                       [](int r, const Rows& run) { return r < run.first; });
    if (rows == m_rows.cbegin() || std::prev(rows)->last < row)
        return {};
    const Rows& run = *std::prev(rows);
    const auto begin = m_cells.cbegin() + run.cellBegin;
    const auto end = m_cells.cbegin() + run.cellEnd;
    const auto found =
        std::lower_bound(begin, end, column, [](const Cell& cell, int c) { return cell.column < c; });
    if (found == end || found->column != column)
        return {};
    const Span& span = m_spans[found->text];
    return QString(m_texts.constData() + span.offset, span.length);
}

QStringList Worksheet::row(int row) const
{
    if (row < 1 || row > m_rowCount)
        return {};
    const auto rows = std::upper_bound(m_rows.cbegin(), m_rows.cend(), row,
                                       [](int r, const Rows& run) { return r < run.first; });
    if (rows == m_rows.cbegin() || std::prev(rows)->last < row)
        return {};
    const Rows& run = *std::prev(rows);
    QStringList cells(m_cells[run.cellEnd - 1].column);
    for (qint32 i = run.cellBegin; i < run.cellEnd; ++i) {
        const Span& span = m_spans[m_cells[i].text];
        cells[m_cells[i].column - 1] = QString(m_texts.constData() + span.offset, span.length);
    }
    return cells;
}

QList<QStringList> Worksheet::rows() const
{
    QList<QStringList> rows;
    rows.reserve(m_rowCount);
    for (int r = 1; r <= m_rowCount; ++r)
        rows.append(row(r));
    return rows;
}

Worksheet Worksheet::renamed(QString name) const
{
    Worksheet sheet = *this;
    sheet.m_name = std::move(name);
    return sheet;
}

qint32 TextPool::add(QStringView text, const QString& where)
{
    if (text.size() > kCellText)
        throw WorkbookError(
            QStringLiteral("%1 holds a text of more than %2 characters").arg(where).arg(kCellText),
            WorkbookError::Kind::TooLarge);
    if (m_characters.size() + text.size() > kSheetText)
        throw WorkbookError(
            QStringLiteral("%1 holds more than %2 characters of text").arg(where).arg(kSheetText),
            WorkbookError::Kind::TooLarge);
    m_spans.append({quint32(m_characters.size()), quint32(text.size())});
    m_characters += text;
    return qint32(m_spans.size() - 1);
}

SheetBuilder::SheetBuilder(QString path, QString name)
    : m_path(std::move(path))
{
    m_sheet.m_name = std::move(name);
}

void SheetBuilder::tooLarge(const QString& reason) const
{
    throw WorkbookError(QStringLiteral("%1: the sheet %2 %3").arg(m_path, m_sheet.m_name, reason),
                        WorkbookError::Kind::TooLarge);
}

qint32 SheetBuilder::addText(QStringView text)
{
    if (text.isEmpty())
        return -1;
    const qsizetype size = m_sheet.m_texts.size();
    if (text.size() > kCellText)
        tooLarge(QStringLiteral("holds a text of more than %1 characters").arg(kCellText));
    if (size + text.size() > kSheetText)
        tooLarge(QStringLiteral("holds more than %1 characters of text").arg(kSheetText));
    m_sheet.m_spans.append({quint32(size), quint32(text.size())});
    m_sheet.m_texts += text;
    return qint32(m_sheet.m_spans.size() - 1);
}

void SheetBuilder::beginRow(qint64 row, qint64 repeat)
{
    endRow();
    if (m_row > 0 && row <= m_row + m_repeat - 1)
        m_rowsInOrder = false;
    m_row = row;
    m_repeat = std::max<qint64>(repeat, 1);
    m_rowCells = qint32(m_sheet.m_cells.size());
    m_rowOpen = true;
    m_rowInOrder = true;
}

void SheetBuilder::addCell(qint64 column, qint32 text, qint64 repeat)
{
    if (text < 0 || !m_rowOpen)
        return;
    repeat = std::max<qint64>(repeat, 1);
    // Rows and columns past the largest sheet a spreadsheet program makes hold nothing real.
    if (m_row < 1 || m_row + m_repeat - 1 > kSheetRows)
        tooLarge(QStringLiteral("has more than %1 rows").arg(kSheetRows));
    if (column < 1 || column + repeat - 1 > kSheetColumns)
        tooLarge(QStringLiteral("has more than %1 columns").arg(kSheetColumns));
    m_filled += repeat * m_repeat;
    if (m_filled > kSheetCells)
        tooLarge(QStringLiteral("has more than %1 filled cells").arg(kSheetCells));
    QList<Worksheet::Cell>& cells = m_sheet.m_cells;
    if (cells.size() > m_rowCells && cells.last().column >= column)
        m_rowInOrder = false;
    for (qint64 i = 0; i < repeat; ++i)
        cells.append({qint32(column + i), text});
}

void SheetBuilder::endRow()
{
    if (!m_rowOpen)
        return;
    m_rowOpen = false;
    QList<Worksheet::Cell>& cells = m_sheet.m_cells;
    if (cells.size() == m_rowCells)
        return;
    if (!m_rowInOrder) {
        // The last of two cells at one place wins, as a later value overwrites an earlier one.
        std::stable_sort(
            cells.begin() + m_rowCells, cells.end(),
            [](const Worksheet::Cell& a, const Worksheet::Cell& b) { return a.column < b.column; });
        auto out = cells.begin() + m_rowCells;
        for (auto in = out; in != cells.end(); ++in) {
            if (in + 1 != cells.end() && (in + 1)->column == in->column)
                continue;
            *out++ = *in;
        }
        cells.erase(out, cells.end());
    }
    m_sheet.m_rows.append({qint32(m_row), qint32(m_row + m_repeat - 1), m_rowCells, qint32(cells.size())});
}

void SheetBuilder::sortRows()
{
    // Rows out of order or given twice: every cell placed by row and column, the last given winning.
    struct Placed
    {
        qint32 row;
        Worksheet::Cell cell;
    };
    QList<Placed> placed;
    for (const Worksheet::Rows& run : std::as_const(m_sheet.m_rows)) {
        for (qint32 row = run.first; row <= run.last; ++row) {
            for (qint32 i = run.cellBegin; i < run.cellEnd; ++i)
                placed.append({row, m_sheet.m_cells[i]});
        }
    }
    std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
        return a.row != b.row ? a.row < b.row : a.cell.column < b.cell.column;
    });
    m_sheet.m_cells.clear();
    m_sheet.m_rows.clear();
    for (qsizetype i = 0; i < placed.size(); ++i) {
        if (i + 1 < placed.size() && placed[i + 1].row == placed[i].row &&
            placed[i + 1].cell.column == placed[i].cell.column)
            continue;
        if (m_sheet.m_rows.isEmpty() || m_sheet.m_rows.last().first != placed[i].row)
            m_sheet.m_rows.append({placed[i].row, placed[i].row, qint32(m_sheet.m_cells.size()),
                                   qint32(m_sheet.m_cells.size())});
        m_sheet.m_cells.append(placed[i].cell);
        m_sheet.m_rows.last().cellEnd = qint32(m_sheet.m_cells.size());
    }
}

Worksheet SheetBuilder::finish()
{
    endRow();
    if (!m_rowsInOrder)
        sortRows();
    Worksheet& sheet = m_sheet;
    sheet.m_rowCount = sheet.m_rows.isEmpty() ? 0 : sheet.m_rows.last().last;
    sheet.m_columnCount = 0;
    for (const Worksheet::Rows& run : std::as_const(sheet.m_rows))
        sheet.m_columnCount = std::max(sheet.m_columnCount, int(sheet.m_cells[run.cellEnd - 1].column));
    sheet.m_cells.squeeze();
    sheet.m_rows.squeeze();
    sheet.m_spans.squeeze();
    sheet.m_texts.squeeze();
    return std::move(sheet);
}
