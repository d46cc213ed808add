#include "SpreadsheetScreens.h"

#include "ScreenCatalog.h"
#include "frmAdvancedSMS.h"
#include "frmLed.h"
#include "frm_ExcelSMS_Formula.h"
#include "frm_Stock.h"

void addSpreadsheetScreens(ScreenCatalog& catalog, DeskSession& session, Prompter& prompter)
{
    catalog.add(QStringLiteral("frmAdvancedSMS"),
                [&session, &prompter] { return new frmAdvancedSMS(session, prompter); });
    catalog.add(QStringLiteral("frmLed"), [&session, &prompter] { return new frmLed(session, prompter); });
    catalog.add(QStringLiteral("frm_Stock"),
                [&session, &prompter] { return new frm_Stock(session, prompter); });
    catalog.add(QStringLiteral("frm_ExcelSMS_Formula"),
                [&session, &prompter] { return new frm_ExcelSMS_Formula(session, prompter); });
}
