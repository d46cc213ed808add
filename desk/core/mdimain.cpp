#include "mdimain.h"

#include "DeskSession.h"
#include "Frm_BankDetails.h"
#include "Prompter.h"
#include "Store.h"
#include "StoreBackup.h"
#include "WindowGeometry.h"

#include <QCloseEvent>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>

mdimain::mdimain(DeskSession& session, Prompter& prompter, ScreenCatalog screens, QWidget* parent)
    : QMainWindow(parent)
    , m_session(session)
    , m_prompter(prompter)
    , m_screens(std::move(screens))
    , m_area(new QMdiArea(this))
    , StatusBar1(new QStatusBar(this))
{
    setObjectName(QStringLiteral("mdimain"));
    setWindowTitle(QStringLiteral("Kelvra - Brisant"));
    m_area->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(m_area);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(StatusBar1);
    WindowGeometry::rememberMaximised(this, objectName(), QSize(1024, 700));

    const auto fixed = [](const char* screenName) {
        return [name = QString::fromLatin1(screenName)] {
            return name;
        };
    };

    QMenu* sms = addMenuNamed("m_utilsms", QStringLiteral("&SMS"));
    // The trade-file screens first, as their kinds describe their entries.
    const auto tradeEntries = m_screens.menuEntries(sms->objectName());
    for (const ScreenCatalog::MenuEntry& entry : tradeEntries)
        addEntry(sms, entry.name, entry.caption, entry.screenName);
    addEntry(sms, "mnu_Ledger", QStringLiteral("Ledger"), fixed("frmLed"));
    addEntry(sms, "Mnu_Stiock", QStringLiteral("Stock"), fixed("frm_Stock"));
    addSeparator(sms, "mnu_advdash");
    addEntry(sms, "mnu_ADV_SMS", QStringLiteral("Advance SMS"), fixed("frmAdvancedSMS"));
    addEntry(sms, "mnu_Excel", QStringLiteral("Excel SMS (Formula)"), fixed("frm_ExcelSMS_Formula"));

    QMenu* masters = addMenuNamed("m_masters", QStringLiteral("&Masters"));
    m_mast_user = addEntry(masters, "m_mast_user", QStringLiteral("User Master"), fixed("frmUserMaster"));
    addEntry(masters, "m_mast_party", QStringLiteral("&Client Master"), fixed("frmPartymaster"));

    QMenu* utility = addMenuNamed("m_utility", QStringLiteral("&Utility"));
    addEntry(utility, "m_util_MessageQueue", QStringLiteral("&Message Queue"), fixed("frmMessageQueue"));
    addEntry(utility, "m_util_IES", QStringLiteral("&Import Excel Sheet"), fixed("frmImportExcel"));
    addEntry(utility, "m_util_config", QStringLiteral("&Configuration"), fixed("frmProxyConfig"));

    QMenu* reports = addMenuNamed("m_reports", QStringLiteral("&Reports"));
    addEntry(reports, "m_rpt_party", QStringLiteral("&Party Master"), fixed("rptPartyMaster"));
    addSeparator(reports, "m_sep");
    // The mode is set before the report opens or comes forward, so that its next refresh follows it.
    addEntry(reports, "m_sentList", QStringLiteral("&Sent List"), fixed("rptSentList"),
             [this] { m_session.setSentReportMode(0); });
    addEntry(reports, "mnu_rpt_SentCounter", QStringLiteral("&Sent Counter"), fixed("rptSentList"),
             [this] { m_session.setSentReportMode(1); });

    QMenu* windows = addMenuNamed("mnu_aboutus", QStringLiteral("&Windows"));
    QAction* bkp = windows->addAction(QStringLiteral("Backup"));
    bkp->setObjectName(QStringLiteral("mnu_bkp"));
    connect(bkp, &QAction::triggered, this, &mdimain::backup);
    addSeparator(windows, "mnu1");
    QAction* bankDetails = windows->addAction(QStringLiteral("Bank Details"));
    bankDetails->setObjectName(QStringLiteral("mnu_Bankdetails"));
    connect(bankDetails, &QAction::triggered, this, &mdimain::showBankDetails);

    refreshEntries();
}

