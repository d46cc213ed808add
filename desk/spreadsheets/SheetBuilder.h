#pragma once

#include "Workbook.h"

#include <QList>
#include <QString>
#include <QStringView>

/// Bounds of what one sheet may hold, generous for any real workbook (a ledger of a million rows of
/// ordinary width reads) and tight enough that a hostile file fails early, in little memory.
inline constexpr qint64 kSheetRows = 1 << 20;
inline constexpr qint64 kSheetColumns = 1 << 14;
/// Filled cells, each cell of a repeated row or column counted: 32 full columns of the largest sheet.
inline constexpr qint64 kSheetCells = qint64(1) << 25;
inline constexpr qsizetype kCellText = 1 << 20;
/// The characters of a sheet's distinct texts together (512 MB), and of a workbook's shared strings.
inline constexpr qint64 kSheetText = qint64(1) << 28;

/// Texts kept one after another in one buffer, each found by its number.
class TextPool
{
public:
    /// Throws WorkbookError (TooLarge) with the reason after "where" when the pool would pass
    /// kSheetText characters or the text kCellText.
    qint32 add(QStringView text, const QString& where);
    QStringView at(qint32 id) const
    {
        return QStringView(m_characters).sliced(m_spans[id].offset, m_spans[id].length);
    }
    qsizetype size() const { return m_spans.size(); }
    void reserve(qsizetype count) { m_spans.reserve(count); }

private:
    friend class SheetBuilder;
    QString m_characters;
    QList<Worksheet::Span> m_spans;
};

/// Builds a Worksheet from its filled cells, row by row: a row may stand for a run of identical rows
/// and a cell for a run of identical cells, which cost one row or one text. Throws WorkbookError
/// (TooLarge) naming the bound a sheet passes.
class SheetBuilder
{
public:
    /// path and name name the sheet in reasons: "PATH: the sheet NAME has more than 1048576 rows".
    SheetBuilder(QString path, QString name);

    /// The number of a text for cells; -1 for an empty text, which makes no cell.
    qint32 addText(QStringView text);
    /// Starts a row (counted from 1) standing for itself and the repeat - 1 rows after it.
    void beginRow(qint64 row, qint64 repeat = 1);
    /// A cell of the row begun, and the repeat - 1 cells after it, showing a text from addText.
    void addCell(qint64 column, qint32 text, qint64 repeat = 1);
    Worksheet finish();

private:
    [[noreturn]] void tooLarge(const QString& reason) const;
    void endRow();
    void sortRows();

    QString m_path;
    Worksheet m_sheet;
    qint64 m_filled = 0;
    qint64 m_row = 0;
    qint64 m_repeat = 0;
    qint32 m_rowCells = 0;
    bool m_rowOpen = false;
    bool m_rowInOrder = true;
    bool m_rowsInOrder = true;
};
