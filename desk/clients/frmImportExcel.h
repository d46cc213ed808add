#pragma once

#include "ClientImport.h"
#include "Workbook.h"

#include <QWidget>

#include <optional>

class Prompter;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class Store;
class TextGrid;

/// The client import screen: picks a workbook and a sheet, the columns of name, mobile number, e-mail
/// and client code, previews the rows split by their mobile numbers and adds the valid ones as clients.
class frmImportExcel : public QWidget
{
    Q_OBJECT

public:
    frmImportExcel(Store& store, Prompter& prompter, QWidget* parent = nullptr);
    ~frmImportExcel() override;

private:
    void chooseFile();
    /// Any change of the path: the workbook it named is no longer the chosen one.
    void pathChanged();
    /// A typed path is opened once the typing is done, and only when it names a file.
    void pathEntered();
    void openWorkbook(const QString& path);
    void chooseSheet();
    void showData();
    void save();
    void clearColumnLists();
    void showResult(const QStringList& lines);
    void fail(const QString& text);

    ClientImport m_import;
    Prompter& m_prompter;
    /// The workbook named in txtFileName, open for its sheet names and sheets.
    std::optional<Workbook> m_workbook;
    /// The path last opened or tried: leaving the box does not try it again.
    QString m_triedPath;
    /// What "Show Data" found; "SAVE" adds its valid rows.
    ImportPreview m_preview;

    QLineEdit* txtFileName;
    QPushButton* cmdOpenExcelFile;
    QComboBox* cmbSheetName;
    QTabWidget* SSTab1;
    QWidget* m_configuration;
    QComboBox* cmbName;
    QComboBox* cmbMobile;
    QComboBox* cmbEmail;
    QComboBox* cmbClientCode;
    TextGrid* msf1;
    TextGrid* msf2;
    QListWidget* lstResult;
    QPushButton* cmdShowData;
    QPushButton* cmdSave;
};
