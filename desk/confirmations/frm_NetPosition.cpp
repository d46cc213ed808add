#include "frm_NetPosition.h"

#include "TextGrid.h"

#include "DeskSession.h"
#include "MessageQueueTable.h"
#include "Prompter.h"
#include "QueueGridRow.h"
#include "Store.h"
#include "TradeReadMessages.h"
#include "dlgfutconfig.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
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
const QString kMfFormat =
    QStringLiteral("*         | Code.          | Message") + QString(90, QLatin1Char(' '));
// Texts stay under 159 characters; the screen opens wide enough to show one whole.
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

} // namespace

frm_NetPosition::frm_NetPosition(const TradeFileKind& kind, DeskSession& session, Prompter& prompter,
                                 QWidget* parent)
    : QWidget(parent)
    , m_session(session)
    , m_prompter(prompter)
    , m_engine(session, kind)
{
    setObjectName(kind.screen);
    setWindowTitle(kind.caption);

    List1 = new TradeFileListBox(m_prompter, this, true);
    List1->setObjectName(QStringLiteral("List1"));
    auto* lblfiles = new QLabel(QStringLiteral("File Name(s) :"), this);
    lblfiles->setBuddy(List1);
    cmdbrow = makeButton(this, "cmdbrow", QStringLiteral("..."));
    Option1 = new QRadioButton(QStringLiteral("Qty,Avg"), this);
    Option1->setObjectName(QStringLiteral("Option1"));
    Option1->setChecked(true);
    Option2 = new QRadioButton(QStringLiteral("Qty,Amt,Avg"), this);
    Option2->setObjectName(QStringLiteral("Option2"));
    cmdReadFile = makeButton(this, "cmdReadFile", QStringLiteral("&Read File(s)"));
    txtprefix = new QLineEdit(this);
    txtprefix->setObjectName(QStringLiteral("txtprefix"));
    txtprefix->setMaxLength(kind.prefixLimit);
    auto* lblprefix = new QLabel(QStringLiteral("Prefix :"), this);
    lblprefix->setBuddy(txtprefix);
    cmdGenMessage = makeButton(this, "cmdGenMessage", QStringLiteral("&Generate Message"));
    cmdSendMessage = makeButton(this, "cmdSendMessage", QStringLiteral("&Send Message"));
    cmdConfigure = makeButton(this, "cmdConfigure", QStringLiteral("Configure"));

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    msf1 = makeGrid(SSTab1, "msf1", kind.stagedGridFormat);
    Mf = makeGrid(SSTab1, "Mf", kMfFormat);
    msfmessage = makeGrid(SSTab1, "msfmessage", kMsfMessageFormat);
    msfmessage->reserveCharacters(2, kLongestText);
    SSTab1->addTab(msf1, QStringLiteral("Transaction Wise Data"));
    SSTab1->addTab(Mf, QStringLiteral("Raw Data"));
    SSTab1->addTab(msfmessage, kind.messagesTab);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 1000);
    ProgressBar1->setVisible(false);

    auto* top = new QGridLayout;
    top->addWidget(lblfiles, 0, 0, Qt::AlignTop);
    top->addWidget(List1, 0, 1);
    top->addWidget(cmdbrow, 0, 2, Qt::AlignTop);
    top->addWidget(lblprefix, 1, 0);
    top->addWidget(txtprefix, 1, 1);
    List1->setMaximumHeight(110);
    auto* options = new QHBoxLayout;
    options->addWidget(Option1);
    options->addWidget(Option2);
    options->addStretch();
    top->addLayout(options, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdReadFile);
    buttons->addWidget(cmdGenMessage);
    buttons->addWidget(cmdSendMessage);
    buttons->addWidget(cmdConfigure);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->addWidget(SSTab1, 1);
    layout->addWidget(ProgressBar1);

    connect(cmdbrow, &QPushButton::clicked, this, &frm_NetPosition::browse);
    connect(cmdReadFile, &QPushButton::clicked, this, &frm_NetPosition::readFiles);
    connect(cmdGenMessage, &QPushButton::clicked, this, &frm_NetPosition::generateMessages);
    connect(cmdSendMessage, &QPushButton::clicked, this, &frm_NetPosition::sendMessages);
    connect(cmdConfigure, &QPushButton::clicked, this, &frm_NetPosition::configure);
}

frm_NetPosition::~frm_NetPosition()
{
    if (m_reader) {
        m_reader->wait();
        delete m_reader;
    }
}

void frm_NetPosition::GetFiles(const QStringList& files)
{
    List1->addFiles(files);
}

void frm_NetPosition::closeEvent(QCloseEvent* event)
{
    if (m_reader)
        event->ignore();
    else
        event->accept();
}

