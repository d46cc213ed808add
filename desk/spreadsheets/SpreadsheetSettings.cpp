#include "SpreadsheetMessages.h"

#include "DecimalText.h"

#include <QSettings>

#include <limits>

namespace {

QSettings userSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Kelvra"),
                     QStringLiteral("Kelvra"));
}

const QString kAmountColumn = QStringLiteral("FerrowLedger/AmountCol");
const QString kCodeColumn = QStringLiteral("FerrowLedger/CodeCol");
const QString kLedgerTemplate = QStringLiteral("Lotmark/LedgerStr");
const QString kExcelTemplate = QStringLiteral("Lotmark/ExcelSMS");
const QString kExcelCodeColumn = QStringLiteral("Lotmark/ColNo");

// The box's numeric value as the settings keep it: a text that does not begin with a number is 0.
int boxNumber(const QString& boxText)
{
    const double value = NumberAtStart(boxText).toDouble();
    if (value >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(value);
}

} // namespace

int SpreadsheetSettings::ledgerAmountColumn()
{
    return userSettings().value(kAmountColumn, 4).toInt();
}

int SpreadsheetSettings::ledgerCodeColumn()
{
    return userSettings().value(kCodeColumn, 1).toInt();
}

void SpreadsheetSettings::setLedgerAmountColumn(const QString& boxText)
{
    userSettings().setValue(kAmountColumn, boxNumber(boxText));
}

void SpreadsheetSettings::setLedgerCodeColumn(const QString& boxText)
{
    userSettings().setValue(kCodeColumn, boxNumber(boxText));
}

QString SpreadsheetSettings::ledgerTemplate()
{
    return userSettings()
        .value(kLedgerTemplate, QStringLiteral("Balance update as on DATE for CODE  Rs. AMT"))
        .toString();
}

void SpreadsheetSettings::setLedgerTemplate(const QString& text)
{
    userSettings().setValue(kLedgerTemplate, text);
}

QString SpreadsheetSettings::excelTemplate()
{
    return userSettings().value(kExcelTemplate, QStringLiteral("COL1  COL2  TODAY")).toString();
}

QString SpreadsheetSettings::excelCodeColumn()
{
    return userSettings().value(kExcelCodeColumn, QStringLiteral("1")).toString();
}

void SpreadsheetSettings::setExcelTemplate(const QString& text)
{
    userSettings().setValue(kExcelTemplate, text);
}

void SpreadsheetSettings::setExcelCodeColumn(const QString& text)
{
    userSettings().setValue(kExcelCodeColumn, text);
}
