#include "TradeScreen.h"

#include "TextGrid.h"

#include "DeskSession.h"
#include "MessageQueueTable.h"
#include "Prompter.h"
#include "QueueGridRow.h"
#include "Store.h"
#include "TradeReadMessages.h"
#include "dlgMCXConfig.h"
#include "dlgbseconfig.h"
#include "dlgfutconfig.h"
#include "dlgncdexconfig.h"
#include "dlgnseconfig.h"
#include "dlgorinbse.h"
#include "dlgorinnse.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kMsfMessageFormat =
    QStringLiteral("*   | Mobile No.      | Message") + QString(90, QLatin1Char(' '));
// Generate Message starts a new text before one would pass this length; the screen opens wide
// enough to show such a text whole.
constexpr int kLongestText = 158;

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

TextGrid* makeGrid(QWidget* parent, const char* name, const QString& format)
{
    auto* grid = new TextGrid(parent);
    grid->setObjectName(QLatin1String(name));
    grid->setFormat(format);
    return grid;
}

// Ctrl+C in the grid puts the text of its current cell on the clipboard, as plain text.
void copyCurrentCell(TextGrid* grid)
{
    auto* copy = new QAction(grid);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(copy, &QAction::triggered, grid, [grid] {
        const QModelIndex current = grid->currentIndex();
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(current.isValid() ? grid->text(current.row(), current.column()) : QString());
    });
    grid->addAction(copy);
}

} // namespace

TradeScreen::TradeScreen(const TradeFileKind& kind, DeskSession& session, Prompter& prompter, QWidget* parent)
    : QWidget(parent)
    , m_session(session)
    , m_prompter(prompter)
    , m_kind(kind)
    , m_engine(TradeConfirmations::create(session, kind))
{
    setObjectName(kind.screen);
    setWindowTitle(kind.caption);
    if (!m_engine)
        qFatal("no engine reads %s files", qPrintable(kind.command));

    List1 = new TradeFileListBox(m_prompter, this,
                                 kind.fileListClick == TradeFileKind::FileListClick::SingleRemoves);
    List1->setObjectName(QStringLiteral("List1"));
    auto* lblfiles = new QLabel(QStringLiteral("File Name(s) :"), this);
    lblfiles->setBuddy(List1);
    cmdbrow = makeButton(this, "cmdbrow", kind.browseCaption);
    cmdReadFile = makeButton(this, "cmdReadFile", QStringLiteral("&Read File(s)"));
    QLabel* lblprefix = nullptr;
    if (kind.hasPrefix) {
        txtprefix = new QLineEdit(this);
        txtprefix->setObjectName(QStringLiteral("txtprefix"));
        txtprefix->setMaxLength(60);
        lblprefix = new QLabel(QStringLiteral("Prefix :"), this);
        lblprefix->setBuddy(txtprefix);
    }
    cmdGenMessage = makeButton(this, "cmdGenMessage", QStringLiteral("&Generate Message"));
    cmdSendMessage = makeButton(this, "cmdSendMessage", QStringLiteral("&Send Message"));
    cmdConfigure = makeButton(this, "cmdConfigure", QStringLiteral("Configure"));

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    msf1 = makeGrid(SSTab1, "msf1", kind.stagedGridFormat);
    msfmessage = makeGrid(SSTab1, "msfmessage", kMsfMessageFormat);
    msfmessage->reserveCharacters(2, kLongestText);
    SSTab1->addTab(msf1, QStringLiteral("Transaction Wise Data"));
    if (kind.hasSummary) {
        msf2 = makeGrid(SSTab1, "msf2", kind.summaryGridFormat);
        SSTab1->addTab(msf2, QStringLiteral("Summarized Data"));
    }
    SSTab1->addTab(msfmessage, kind.messagesTab);
    if (kind.copiesCells) {
        copyCurrentCell(msf1);
        copyCurrentCell(msfmessage);
    }

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 1000);
    ProgressBar1->setVisible(false);

    auto* top = new QGridLayout;
    top->addWidget(lblfiles, 0, 0, Qt::AlignTop);
    top->addWidget(List1, 0, 1);
    top->addWidget(cmdbrow, 0, 2, Qt::AlignTop);
    if (txtprefix) {
        top->addWidget(lblprefix, 1, 0);
        top->addWidget(txtprefix, 1, 1);
    }
    List1->setMaximumHeight(110);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdReadFile);
    buttons->addWidget(cmdGenMessage);
    buttons->addWidget(cmdSendMessage);
    buttons->addWidget(cmdConfigure);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    // Narrow margins: on a 1280-pixel desk a text of full length needs nearly all the width there is.
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->addWidget(SSTab1, 1);
    layout->addWidget(ProgressBar1);

    connect(cmdbrow, &QPushButton::clicked, this, &TradeScreen::browse);
    connect(cmdReadFile, &QPushButton::clicked, this, &TradeScreen::readFiles);
    connect(cmdGenMessage, &QPushButton::clicked, this, &TradeScreen::generateMessages);
    connect(cmdSendMessage, &QPushButton::clicked, this, &TradeScreen::sendMessages);
    connect(cmdConfigure, &QPushButton::clicked, this, &TradeScreen::configure);

    try {
        m_engine->open();
    } catch (const StoreError& error) {
        reportStoreError(error.message());
    }
}

TradeScreen::~TradeScreen() = default;

void TradeScreen::GetFiles(const QStringList& files)
{
    List1->addFiles(files);
}

void TradeScreen::closeEvent(QCloseEvent* event)
{
    // A read lets window events run; the screen must outlive it.
    if (m_busy)
        event->ignore();
    else
        event->accept();
}

