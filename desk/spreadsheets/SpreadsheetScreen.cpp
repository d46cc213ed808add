#include "SpreadsheetScreen.h"

#include "MessageGrid.h"
#include "MessageQueueTable.h"
#include "Prompter.h"
#include "StoreError.h"
#include "TextGrid.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QThread>
#include <QVBoxLayout>

namespace {

const QString kFileIsOpen = QStringLiteral("File is OPEN ,  Pl Close this file");
const QString kStartReading = QStringLiteral("Start Reading");
// The spreadsheet screens cut or split their texts at 159 characters.
constexpr int kLongestText = 159;

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

TextGrid* makeGrid(QWidget* parent, const char* name)
{
    auto* grid = new TextGrid(parent);
    grid->setObjectName(QLatin1String(name));
    return grid;
}

// 1 is A, 26 is Z, 27 is AA.
QString columnLetters(int column)
{
    QString letters;
    for (; column > 0; column = (column - 1) / 26)
        letters.prepend(QChar(u'A' + (column - 1) % 26));
    return letters;
}

} // namespace

SpreadsheetScreen::SpreadsheetScreen(const QString& name, const QString& caption, Prompter& prompter,
                                     QWidget* parent)
    : QWidget(parent)
    , m_prompter(prompter)
    , m_caption(caption)
{
    setObjectName(name);
    setWindowTitle(caption);

    txtflname = new QLineEdit(this);
    txtflname->setObjectName(QStringLiteral("txtflname"));
    txtflname->setReadOnly(true);
    cmdBrowse = makeButton(this, "cmdBrowse", QStringLiteral("&Browse"));
    cmdStartParsing = makeButton(this, "cmdStartParsing", kStartReading);
    Command1 = makeButton(this, "Command1", QStringLiteral("Send Message"));
    cmdStartParsing->setEnabled(false);
    Command1->setEnabled(false);
    // The button shows the code at hand while reading: a short code must not make the row jump.
    cmdStartParsing->setMinimumWidth(cmdStartParsing->sizeHint().width());

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    vsexcel = makeGrid(SSTab1, "vsexcel");
    VS = makeGrid(SSTab1, "VS");
    msfmessage = makeGrid(SSTab1, "msfmessage");
    msfmessage->reserveCharacters(2, kLongestText);
    SSTab1->addTab(vsexcel, QStringLiteral("File Preview"));
    SSTab1->addTab(VS, QStringLiteral("Raw Data"));
    SSTab1->addTab(msfmessage, QStringLiteral("Message "));

    connect(cmdBrowse, &QPushButton::clicked, this, [this] { browse(); });
    connect(cmdStartParsing, &QPushButton::clicked, this, &SpreadsheetScreen::startReading);
    connect(Command1, &QPushButton::clicked, this, &SpreadsheetScreen::sendMessageGrid);
}

SpreadsheetScreen::~SpreadsheetScreen() = default;

void SpreadsheetScreen::closeEvent(QCloseEvent* event)
{
    // A reading lets window events run, and a loading sheet is shown once it has come: the screen must
    // outlive both.
    if (m_busy)
        event->ignore();
    else
        event->accept();
}

void SpreadsheetScreen::setMessageFormat(const QString& format)
{
    msfmessage->setFormat(format);
}

void SpreadsheetScreen::layOutAsLedger(QLayout* options, QLineEdit* prefix)
{
    auto* lblflname = new QLabel(QStringLiteral("Select Excel Sheet :"), this);
    lblflname->setBuddy(txtflname);
    auto* lblprefix = new QLabel(QStringLiteral("Prefix"), this);
    lblprefix->setBuddy(prefix);

    auto* top = new QGridLayout;
    top->addWidget(lblflname, 0, 0);
    top->addWidget(txtflname, 0, 1);
    top->addWidget(cmdBrowse, 0, 2);
    if (options)
        top->addLayout(options, 1, 1);
    top->addWidget(lblprefix, 2, 0);
    top->addWidget(prefix, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdStartParsing);
    buttons->addWidget(Command1);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->addWidget(SSTab1, 1);
}

QString SpreadsheetScreen::chooseFile(const QString& filter)
{
    return m_prompter.openFileName(QStringLiteral("Open"), QString(), filter);
}

void SpreadsheetScreen::browse()
{
    const QString path = chooseFile(Workbook::fileFilter());
    if (path.isEmpty())
        return;
    loadSheet([path] { return Workbook::open(path).sheet(0); },
              [this, path](bool loaded) {
                  if (loaded)
                      txtflname->setText(path);
              });
}

