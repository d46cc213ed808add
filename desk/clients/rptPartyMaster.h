#pragma once

#include "Reports.h"

#include <QTableView>
#include <QWidget>

class Prompter;
class QPushButton;
class Store;

/// A report grid on screen: the rows of an export grid at the widths it gives, read-only.
class ReportGridView : public QTableView
{
public:
    explicit ReportGridView(QWidget* parent = nullptr);

    void setGrid(ExportGrid grid);
    /// The grid as shown, for the exports: with the width of the control.
    ExportGrid grid() const;

    /// Room for every column at its width and a dozen rows.
    QSize sizeHint() const override;

private:
    ReportGridModel m_model;
};

/// The client list: every client of the client master, its exports, and the deletion of them all.
class rptPartyMaster : public QWidget
{
    Q_OBJECT

public:
    rptPartyMaster(Store& store, const QString& applicationFolder, Prompter& prompter, OpenPage openPage,
                   QWidget* parent = nullptr);

    /// Reads the client list anew.
    void reload();

private:
    void deleteAll();
    void exportHtml();
    void exportWorkbook();

    Store& m_store;
    QString m_applicationFolder;
    Prompter& m_prompter;
    OpenPage m_openPage;

    ReportGridView* vsParty;
    QPushButton* cmdDelete;
    QPushButton* cmdHTMLExport;
    QPushButton* cmdExcelExport;
    QPushButton* cmdrefresh;
};

/// Writes the grid to the application folder's "PartyMaster.html" and opens it, or says why it could
/// not; both report screens export their pages so.
void ExportReportPage(const ExportGrid& grid, const QString& applicationFolder, Prompter& prompter,
                      const OpenPage& openPage, const QString& title);
