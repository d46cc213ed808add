#include "rptSentList.h"

#include "DeskSession.h"
#include "NavigationButtons.h"
#include "Prompter.h"
#include "rptPartyMaster.h"

#include <QDateEdit>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("Sent List");

QDateEdit* makeDatePicker(QWidget* parent, const char* name)
{
    auto* picker = new QDateEdit(QDate::currentDate(), parent);
    picker->setObjectName(QLatin1String(name));
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    return picker;
}

} // namespace

rptSentList::rptSentList(DeskSession& session, const QString& applicationFolder, Prompter& prompter,
                         OpenPage openPage, QWidget* parent)
    : QWidget(parent)
    , m_session(session)
    , m_applicationFolder(applicationFolder)
    , m_prompter(prompter)
    , m_openPage(std::move(openPage))
{
    setObjectName(QStringLiteral("rptSentList"));
    setWindowTitle(kTitle);

    DTPicker1 = makeDatePicker(this, "DTPicker1");
    DTPicker2 = makeDatePicker(this, "DTPicker2");
    vsSentList = new ReportGridView(this);
    vsSentList->setObjectName(QStringLiteral("vsSentList"));
    cmdHTMLExport = makeNamedButton(this, "cmdHTMLExport", "Export to &HTML");
    cmdExcelExport = makeNamedButton(this, "cmdExcelExport", "Export to &Excel");
    cmdrefresh = makeNamedButton(this, "cmdrefresh", "&Refresh");

    auto* top = new QHBoxLayout;
    auto* fromLabel = new QLabel(QStringLiteral("From"), this);
    fromLabel->setBuddy(DTPicker1);
    auto* toLabel = new QLabel(QStringLiteral("To"), this);
    toLabel->setBuddy(DTPicker2);
    top->addWidget(fromLabel);
    top->addWidget(DTPicker1);
    top->addWidget(toLabel);
    top->addWidget(DTPicker2);
    top->addStretch();
    top->addWidget(cmdHTMLExport);
    top->addWidget(cmdExcelExport);
    top->addWidget(cmdrefresh);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(vsSentList, 1);

    connect(cmdHTMLExport, &QPushButton::clicked, this, &rptSentList::exportHtml);
    connect(cmdExcelExport, &QPushButton::clicked, this, &rptSentList::exportWorkbook);
    connect(cmdrefresh, &QPushButton::clicked, this, &rptSentList::reload);

    reload();
}

void rptSentList::reload()
{
    const Reports reports(m_session.StoreConnection());
    const int mode = m_session.SentReportMode();
    if (mode == 0)
        vsSentList->setGrid(reports.sent(DTPicker1->date(), DTPicker2->date()));
    else if (mode == 1)
        vsSentList->setGrid(reports.counter(DTPicker1->date(), DTPicker2->date()));
}

void rptSentList::exportHtml()
{
    ExportReportPage(vsSentList->grid(), m_applicationFolder, m_prompter, m_openPage, kTitle);
}

void rptSentList::exportWorkbook()
{
    const QString proposed =
        QDir(m_applicationFolder).filePath(Reports::sentListFileName(QDate::currentDate()));
    const QString chosen = m_prompter.saveFileName(kTitle, proposed, QStringLiteral("*.xlsx"));
    if (chosen.isEmpty())
        return;
    const QString title = QStringLiteral("Excel Sheet Export");
    const WorkbookExport written = ExportGridToWorkbookAs(chosen, vsSentList->grid());
    if (written.ok()) {
        m_prompter.message({QStringLiteral("Exported to %1").arg(QDir::toNativeSeparators(written.path)),
                            title, PromptMessage::Icon::Information, PromptMessage::Buttons::Ok});
    } else {
        m_prompter.message({written.error, title, PromptMessage::Icon::Critical, PromptMessage::Buttons::Ok});
    }
}
