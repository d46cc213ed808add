#include "frmAdvancedSMS.h"

#include "MessageGrid.h"
#include "MessageQueueTable.h"
#include "NavigationButtons.h"
#include "Prompter.h"
#include "StoreError.h"
#include "TextGrid.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {
const QString kTitle = QStringLiteral("Advanced Messaging");
const QString kProgramTitle = QStringLiteral("Brisant.");

bool isPlainF1(const QKeyEvent* event)
{
    return event->key() == Qt::Key_F1 &&
           !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
}
} // namespace

frmAdvancedSMS::frmAdvancedSMS(DeskSession& session, Prompter& prompter, QWidget* parent)
    : QWidget(parent)
    , m_engine(session)
    , m_prompter(prompter)
{
    setObjectName(QStringLiteral("frmAdvancedSMS"));
    setWindowTitle(kTitle);

    txtmobnos = new QPlainTextEdit(this);
    txtmobnos->setObjectName(QStringLiteral("txtmobnos"));
    txtmobnos->setToolTip(
        QStringLiteral("Pls. Enter Valid Mobile No. and Press Enter After Every Mobile No. you Entered"));
    txtmobnos->setTabChangesFocus(true);
    auto* numbersLabel = new QLabel(QStringLiteral("Paste Your Mobile Nos. Here"), this);
    numbersLabel->setBuddy(txtmobnos);

    vsnos = new TextGrid(this);
    vsnos->setObjectName(QStringLiteral("vsnos"));
    vsnos->setFormat(QStringLiteral("Mobile Numbers      "));

    txtmessage = new QPlainTextEdit(this);
    txtmessage->setObjectName(QStringLiteral("txtmessage"));
    txtmessage->setToolTip(QStringLiteral("Pls. Enter Message Here. Press 'F1' for Browsing Stored Message"));
    txtmessage->setTabChangesFocus(true);
    txtmessage->installEventFilter(this);
    auto* messageLabel = new QLabel(QStringLiteral("Message : "), this);
    messageLabel->setBuddy(txtmessage);

    lblmsglen = new QLabel(QString::number(AdhocMessages::kMessageLimit), this);
    lblmsglen->setObjectName(QStringLiteral("lblmsglen"));
    cmdSendNow = makeNamedButton(this, "cmdSendNow", "&Send Now");

    auto* numbers = new QVBoxLayout;
    numbers->addWidget(numbersLabel);
    numbers->addWidget(txtmobnos);
    auto* top = new QHBoxLayout;
    top->addLayout(numbers, 2);
    top->addWidget(vsnos, 1);
    auto* counterLabel = new QLabel(QStringLiteral("Characters left:"), this);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(counterLabel);
    bottom->addWidget(lblmsglen);
    bottom->addStretch();
    bottom->addWidget(cmdSendNow);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 3);
    layout->addWidget(messageLabel);
    layout->addWidget(txtmessage, 2);
    layout->addLayout(bottom);

    setTabOrder(txtmobnos, txtmessage);
    setTabOrder(txtmessage, cmdSendNow);

    connect(txtmobnos, &QPlainTextEdit::textChanged, this, &frmAdvancedSMS::acceptNumbers);
    connect(txtmessage, &QPlainTextEdit::textChanged, this, &frmAdvancedSMS::countCharacters);
    connect(cmdSendNow, &QPushButton::clicked, this, &frmAdvancedSMS::sendNow);
}

void frmAdvancedSMS::GetData(const QString& code)
{
    txtmessage->setPlainText(code);
}

bool frmAdvancedSMS::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != txtmessage)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride && isPlainF1(static_cast<QKeyEvent*>(event))) {
        // F1 belongs to the message box here, whatever shortcut the main window gives it.
        event->accept();
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);

    const auto* key = static_cast<QKeyEvent*>(event);
    if (isPlainF1(key)) {
        searchMessages();
        return true;
    }
    // A full box takes no more typed characters; backspace and the full stop still pass. Control keys
    // (copy, paste, delete) type nothing of their own: what a paste adds is cut like any change.
    const QString typed = key->text();
    const bool typesCharacter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
                                (!typed.isEmpty() && typed.front().isPrint());
    return typesCharacter && typed != QLatin1String(".") &&
           AdhocMessages::charactersLeft(txtmessage->toPlainText()) <= 0;
}

void frmAdvancedSMS::acceptNumbers()
{
    m_numbers = AdhocMessages::acceptNumbers(txtmobnos->toPlainText());
    QList<QStringList> rows;
    rows.reserve(m_numbers.size());
    for (const QString& number : std::as_const(m_numbers))
        rows.append({number});
    vsnos->setRows(std::move(rows));
}

void frmAdvancedSMS::countCharacters()
{
    const QString message = txtmessage->toPlainText();
    const int left = AdhocMessages::charactersLeft(message);
    lblmsglen->setText(QString::number(left));
    if (left >= 0)
        return;
    // Only the end goes, so the cursor stays where the typing was; the change counts again.
    QTextCursor cut(txtmessage->document());
    cut.setPosition(int(AdhocMessages::fitMessage(message).size()));
    cut.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cut.removeSelectedText();
}

void frmAdvancedSMS::searchMessages()
{
    auto* dialog = new dlgSearch(window());
    dialog->SetCriteria(m_engine.storedMessages(), this);
    dialog->show();
}

void frmAdvancedSMS::sendNow()
{
    const QString message = txtmessage->toPlainText();
    const QString refusal = AdhocMessages::refusal(m_numbers, message);
    if (!refusal.isEmpty()) {
        inform(refusal, kProgramTitle);
        if (message.trimmed().isEmpty())
            txtmessage->setFocus();
        return;
    }
    const QString codePageLoss = DescribeCodePageLoss(AdhocMessages::messageGrid(m_numbers, message));
    if (!codePageLoss.isEmpty())
        m_prompter.message({codePageLoss, kTitle, PromptMessage::Icon::Warning, PromptMessage::Buttons::Ok});
    try {
        m_engine.send(m_numbers, message);
    } catch (const QueueWriteError& error) {
        m_prompter.message({QStringLiteral("%1\n\n%2 message(s) were queued before the failure.")
                                .arg(error.message())
                                .arg(error.queued()),
                            kTitle, PromptMessage::Icon::Critical, PromptMessage::Buttons::Ok});
        return;
    } catch (const StoreError& error) {
        m_prompter.message(
            {error.message(), kTitle, PromptMessage::Icon::Critical, PromptMessage::Buttons::Ok});
        return;
    }
    inform(QStringLiteral("Message Placed in Queue"), kTitle);
}

void frmAdvancedSMS::inform(const QString& text, const QString& title)
{
    m_prompter.message({text, title, PromptMessage::Icon::Information, PromptMessage::Buttons::Ok});
}
