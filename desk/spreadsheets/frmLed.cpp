#include "frmLed.h"

#include "TextGrid.h"

#include <QComboBox>
#include <QDate>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

QLineEdit* makeBox(QWidget* parent, const char* name, int characters)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    // Wide enough for a column number or an amount, not the width of a whole row.
    box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QString(characters, u'0')) + 16);
    return box;
}

QComboBox* makeChoice(QWidget* parent, const char* name, const QStringList& values, const QString& initial)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->addItems(values);
    box->setCurrentText(initial);
    return box;
}

void addLabelled(QHBoxLayout* layout, QWidget* parent, const QString& caption, QWidget* box)
{
    auto* label = new QLabel(caption, parent);
    label->setBuddy(box);
    layout->addWidget(label);
    layout->addWidget(box);
}

} // namespace

frmLed::frmLed(DeskSession& session, Prompter& prompter, QWidget* parent)
    : SpreadsheetScreen(QStringLiteral("frmLed"), QStringLiteral("Ledger Data"), prompter, parent)
    , m_engine(session)
{
    // The ledger and the stock statement share their caption: the title tells which one this is.
    setWindowTitle(QStringLiteral("Ledger Data - Ledger"));
    txtCodeCol = makeBox(this, "txtCodeCol", 4);
    txtAmtCol = makeBox(this, "txtAmtCol", 4);
    cmb_Sel = makeChoice(this, "cmb_Sel", {QStringLiteral("SELECT"), QStringLiteral("DESELECT")},
                         QStringLiteral("DESELECT"));
    Cmb_Zero =
        makeChoice(this, "Cmb_Zero", {QStringLiteral("NO"), QStringLiteral("YES")}, QStringLiteral("NO"));
    Text1 = makeBox(this, "Text1", 12);
    Text2 = makeBox(this, "Text2", 12);
    txtPrifix1 = new QLineEdit(this);
    txtPrifix1->setObjectName(QStringLiteral("txtPrifix1"));

    auto* options = new QHBoxLayout;
    addLabelled(options, this, QStringLiteral("Code ColNo"), txtCodeCol);
    addLabelled(options, this, QStringLiteral("Amount ColNo"), txtAmtCol);
    addLabelled(options, this, QStringLiteral("Led Sel"), cmb_Sel);
    addLabelled(options, this, QStringLiteral("Incl. 0 Rs."), Cmb_Zero);
    addLabelled(options, this, QStringLiteral("From Amt : "), Text1);
    addLabelled(options, this, QStringLiteral("To Amt : "), Text2);
    options->addStretch();
    layOutAsLedger(options, txtPrifix1);

    VS->setFormat(
        QStringLiteral("Sr. No.   | Code        | Name                    | Phone          | Amount       "));
    setMessageFormat(QStringLiteral("*   | Mobile No.      | Message") + QString(90, u' '));

    txtCodeCol->setText(QString::number(SpreadsheetSettings::ledgerCodeColumn()));
    txtAmtCol->setText(QString::number(SpreadsheetSettings::ledgerAmountColumn()));
    txtPrifix1->setText(SpreadsheetSettings::ledgerTemplate());
    // Each box is remembered as soon as it changes; the template also when it loses the focus.
    connect(txtCodeCol, &QLineEdit::textChanged, this, &SpreadsheetSettings::setLedgerCodeColumn);
    connect(txtAmtCol, &QLineEdit::textChanged, this, &SpreadsheetSettings::setLedgerAmountColumn);
    connect(txtPrifix1, &QLineEdit::textChanged, this, &SpreadsheetSettings::setLedgerTemplate);
    connect(txtPrifix1, &QLineEdit::editingFinished, this,
            [this] { SpreadsheetSettings::setLedgerTemplate(txtPrifix1->text()); });
}

SpreadsheetReading frmLed::readSheet(const Worksheet& sheet, const SpreadsheetProgress& progress)
{
    LedgerChoices choices;
    choices.amountColumn = txtAmtCol->text();
    choices.codeColumn = txtCodeCol->text();
    choices.selection = cmb_Sel->currentText();
    choices.includeZero = Cmb_Zero->currentText();
    choices.fromAmount = Text1->text();
    choices.toAmount = Text2->text();
    choices.templateText = txtPrifix1->text();
    return m_engine.read(sheet, choices, QDate::currentDate(), progress);
}

int frmLed::sendMessages(const QList<QueueGridRow>& messages)
{
    return m_engine.send(messages);
}
