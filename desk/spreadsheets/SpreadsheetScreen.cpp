#include "SpreadsheetScreen.h"

#include "MessageQueueTable.h"
#include "Prompter.h"
#include "QueueGridRow.h"
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
    // A reading lets window events run; the screen must outlive it.
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
    if (loadSheet([&path] { return Workbook::open(path).sheet(0); }))
        txtflname->setText(path);
}

bool SpreadsheetScreen::loadSheet(const std::function<Worksheet()>& load)
{
    // The reading under way holds the sheet.
    if (m_busy)
        return false;
    m_sheet = {};
    m_sheetLoaded = false;
    m_preview.clear();
    m_marked.clear();
    vsexcel->clearRows();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString failure;
    try {
        m_sheet = load();
        m_sheetLoaded = true;
    } catch (const WorkbookError& error) {
        // Other than a file held open, a sheet missing or a formula without its value says what it is.
        failure = error.kind() == WorkbookError::Kind::Unreadable ? kFileIsOpen : error.message();
    }
    QApplication::restoreOverrideCursor();
    if (!m_sheetLoaded) {
        cmdStartParsing->setEnabled(false);
        m_prompter.message({failure, QString(), PromptMessage::Icon::None, PromptMessage::Buttons::Ok});
        return false;
    }

    // The grid's fixed header row and column: column letters above, row numbers beside.
    QString format = QString(8, u' ');
    for (int column = 1; column <= m_sheet.columnCount(); ++column)
        format += QStringLiteral("| %1    ").arg(columnLetters(column));
    m_preview.reserve(m_sheet.rowCount());
    int number = 0;
    for (const QStringList& cells : m_sheet.rows()) {
        QStringList row;
        row.reserve(cells.size() + 1);
        row << QString::number(++number);
        row += cells;
        m_preview.append(std::move(row));
    }
    vsexcel->setFormat(format);
    vsexcel->setRows(m_preview);
    cmdStartParsing->setEnabled(true);
    return true;
}

void SpreadsheetScreen::markNotFound(const QList<int>& sheetRows)
{
    // Marks of an earlier reading go: each reading marks the rows it found wanting.
    for (int sheetRow : std::as_const(m_marked))
        m_preview[sheetRow - 1][0] = QString::number(sheetRow);
    m_marked.clear();
    for (int sheetRow : sheetRows) {
        if (sheetRow >= 1 && sheetRow <= m_preview.size()) {
            m_preview[sheetRow - 1][0] = QStringLiteral("Notfound");
            m_marked.append(sheetRow);
        }
    }
    vsexcel->setRows(m_preview);
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
            {codePageLoss, windowTitle(), PromptMessage::Icon::Warning, PromptMessage::Buttons::Ok});
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
    m_prompter.message({message, windowTitle(), PromptMessage::Icon::Critical, PromptMessage::Buttons::Ok});
}