QMenu* mdimain::addMenuNamed(const char* name, const QString& caption)
{
    QMenu* menu = menuBar()->addMenu(caption);
    menu->setObjectName(QLatin1String(name));
    // The trade-file type may have changed since the menu was last shown.
    connect(menu, &QMenu::aboutToShow, this, &mdimain::refreshEntries);
    return menu;
}

QAction* mdimain::addEntry(QMenu* menu, const QString& name, const QString& caption,
                           std::function<QString()> screenName, std::function<void()> beforeOpening)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    m_entries.append({action, screenName});
    connect(action, &QAction::triggered, this, [this, screenName, beforeOpening] {
        if (beforeOpening)
            beforeOpening();
        openScreen(screenName());
    });
    return action;
}

void mdimain::addSeparator(QMenu* menu, const char* name)
{
    menu->addSeparator()->setObjectName(QLatin1String(name));
}

void mdimain::refreshEntries()
{
    for (const Entry& entry : std::as_const(m_entries)) {
        bool enabled = m_screens.contains(entry.screenName());
        if (entry.action == m_mast_user)
            enabled = enabled && m_userMasterAvailable;
        entry.action->setEnabled(enabled);
    }
}

void mdimain::setUserMasterAvailable(bool available)
{
    m_userMasterAvailable = available;
    refreshEntries();
}

QWidget* mdimain::screen(const QString& screenName) const
{
    QMdiSubWindow* window = m_open.value(screenName);
    return window && m_area->subWindowList().contains(window) ? window->widget() : nullptr;
}

QWidget* mdimain::openScreen(const QString& screenName)
{
    QMdiSubWindow* open = m_open.value(screenName);
    // A closed frame leaves the area at once but is deleted only later.
    if (open && m_area->subWindowList().contains(open)) {
        open->showNormal();
        m_area->setActiveSubWindow(open);
        return open->widget();
    }
    QWidget* widget = m_screens.create(screenName);
    if (!widget)
        return nullptr;
    QMdiSubWindow* window = m_area->addSubWindow(widget);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(widget->windowTitle());
    m_open.insert(screenName, window);
    // The message queue is read at length: it fills the main window and grows with it.
    if (screenName == QLatin1String("frmMessageQueue"))
        WindowGeometry::rememberMaximised(window, screenName, widget->sizeHint());
    else
        WindowGeometry::remember(window, screenName);
    widget->show();
    window->show();
    m_area->setActiveSubWindow(window);
    return widget;
}

void mdimain::backup()
{
    StoreBackup backup(m_session.StoreConnection());
    const QString chosen =
        m_prompter.saveFileName(QStringLiteral("Backup"), QDir::homePath(), backup.filter());
    if (chosen.isEmpty())
        return;
    try {
        backup.backup(chosen);
    } catch (const StoreError& error) {
        StatusBar1->showMessage(error.message());
        m_prompter.message({QStringLiteral("Backup Process Fail"), QString(), PromptMessage::Icon::None,
                            PromptMessage::Buttons::Ok});
        return;
    }
    m_prompter.message({QStringLiteral("Backup Process Completed"), QString(), PromptMessage::Icon::None,
                        PromptMessage::Buttons::Ok});
}

void mdimain::showBankDetails()
{
    if (!m_bankDetails)
        m_bankDetails = new Frm_BankDetails(this);
    m_bankDetails->show();
    m_bankDetails->raise();
}

void mdimain::closeEvent(QCloseEvent* event)
{
    // A screen that refuses to close (a read still running on the store) keeps the program open: the
    // store stays open under it.
    const auto windows = m_area->subWindowList();
    for (QMdiSubWindow* window : windows) {
        if (!window->close()) {
            event->ignore();
            StatusBar1->showMessage(QStringLiteral("%1 is still at work; close it when it has finished.")
                                        .arg(window->windowTitle()));
            return;
        }
    }
    m_session.StoreConnection().close();
    event->accept();
}
