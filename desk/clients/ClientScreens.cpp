#include "ClientScreens.h"

#include "DeskSession.h"
#include "ScreenCatalog.h"
#include "StoreLocation.h"
#include "frmImportExcel.h"
#include "frmMessageQueue.h"
#include "frmPartymaster.h"
#include "rptPartyMaster.h"
#include "rptSentList.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

// Where the reports write their exports: the folder the program was started on.
QString applicationFolder(const DeskSession& session)
{
    return session.ApplicationFolder().isEmpty() ? StoreLocation::resolveDataDir(QString())
                                                 : session.ApplicationFolder();
}

} // namespace

void addClientScreens(ScreenCatalog& catalog, DeskSession& session, Prompter& prompter)
{
    catalog.add(QStringLiteral("frmPartymaster"),
                [&session, &prompter] { return new frmPartymaster(session.StoreConnection(), prompter); });
    catalog.add(QStringLiteral("frmImportExcel"),
                [&session, &prompter] { return new frmImportExcel(session.StoreConnection(), prompter); });
    catalog.add(QStringLiteral("frmMessageQueue"), [&session, &prompter] {
        return new frmMessageQueue(session.StoreConnection(), session.CurrentUserName(), prompter);
    });
    // The report pages open in the system's browser.
    const OpenPage openPage = [](const QString& fileName) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(fileName));
    };
    catalog.add(QStringLiteral("rptPartyMaster"), [&session, &prompter, openPage] {
        return new rptPartyMaster(session.StoreConnection(), applicationFolder(session), prompter, openPage);
    });
    catalog.add(QStringLiteral("rptSentList"), [&session, &prompter, openPage] {
        return new rptSentList(session, applicationFolder(session), prompter, openPage);
    });
}