void TradeScreen::browse()
{
    auto* dialog = new dlgFileBrowse(m_prompter, window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->SetParent(this);
    // The dialog belongs to the main window and must not hand files to a screen that is gone.
    connect(this, &QObject::destroyed, dialog, &QDialog::close);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->show();
}

void TradeScreen::readFiles()
{
    const QStringList files = List1->files();
    msf1->clearRows();
    if (msf2)
        msf2->clearRows();
    // Texts generated from the trades staged before would otherwise go out again on the next Send.
    msfmessage->clearRows();

    setBusy(true);
    TradeReadReport report;
    try {
        report = m_engine->readFiles(files, [this](qint64 done, qint64 total) {
            ProgressBar1->setValue(total > 0 ? int(std::min<qint64>(done, total) * 1000 / total) : 0);
            QCoreApplication::processEvents();
        });
    } catch (const StoreError& error) {
        // The read is one transaction: nothing of it is staged, so the list stays for another try.
        setBusy(false);
        reportStoreError(error.message());
        showStaged(false);
        return;
    }
    setBusy(false);

    if (m_kind.readEmptiesFileList)
        List1->clearFiles();
    showStaged();
    ShowReadReport(m_prompter, m_kind, report, windowTitle());
}

void TradeScreen::showStaged(bool reportFailure)
{
    try {
        msf1->setRows(m_engine->stagedGrid());
        if (msf2)
            msf2->setRows(m_engine->summary());
    } catch (const StoreError& error) {
        if (reportFailure)
            reportStoreError(error.message());
    }
}

void TradeScreen::generateMessages()
{
    msfmessage->clearRows();
    try {
        const QList<QueueGridRow> messages = m_engine->generate(txtprefix ? txtprefix->text() : QString());
        QList<QStringList> rows;
        rows.reserve(messages.size());
        for (const QueueGridRow& message : messages)
            rows.append({QString(), message.mobileNo, message.message});
        msfmessage->setRows(std::move(rows));
    } catch (const StoreError& error) {
        reportStoreError(error.message());
        return;
    }
    SSTab1->setCurrentWidget(msfmessage);
    reportAlreadyQueued();
}

void TradeScreen::reportAlreadyQueued()
{
    if (m_engine->alreadyQueued() > 0)
        m_prompter.message({m_engine->alreadyQueuedText(), windowTitle(), PromptMessage::Icon::Information,
                            PromptMessage::Buttons::Ok});
}

void TradeScreen::sendMessages()
{
    QList<QueueGridRow> rows;
    for (int row = 0; row < msfmessage->rowCount(); ++row)
        rows.append({msfmessage->text(row, 1), msfmessage->text(row, 2)});
    const QString codePageLoss = DescribeCodePageLoss(rows);
    if (!codePageLoss.isEmpty())
        m_prompter.message(
            {codePageLoss, windowTitle(), PromptMessage::Icon::Warning, PromptMessage::Buttons::Ok});
    try {
        m_engine->send(rows);
    } catch (const QueueWriteError& error) {
        // The messages before the failure stay queued; a second press would queue them again.
        reportStoreError(QStringLiteral("%1\n\n%2 message(s) were queued before the failure.")
                             .arg(error.message())
                             .arg(error.queued()));
        return;
    } catch (const StoreError& error) {
        reportStoreError(error.message());
        return;
    }
    reportAlreadyQueued();
    if (m_kind.sendClearsMessages)
        msfmessage->clearRows();
    if (rows.isEmpty() && m_kind.sentConfirmationOnlyWithRows)
        return;
    const bool information = m_kind.sentConfirmationInformation;
    m_prompter.message({m_kind.sentConfirmation, information ? windowTitle() : QString(),
                        information ? PromptMessage::Icon::Information : PromptMessage::Icon::None,
                        PromptMessage::Buttons::Ok});
}

void TradeScreen::configure()
{
    Store& store = m_session.StoreConnection();
    QDialog* dialog = nullptr;
    if (m_kind.settingsDialog == QLatin1String("dlgbseconfig"))
        dialog = new dlgbseconfig(store, m_prompter, window());
    else if (m_kind.settingsDialog == QLatin1String("dlgnseconfig"))
        dialog = new dlgnseconfig(store, m_prompter, window());
    else if (m_kind.settingsDialog == QLatin1String("dlgfutconfig"))
        dialog = new dlgfutconfig(store, m_prompter, window());
    else if (m_kind.settingsDialog == QLatin1String("dlgorinbse"))
        dialog = new dlgorinbse(store, m_prompter, window());
    else if (m_kind.settingsDialog == QLatin1String("dlgorinnse"))
        dialog = new dlgorinnse(store, m_prompter, window());
    else if (m_kind.settingsDialog == QLatin1String("dlgMCXConfig"))
        dialog = new dlgMCXConfig(store, m_prompter, window());
    else if (m_kind.settingsDialog == QLatin1String("dlgncdexconfig"))
        dialog = new dlgncdexconfig(store, m_prompter, window());
    if (!dialog)
        return;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    connect(dialog, &QDialog::finished, this, [this] {
        try {
            m_engine->loadPositions();
        } catch (const StoreError& error) {
            reportStoreError(error.message());
        }
    });
    dialog->show();
}

void TradeScreen::setBusy(bool busy)
{
    m_busy = busy;
    const std::initializer_list<QWidget*> controls = {List1,         cmdbrow,        cmdReadFile, txtprefix,
                                                      cmdGenMessage, cmdSendMessage, cmdConfigure};
    for (QWidget* control : controls) {
        if (control)
            control->setEnabled(!busy);
    }
    ProgressBar1->setValue(0);
    ProgressBar1->setVisible(busy);
}

void TradeScreen::reportStoreError(const QString& message)
{
    m_prompter.message({message, windowTitle(), PromptMessage::Icon::Critical, PromptMessage::Buttons::Ok});
}
