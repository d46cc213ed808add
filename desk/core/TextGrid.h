#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QTableView>

#include <functional>

/// The rows of a read-only grid, held as plain texts so that a day's million trades stay cheap.
class TextGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    /// A cell's text by row and column, for rows kept elsewhere.
    using Source = std::function<QString(int row, int column)>;

    void setHeaders(const QStringList& headers);
    void setRows(QList<QStringList> rows);
    /// Shows rowCount rows of columnCount columns read from source as they are shown, none kept here:
    /// a sheet of a million rows costs the grid nothing.
    void setSource(int rowCount, int columnCount, Source source);
    /// The source's texts changed (its rows stay).
    void sourceChanged();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    QString text(int row, int column) const;
    QString headerText(int column) const { return m_headers.value(column); }

private:
    QStringList m_headers;
    QList<QStringList> m_rows;
    Source m_source;
    int m_sourceRows = 0;
    int m_columns = 0;
};

/// A read-only grid with one fixed first column, its header and column widths taken from a format
/// text whose bars separate the columns and whose blanks set the widths. Each column widens to its
/// texts, gives up the format's extra width when the grid is short of room, and the last one takes
/// up the room left over.
class TextGrid : public QTableView
{
    Q_OBJECT

public:
    explicit TextGrid(QWidget* parent = nullptr);

    void setFormat(const QString& format);
    /// The grid asks for room for a text of that many characters in the column.
    void reserveCharacters(int column, int characters);
    /// Replaces the rows under the header. Columns beyond those the header names get no caption.
    void setRows(QList<QStringList> rows);
    void clearRows() { setRows({}); }
    /// As TextGridModel::setSource.
    void setSource(int rowCount, int columnCount, TextGridModel::Source source);
    void sourceChanged();

    int rowCount() const { return m_model.rowCount(); }
    int columnCount() const { return m_model.columnCount(); }
    QString text(int row, int column) const { return m_model.text(row, column); }
    QString headerText(int column) const { return m_model.headerText(column); }

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitColumns();
    void layOutColumns();

    TextGridModel m_model;
    QList<int> m_widths;
    QList<int> m_reserved;
    /// What each column's texts and caption need.
    QList<int> m_fitted;
};
