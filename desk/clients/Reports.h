#pragma once

#include "GridExport.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QString>

#include <functional>
#include <optional>

class Store;

/// The three report grids: the client list, the sent list message by message, and the count of sent
/// messages per day.
enum class ReportKind { Clients, Sent, Counter };

/// Builds the report grids from the store, as the report screens show them and the command line
/// prints and exports them.
class Reports
{
public:
    explicit Reports(const Store& store);

    /// The grid of a report; the sent list and the counts take the "Sent" messages from the start of
    /// from to the end of to.
    ExportGrid grid(ReportKind kind, const QDate& from = {}, const QDate& to = {}) const;

    ExportGrid clients() const;
    ExportGrid sent(const QDate& from, const QDate& to) const;
    ExportGrid counter(const QDate& from, const QDate& to) const;

    /// "Delete All records" with the access code typed: only the fixed code deletes. True when it did.
    bool deleteAllClients(const QString& accessCode) const;

    /// The report's name on the command line ("clients", "sent", "counter"); nothing for another.
    static std::optional<ReportKind> kindNamed(const QString& name);
    /// The name the sent list's workbook export proposes for that day.
    static QString sentListFileName(const QDate& day);

    static const QString kPartyMasterWorkbook;
    static const QString kPartyMasterPage;

private:
    const Store& m_store;
};

/// Opens a written page with the system's program for it; the report screens take it in their
/// constructors so that tests do not start a browser.
using OpenPage = std::function<void(const QString& fileName)>;

/// A report grid on screen: the rows of an export grid under its header row, read-only.
class ReportGridModel : public QAbstractTableModel
{
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setGrid(ExportGrid grid);
    const ExportGrid& grid() const { return m_grid; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    ExportGrid m_grid;
};
