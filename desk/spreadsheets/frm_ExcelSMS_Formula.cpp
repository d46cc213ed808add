#include "frm_ExcelSMS_Formula.h"

#include "TextGrid.h"

#include <QComboBox>
#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

frm_ExcelSMS_Formula::frm_ExcelSMS_Formula(DeskSession& session, Prompter& prompter, QWidget* parent)
    : SpreadsheetScreen(QStringLiteral("frm_ExcelSMS_Formula"),
                        QStringLiteral("Excel SMS( With Client Code)"), prompter, parent)
    , m_engine(session)
{
    cmbSheetName = new QComboBox(this);
    cmbSheetName->setObjectName(QStringLiteral("cmbSheetName"));
    cmbSheetName->setEditable(true);
    // A name typed and entered is looked up, not added to the workbook's list.
    cmbSheetName->setInsertPolicy(QComboBox::NoInsert);
    cmbSheetName->setMinimumContentsLength(20);
    cmdShowData = new QPushButton(QStringLiteral("Show Data"), this);
    cmdShowData->setObjectName(QStringLiteral("cmdShowData"));
    txtPrifix = new QLineEdit(this);
    txtPrifix->setObjectName(QStringLiteral("txtPrifix"));
    TXTMobileCol = new QLineEdit(this);
    TXTMobileCol->setObjectName(QStringLiteral("TXTMobileCol"));
    TXTMobileCol->setMaximumWidth(TXTMobileCol->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 16);

    const auto label = [this](const QString& caption, QWidget* box) {
        auto* shown = new QLabel(caption, this);
        shown->setBuddy(box);
        return shown;
    };
    auto* top = new QGridLayout;
    top->addWidget(label(QStringLiteral("Select Excel Sheet :"), txtflname), 0, 0);
    top->addWidget(txtflname, 0, 1);
    top->addWidget(cmdBrowse, 0, 2);
    top->addWidget(label(QStringLiteral("Sheet Name :"), cmbSheetName), 1, 0);
    auto* sheet = new QHBoxLayout;
    sheet->addWidget(cmbSheetName);
    sheet->addWidget(cmdShowData);
    sheet->addStretch();
    top->addLayout(sheet, 1, 1);
    top->addWidget(label(QStringLiteral("Prefix :"), txtPrifix), 2, 0);
    top->addWidget(txtPrifix, 2, 1);
    top->addWidget(label(QStringLiteral("Code Col"), TXTMobileCol), 3, 0);
    top->addWidget(TXTMobileCol, 3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdStartParsing);
    buttons->addWidget(Command1);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->addWidget(SSTab1, 1);

    setMessageFormat(QStringLiteral("*   | Mobile No.      | Message") + QString(90, u' ') +
                     QStringLiteral("| E-Mail          "));

    txtPrifix->setText(SpreadsheetSettings::excelTemplate());
    TXTMobileCol->setText(SpreadsheetSettings::excelCodeColumn());

    connect(cmbSheetName, &QComboBox::textActivated, this, &frm_ExcelSMS_Formula::showSheet);
    connect(cmdShowData, &QPushButton::clicked, this, &frm_ExcelSMS_Formula::showSheet);
}

frm_ExcelSMS_Formula::~frm_ExcelSMS_Formula() = default;

void frm_ExcelSMS_Formula::browse()
{
    // A cancelled dialog leaves the workbook chosen before.
    const QString path = chooseFile(Workbook::fileFilter());
    if (path.isEmpty())
        return;
    txtflname->setText(path);
    cmbSheetName->clear();
    m_workbook.reset();
    // Opened on the loading thread; the screen takes it, and its sheet names, once it has come.
    auto opened = std::make_shared<std::shared_ptr<Workbook>>();
    loadSheet(
        [path, opened] {
            *opened = std::make_shared<Workbook>(Workbook::open(path));
            return (*opened)->sheet(0);
        },
        [this, opened](bool loaded) {
            if (*opened) {
                m_workbook = *opened;
                const QSignalBlocker quiet(cmbSheetName);
                cmbSheetName->addItems(m_workbook->sheetNames());
            }
            // After a sheet that cannot be read, another sheet of the list may still be chosen.
            if (loaded)
                SSTab1->setCurrentWidget(vsexcel);
        });
}

void frm_ExcelSMS_Formula::showSheet()
{
    if (!m_workbook || isBusy())
        return;
    loadSheet([workbook = m_workbook, name = cmbSheetName->currentText()] { return workbook->sheet(name); });
}

void frm_ExcelSMS_Formula::aboutToRead()
{
    SpreadsheetSettings::setExcelTemplate(txtPrifix->text());
    SpreadsheetSettings::setExcelCodeColumn(TXTMobileCol->text());
}

SpreadsheetReading frm_ExcelSMS_Formula::readSheet(const Worksheet& sheet,
                                                   const SpreadsheetProgress& progress)
{
    return m_engine.read(sheet, TXTMobileCol->text(), txtPrifix->text(), QDate::currentDate(), progress);
}

void frm_ExcelSMS_Formula::afterReading(const SpreadsheetReading& reading)
{
    markNotFound(reading.notFoundRows);
}

int frm_ExcelSMS_Formula::sendMessages(const QList<QueueGridRow>& messages)
{
    return m_engine.send(messages);
}
