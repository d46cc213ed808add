#include "TradeScreen.h"

#include "TextGrid.h"

#include "ColumnPositionsDialog.h"
#include "DeskSession.h"
#include "MessageGrid.h"
#include "MessageQueueTable.h"
#include "Prompter.h"
#include "Store.h"
#include "TradeReadMessages.h"

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
#include <QRadioButton>
#include <QTabWidget>
#include <QThread>
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
    for (const TradeFileKind::Layout& layout : kind.layouts) {
        auto* button = new QRadioButton(layout.caption, this);
        button->setObjectName(layout.optionButton);
        button->setChecked(m_layoutButtons.isEmpty());
        m_layoutButtons << button;
    }
    cmdReadFile = makeButton(this, "cmdReadFile", QStringLiteral("&Read File(s)"));
    QLabel* lblprefix = nullptr;
    if (kind.hasPrefix) {
        txtprefix = new QLineEdit(this);
        txtprefix->setObjectName(QStringLiteral("txtprefix"));
        txtprefix->setMaxLength(kind.prefixLimit);
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
    if (!kind.rawGridFormat.isEmpty()) {
        Mf = makeGrid(SSTab1, "Mf", kind.rawGridFormat);
        SSTab1->addTab(Mf, kind.rawGridTab);
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
    if (!m_layoutButtons.isEmpty()) {
        auto* layouts = new QHBoxLayout;
        for (QRadioButton* button : std::as_const(m_layoutButtons))
            layouts->addWidget(button);
        layouts->addStretch();
        top->addLayout(layouts, 2, 1);
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

TradeScreen::~TradeScreen()
{
    // The window cannot close during a read; a screen deleted outright still waits for its reader.
    if (m_reader) {
        m_reader->wait();
        delete m_reader;
    }
}

void TradeScreen::GetFiles(const QStringList& files)
{
    List1->addFiles(files);
}

void TradeScreen::closeEvent(QCloseEvent* event)
{
    if (isBusy())
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
    if (isBusy())
        return;
    for (int k = 0; k < m_layoutButtons.size(); ++k) {
        if (m_layoutButtons[k]->isChecked())
            m_engine->setLayout(k);
    }
    const QStringList files = List1->files();
    msf1->clearRows();
    if (msf2)
        msf2->clearRows();
    if (Mf)
        Mf->clearRows();
    // Texts generated from the trades staged before would otherwise go out again on the next Send.
    msfmessage->clearRows();
    m_report = {};
    m_readFailure.clear();
    m_storeFailure = false;

    // The read runs on a thread of its own, with the desk's store connection handed to it: the window
    // stays responsive, and store work another window starts meanwhile waits for the read to end
    // instead of slipping into its transaction.
    m_reader = QThread::create([this, files] {
        try {
            m_report = m_engine->readFiles(files, [this](qint64 done, qint64 total) {
                const int value = total > 0 ? int(std::min<qint64>(done, total) * 1000 / total) : 0;
                QMetaObject::invokeMethod(
                    ProgressBar1, [bar = ProgressBar1, value] { bar->setValue(value); },
                    Qt::QueuedConnection);
            });
        } catch (const StoreError& error) {
            m_readFailure = error.message();
            m_storeFailure = true;
        } catch (const std::exception& error) {
            m_readFailure = QString::fromLocal8Bit(error.what());
        }
        m_turn->end();
    });
    connect(m_reader, &QThread::finished, this, &TradeScreen::finishRead);
    m_turn = std::make_unique<Store::Turn>(m_session.StoreConnection(), m_reader);
    setBusy(true);
    m_reader->start();
}

void TradeScreen::finishRead()
{
    // finished is emitted just before the thread ends.
    m_reader->wait();
    delete m_reader;
    m_reader = nullptr;
    m_turn.reset();
    setBusy(false);
    if (!m_readFailure.isEmpty()) {
        // The read is one transaction: nothing of it is staged, so the list stays for another try.
        reportStoreError(m_readFailure);
        if (m_storeFailure)
            showStaged(false);
        Q_EMIT readFinished();
        return;
    }
    if (m_kind.readEmptiesFileList)
        List1->clearFiles();
    showStaged();
    ShowReadReport(m_prompter, m_kind, m_report, windowTitle());
    Q_EMIT readFinished();
}

void TradeScreen::showStaged(bool reportFailure)
{
    try {
        msf1->setRows(m_engine->stagedGrid());
        if (msf2)
            msf2->setRows(m_engine->summary());
        if (Mf)
            Mf->setRows(m_engine->rawGrid());
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
    if (Mf)
        Mf->setRows(m_engine->rawGrid());
    SSTab1->setCurrentWidget(msfmessage);
    reportAlreadyQueued();
    const QStringList warnings = m_engine->generationWarnings();
    if (!warnings.isEmpty())
        m_prompter.message(
            {warnings.join(u'\n'), windowTitle(), PromptMessage::Icon::Warning, PromptMessage::Buttons::Ok});
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
    QDialog* dialog = MakeSettingsDialog(m_kind, m_session.StoreConnection(), m_prompter, window());
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
    QList<QWidget*> controls = {List1,         cmdbrow,        cmdReadFile, txtprefix,
                                cmdGenMessage, cmdSendMessage, cmdConfigure};
    for (QRadioButton* button : std::as_const(m_layoutButtons))
        controls << button;
    for (QWidget* control : std::as_const(controls)) {
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