void SpreadsheetScreen::loadSheet(std::function<Worksheet()> load, std::function<void(bool loaded)> then)
{
    // The reading under way holds the sheet.
    if (m_busy)
        return;
    m_sheet = {};
    m_sheetLoaded = false;
    m_marked.clear();
    vsexcel->clearRows();
    setBusy(true);
    setCursor(Qt::BusyCursor);

    // A big workbook takes its time: it is read on a thread of its own while the window goes on. The
    // loader touches nothing of the screen, which may even be gone when it ends.
    struct Loaded
    {
        std::optional<Worksheet> sheet;
        QString failure;
    };
    auto loaded = std::make_shared<Loaded>();
    QThread* thread = QThread::create([load = std::move(load), loaded] {
        try {
            loaded->sheet = load();
        } catch (const WorkbookError& error) {
            // Other than a file held open, a sheet missing or a formula without its value says what it is.
            loaded->failure = error.kind() == WorkbookError::Kind::Unreadable ? kFileIsOpen : error.message();
        } catch (const std::bad_alloc&) {
            loaded->failure = QStringLiteral("The sheet is too large to read in the memory there is.");
        }
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QThread::finished, this, [this, loaded, then = std::move(then)] {
        unsetCursor();
        setBusy(false);
        if (loaded->sheet) {
            m_sheet = std::move(*loaded->sheet);
            m_sheetLoaded = true;
            showPreview();
        } else {
            cmdStartParsing->setEnabled(false);
            m_prompter.message(
                {loaded->failure, QString(), PromptMessage::Icon::None, PromptMessage::Buttons::Ok});
        }
        if (then)
            then(m_sheetLoaded);
    });
    thread->start();
}

void SpreadsheetScreen::showPreview()
{
    // The grid's fixed header row and column: column letters above, row numbers beside. Its cells are
    // read from the sheet as they are shown, so that a sheet of a million rows costs the grid nothing.
    QString format = QString(8, u' ');
    for (int column = 1; column <= m_sheet.columnCount(); ++column)
        format += QStringLiteral("| %1    ").arg(columnLetters(column));
    vsexcel->setFormat(format);
    vsexcel->setSource(m_sheet.rowCount(), m_sheet.columnCount() + 1, [this](int row, int column) {
        if (column > 0)
            return m_sheet.cell(row + 1, column);
        return m_marked.contains(row + 1) ? QStringLiteral("Notfound") : QString::number(row + 1);
    });
    cmdStartParsing->setEnabled(true);
}

void SpreadsheetScreen::markNotFound(const QList<int>& sheetRows)
{
    // Marks of an earlier reading go: each reading marks the rows it found wanting.
    m_marked = QSet<int>(sheetRows.cbegin(), sheetRows.cend());
    vsexcel->sourceChanged();
}

void SpreadsheetScreen::startReading()
{
    if (m_busy || !m_sheetLoaded)
        return;
    Command1->setEnabled(false);
    aboutToRead();
    setBusy(true);
    SpreadsheetReading reading;
    QString failure;
    try {
        reading = readSheet(m_sheet, [this](const QString& code) {
            cmdStartParsing->setText(code);
            QApplication::processEvents();
        });
    } catch (const StoreError& error) {
        failure = error.message();
    }
    cmdStartParsing->setText(kStartReading);
    setBusy(false);
    if (!failure.isEmpty()) {
        reportError(failure);
        return;
    }
    if (!reading.stopMessage.isEmpty()) {
        m_prompter.message(
            {reading.stopMessage, QString(), PromptMessage::Icon::None, PromptMessage::Buttons::Ok});
        return;
    }

    VS->setRows(reading.rawData);
    m_messages = reading.messages;
    QList<QStringList> rows;
    rows.reserve(m_messages.size());
    for (const QueueGridRow& message : std::as_const(m_messages))
        rows.append({QString(), message.mobileNo, message.message});
    msfmessage->setRows(std::move(rows));
    afterReading(reading);
    for (const QString& warning : std::as_const(reading.warnings))
        m_prompter.message({warning, QString(), PromptMessage::Icon::None, PromptMessage::Buttons::Ok});
    Command1->setEnabled(true);
}

void SpreadsheetScreen::sendMessageGrid()
{
    // A sent grid is not sent again: reading again needs a new "&Browse".
    Command1->setEnabled(false);
    cmdStartParsing->setEnabled(false);
    const QString codePageLoss = DescribeCodePageLoss(m_messages);
    if (!codePageLoss.isEmpty())
        m_prompter.message(
            {codePageLoss, m_caption, PromptMessage::Icon::Warning, PromptMessage::Buttons::Ok});
    try {
        sendMessages(m_messages);
    } catch (const QueueWriteError& error) {
        reportError(QStringLiteral("%1\n\n%2 message(s) were queued before the failure.")
                        .arg(error.message())
                        .arg(error.queued()));
        return;
    } catch (const StoreError& error) {
        reportError(error.message());
        return;
    }
    const QString confirmation = sentConfirmation();
    if (!confirmation.isEmpty())
        m_prompter.message({confirmation, QString(), PromptMessage::Icon::None, PromptMessage::Buttons::Ok});
}

void SpreadsheetScreen::setBusy(bool busy)
{
    m_busy = busy;
    cmdBrowse->setEnabled(!busy);
    cmdStartParsing->setEnabled(!busy);
    // The other boxes of the screen stay as they are: the reading has taken their values already.
}

void SpreadsheetScreen::reportError(const QString& message)
{
    m_prompter.message({message, m_caption, PromptMessage::Icon::Critical, PromptMessage::Buttons::Ok});
}
