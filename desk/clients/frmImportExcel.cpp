#include "frmImportExcel.h"

#include "Prompter.h"
#include "StoreError.h"
#include "TextGrid.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const QString kCaption = QStringLiteral("Import Data from Excel Sheet");

QComboBox* makeList(QWidget* parent, const char* name)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(QLatin1String(name));
    list->setMinimumContentsLength(20);
    return list;
}

QLabel* makeLabel(const QString& caption, QWidget* buddy)
{
    auto* label = new QLabel(caption, buddy->parentWidget());
    label->setBuddy(buddy);
    return label;
}

// The wait cursor while a workbook is read or the clients stored, however that ends.
class WaitCursor
{
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

frmImportExcel::frmImportExcel(Store& store, Prompter& prompter, QWidget* parent)
    : QWidget(parent)
    , m_import(store)
    , m_prompter(prompter)
{
    setObjectName(QStringLiteral("frmImportExcel"));
    setWindowTitle(kCaption);

    txtFileName = new QLineEdit(this);
    txtFileName->setObjectName(QStringLiteral("txtFileName"));
    txtFileName->setMinimumWidth(txtFileName->fontMetrics().horizontalAdvance(QString(50, u'x')));
    cmdOpenExcelFile = new QPushButton(QStringLiteral("..."), this);
    cmdOpenExcelFile->setObjectName(QStringLiteral("cmdOpenExcelFile"));
    cmbSheetName = makeList(this, "cmbSheetName");

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    m_configuration = new QWidget(SSTab1);
    cmbName = makeList(m_configuration, "cmbName");
    cmbMobile = makeList(m_configuration, "cmbMobile");
    cmbEmail = makeList(m_configuration, "cmbEmail");
    cmbClientCode = makeList(m_configuration, "cmbClientCode");
    auto* choices = new QFormLayout(m_configuration);
    choices->addRow(makeLabel(QStringLiteral("Name Columns :"), cmbName), cmbName);
    choices->addRow(makeLabel(QStringLiteral("Mobile No. Column :"), cmbMobile), cmbMobile);
    choices->addRow(makeLabel(QStringLiteral("Email : "), cmbEmail), cmbEmail);
    choices->addRow(makeLabel(QStringLiteral("Client Code :"), cmbClientCode), cmbClientCode);
    msf1 = new TextGrid(SSTab1);
    msf1->setObjectName(QStringLiteral("msf1"));
    msf1->setFormat(
        QStringLiteral("Sr. No. | Name                      | Mobile No.   | Custom Field | Email           "
                       "          | Birth Date | Aniversary "));
    msf2 = new TextGrid(SSTab1);
    msf2->setObjectName(QStringLiteral("msf2"));
    msf2->setFormat(QStringLiteral("Sr. No. | Name                      | Mobile No.          "));
    lstResult = new QListWidget(SSTab1);
    lstResult->setObjectName(QStringLiteral("lstResult"));
    SSTab1->addTab(m_configuration, QStringLiteral("Configuration"));
    SSTab1->addTab(msf1, QStringLiteral("Valid Mobile Nos."));
    SSTab1->addTab(msf2, QStringLiteral("&Invalid Mobile Nos."));
    SSTab1->addTab(lstResult, QStringLiteral("Result"));

    cmdShowData = new QPushButton(QStringLiteral("Show Data"), this);
    cmdShowData->setObjectName(QStringLiteral("cmdShowData"));
    cmdSave = new QPushButton(QStringLiteral("SAVE"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));

    auto* top = new QGridLayout;
    top->addWidget(makeLabel(QStringLiteral("File Name :"), txtFileName), 0, 0);
    top->addWidget(txtFileName, 0, 1);
    top->addWidget(cmdOpenExcelFile, 0, 2);
    top->addWidget(makeLabel(QStringLiteral("Sheet Name :"), cmbSheetName), 1, 0);
    auto* sheet = new QHBoxLayout;
    sheet->addWidget(cmbSheetName);
    sheet->addStretch();
    top->addLayout(sheet, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdShowData);
    buttons->addWidget(cmdSave);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(SSTab1, 1);
    layout->addLayout(buttons);

    connect(cmdOpenExcelFile, &QPushButton::clicked, this, &frmImportExcel::chooseFile);
    connect(txtFileName, &QLineEdit::textChanged, this, &frmImportExcel::pathChanged);
    connect(txtFileName, &QLineEdit::editingFinished, this, &frmImportExcel::pathEntered);
    connect(cmbSheetName, &QComboBox::currentIndexChanged, this, &frmImportExcel::chooseSheet);
    connect(cmdShowData, &QPushButton::clicked, this, &frmImportExcel::showData);
    connect(cmdSave, &QPushButton::clicked, this, &frmImportExcel::save);
}

frmImportExcel::~frmImportExcel() = default;

void frmImportExcel::fail(const QString& text)
{
    m_prompter.message({text, kCaption, PromptMessage::Icon::Critical, PromptMessage::Buttons::Ok});
}

void frmImportExcel::chooseFile()
{
    const QString path = m_prompter.openFileName(QStringLiteral("Open Excel Files to Import Data"), QString(),
                                                 Workbook::fileFilter());
    if (path.isEmpty())
        return;
    txtFileName->setText(path);
    openWorkbook(path);
}

void frmImportExcel::pathChanged()
{
    m_workbook.reset();
    m_triedPath.clear();
    const QSignalBlocker quiet(cmbSheetName);
    cmbSheetName->clear();
    clearColumnLists();
}

void frmImportExcel::pathEntered()
{
    // Leaving the box after the dialog filled it, or after a refusal, must not read the workbook again.
    const QString path = txtFileName->text();
    if (path != m_triedPath && QFileInfo(path).isFile())
        openWorkbook(path);
}

void frmImportExcel::openWorkbook(const QString& path)
{
    // The dialog may name the workbook the box already holds.
    pathChanged();
    m_triedPath = path;
    QStringList names;
    try {
        const WaitCursor wait;
        m_workbook.emplace(Workbook::open(path));
        names = m_workbook->sheetNames();
    } catch (const WorkbookError& error) {
        m_workbook.reset();
        fail(error.message());
        return;
    }
    {
        const QSignalBlocker quiet(cmbSheetName);
        cmbSheetName->addItems(names);
        cmbSheetName->setCurrentIndex(names.isEmpty() ? -1 : 0);
    }
    chooseSheet();
    SSTab1->setCurrentWidget(m_configuration);
}

void frmImportExcel::clearColumnLists()
{
    for (QComboBox* list : {cmbName, cmbMobile, cmbEmail, cmbClientCode})
        list->clear();
}

void frmImportExcel::chooseSheet()
{
    clearColumnLists();
    if (!m_workbook || cmbSheetName->currentIndex() < 0)
        return;
    QStringList headings;
    try {
        const WaitCursor wait;
        headings = ClientImport::headings(m_workbook->sheet(cmbSheetName->currentIndex()));
    } catch (const WorkbookError& error) {
        fail(error.message());
        return;
    }
    for (QComboBox* list : {cmbName, cmbMobile, cmbEmail, cmbClientCode}) {
        list->addItems(headings);
        // Nothing is chosen until the operator chooses it.
        list->setCurrentIndex(-1);
    }
}

void frmImportExcel::showData()
{
    ImportColumns columns;
    columns.name = cmbName->currentIndex() + 1;
    columns.mobile = cmbMobile->currentIndex() + 1;
    columns.email = cmbEmail->currentIndex() + 1;
    columns.code = cmbClientCode->currentIndex() + 1;
    if (!m_workbook || !columns.isComplete()) {
        m_prompter.message({QStringLiteral("Pls. Goto Configuration Tab and Select Appropriate Field."),
                            QString(), PromptMessage::Icon::None, PromptMessage::Buttons::Ok});
        return;
    }
    // The sheet is read again: the operator may have corrected the workbook since choosing it.
    try {
        const WaitCursor wait;
        m_preview = ClientImport::split(m_workbook->sheet(cmbSheetName->currentIndex()), columns);
    } catch (const WorkbookError& error) {
        m_preview = {};
        msf1->clearRows();
        msf2->clearRows();
        fail(error.message());
        return;
    }
    QList<QStringList> valid;
    valid.reserve(m_preview.valid.size());
    for (const ImportRow& row : std::as_const(m_preview.valid))
        valid.append({QString::number(valid.size() + 1), row.name, row.mobile, row.code, row.email, QString(),
                      QString()});
    msf1->setRows(std::move(valid));
    QList<QStringList> invalid;
    invalid.reserve(m_preview.invalid.size());
    for (const ImportRow& row : std::as_const(m_preview.invalid))
        invalid.append({QString::number(invalid.size() + 1), row.name, row.mobile});
    msf2->setRows(std::move(invalid));
}

void frmImportExcel::showResult(const QStringList& lines)
{
    lstResult->clear();
    lstResult->addItems(lines);
    SSTab1->setCurrentWidget(lstResult);
}

void frmImportExcel::save()
{
    ImportResult result;
    try {
        const WaitCursor wait;
        result = m_import.save(m_preview.valid);
    } catch (const StoreError& error) {
        // The clients are stored in one transaction: a refusal part way stores none of them.
        showResult({QStringLiteral("Clients added: 0"),
                    QStringLiteral("The store refused the clients: %1").arg(error.message())});
        fail(QStringLiteral("%1\n\nNo client was added.").arg(error.message()));
        return;
    }
    QStringList lines{QStringLiteral("Clients added: %1").arg(result.added),
                      QStringLiteral("Rows skipped: %1").arg(result.skipped.size())};
    for (const SkippedImportRow& skipped : std::as_const(result.skipped))
        lines << skipped.text();
    showResult(lines);
    m_prompter.message({QStringLiteral("Process Completed Successfully"), QString(),
                        PromptMessage::Icon::None, PromptMessage::Buttons::Ok});
}