void frm_NetPosition::browse()
{
    auto* dialog = new dlgFileBrowse(m_prompter, window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->SetParent(this);
    connect(this, &QObject::destroyed, dialog, &QDialog::close);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->show();
}

void frm_NetPosition::readFiles()
{
    if (m_reader)
        return;
    m_engine.setLayout(Option2->isChecked() ? NetPositionConfirmations::Layout::QtyAmtAvg
                                            : NetPositionConfirmations::Layout::QtyAvg);
    const QStringList files = List1->files();
    msf1->clearRows();
    Mf->clearRows();
    msfmessage->clearRows();
    m_messages.clear();
    m_report = {};
    m_readFailure.clear();

    // The engine keeps its positions in memory and touches no store while it reads, so the read runs
    // off the window thread and the window stays responsive.
    m_reader = QThread::create([this, files] {
        try {
            m_report = m_engine.readFiles(files, [this](qint64 done, qint64 total) {
                const int value = total > 0 ? int(std::min<qint64>(done, total) * 1000 / total) : 0;
                QMetaObject::invokeMethod(
                    ProgressBar1, [bar = ProgressBar1, value] { bar->setValue(value); },
                    Qt::QueuedConnection);
            });
        } catch (const std::exception& error) {
            m_readFailure = QString::fromLocal8Bit(error.what());
        }
    });
    connect(m_reader, &QThread::finished, this, &frm_NetPosition::finishRead);
    setBusy(true);
    m_reader->start();
}

void frm_NetPosition::finishRead()
{
    // finished is emitted just before the thread ends.
    m_reader->wait();
    delete m_reader;
    m_reader = nullptr;
    setBusy(false);
    if (!m_readFailure.isEmpty()) {
        reportError(m_readFailure);
        return;
    }
    msf1->setRows(m_engine.stagedGrid());
    Mf->setRows(m_engine.fragmentGrid());
    ShowReadReport(m_prompter, m_engine.kind(), m_report, windowTitle());
}

void frm_NetPosition::generateMessages()
{
    msfmessage->clearRows();
    m_messages.clear();
    try {
        m_messages = m_engine.generate(txtprefix->text());
    } catch (const StoreError& error) {
        reportError(error.message());
        return;
    }
    QList<QStringList> rows;
    rows.reserve(m_messages.size());
    for (const QueueGridRow& message : std::as_const(m_messages))
        rows.append({QString(), message.mobileNo, message.message});
    msfmessage->setRows(std::move(rows));
    Mf->setRows(m_engine.fragmentGrid());
    SSTab1->setCurrentWidget(msfmessage);
    if (!m_engine.generationWarnings().isEmpty())
        m_prompter.message({m_engine.generationWarnings().join(u'\n'), windowTitle(),
                            PromptMessage::Icon::Warning, PromptMessage::Buttons::Ok});
}

void frm_NetPosition::sendMessages()
{
    const QString codePageLoss = DescribeCodePageLoss(m_messages);
    if (!codePageLoss.isEmpty())
        m_prompter.message(
            {codePageLoss, windowTitle(), PromptMessage::Icon::Warning, PromptMessage::Buttons::Ok});
    try {
        m_engine.send(m_messages);
    } catch (const QueueWriteError& error) {
        // The messages before the failure stay queued; a second press would queue them again.
        reportError(QStringLiteral("%1\n\n%2 message(s) were queued before the failure.")
                        .arg(error.message())
                        .arg(error.queued()));
        return;
    } catch (const StoreError& error) {
        reportError(error.message());
        return;
    }
    m_prompter.message({QStringLiteral("Message has been sent in Queue"), QString(),
                        PromptMessage::Icon::None, PromptMessage::Buttons::Ok});
}

void frm_NetPosition::configure()
{
    // The F positions belong to the F&O screen; this screen reads fixed places whatever they hold.
    auto* dialog = new dlgfutconfig(m_session.StoreConnection(), m_prompter, window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->show();
}

void frm_NetPosition::setBusy(bool busy)
{
    const std::initializer_list<QWidget*> controls = {List1,         cmdbrow,        cmdReadFile,
                                                      Option1,       Option2,        txtprefix,
                                                      cmdGenMessage, cmdSendMessage, cmdConfigure};
    for (QWidget* control : controls)
        control->setEnabled(!busy);
    ProgressBar1->setValue(0);
    ProgressBar1->setVisible(busy);
}

void frm_NetPosition::reportError(const QString& message)
{
    m_prompter.message({message, windowTitle(), PromptMessage::Icon::Critical, PromptMessage::Buttons::Ok});
}
