#include "SpreadsheetCommands.h"

#include "DeskSession.h"
#include "MessageGrid.h"
#include "SpreadsheetMessages.h"
#include "Store.h"
#include "UserTable.h"
#include "Workbook.h"

#include <QDate>
#include <QLocale>

namespace {

// The Prefix box of the stock statement takes no more than this.
constexpr qsizetype kStockPrefixLength = 125;

void addCommonOptions(QCommandLineParser& parser, const QString& summary)
{
    parser.setApplicationDescription(summary);
    parser.addOption({QStringLiteral("user"),
                      QStringLiteral("the desk user stamped on queued messages (admin)"),
                      QStringLiteral("NAME"), QStringLiteral("admin")});
    parser.addOption({QStringLiteral("send"), QStringLiteral("queue the messages (\"Send Message\")")});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("the workbook: .xls, .xlsx, .ods or .csv"));
}

QString workbookPath(const QCommandLineParser& parser, const QString& command)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 1)
        throw UsageError(QStringLiteral("%1 needs exactly one workbook").arg(command));
    return arguments.first();
}

// The session of the desk user the command runs as; refuses a user that UserMaster does not know.
std::unique_ptr<DeskSession> signIn(const QCommandLineParser& parser, CommandContext& context)
{
    Store& store = context.store();
    const QString user = parser.value(QStringLiteral("user"));
    if (!UserTable(store).find(user))
        throw std::runtime_error(
            QStringLiteral("the desk user %1 is not in UserMaster").arg(user).toStdString());
    auto session = std::make_unique<DeskSession>(store);
    session->LoadStartupSettings();
    session->setCurrentUserName(user);
    return session;
}

// Reports the reading on stderr and the grid on stdout; false when the reading stopped.
bool report(const SpreadsheetReading& reading, CommandContext& context)
{
    QTextStream& err = context.err();
    for (const QStringList& line : reading.rawData) {
        if (line.value(0) == QLatin1String("Not Found"))
            err << QStringLiteral("Not Found: %1").arg(line.value(1)) << Qt::endl;
    }
    for (const int row : reading.notFoundRows)
        err << QStringLiteral("Notfound: row %1").arg(row) << Qt::endl;
    for (const QString& warning : reading.warnings)
        err << warning << Qt::endl;
    if (!reading.stopMessage.isEmpty()) {
        err << reading.stopMessage << Qt::endl;
        return false;
    }
    WriteMessageGrid(context.out(), reading.messages);
    return true;
}

// As the screens warn before "Send Message" queues texts the SMS cannot carry as they are.
void warnOfCodePageLoss(const SpreadsheetReading& reading, CommandContext& context)
{
    const QString codePageLoss = DescribeCodePageLoss(reading.messages);
    if (!codePageLoss.isEmpty())
        context.err() << codePageLoss << Qt::endl;
}

} // namespace

void LedgerCommand::configure(QCommandLineParser& parser) const
{
    addCommonOptions(parser, summary());
    parser.addOption({QStringLiteral("code-col"),
                      QStringLiteral("the column of the client code (saved: %1)")
                          .arg(SpreadsheetSettings::ledgerCodeColumn()),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("amount-col"),
                      QStringLiteral("the column of the balance (saved: %1)")
                          .arg(SpreadsheetSettings::ledgerAmountColumn()),
                      QStringLiteral("N")});
    parser.addOption(
        {QStringLiteral("select"), QStringLiteral("message only the balances from --from to --to")});
    parser.addOption({QStringLiteral("deselect"),
                      QStringLiteral("message every balance but those strictly between --from and --to "
                                     "(the default)")});
    parser.addOption(
        {QStringLiteral("from"), QStringLiteral("the lower bound (0)"), QStringLiteral("AMOUNT")});
    parser.addOption({QStringLiteral("to"), QStringLiteral("the upper bound (0)"), QStringLiteral("AMOUNT")});
    parser.addOption({QStringLiteral("include-zero"), QStringLiteral("message zero balances too")});
    parser.addOption({QStringLiteral("template"),
                      QStringLiteral("the message, with DATE, CODE and AMT (saved: \"%1\")")
                          .arg(SpreadsheetSettings::ledgerTemplate()),
                      QStringLiteral("TEXT")});
}

int LedgerCommand::run(const QCommandLineParser& parser, CommandContext& context)
{
    const QString path = workbookPath(parser, name());
    if (parser.isSet(QStringLiteral("select")) && parser.isSet(QStringLiteral("deselect")))
        throw UsageError(QStringLiteral("--select and --deselect exclude each other"));
    LedgerChoices choices;
    choices.codeColumn = parser.isSet(QStringLiteral("code-col"))
                             ? parser.value(QStringLiteral("code-col"))
                             : QString::number(SpreadsheetSettings::ledgerCodeColumn());
    choices.amountColumn = parser.isSet(QStringLiteral("amount-col"))
                               ? parser.value(QStringLiteral("amount-col"))
                               : QString::number(SpreadsheetSettings::ledgerAmountColumn());
    choices.selection =
        parser.isSet(QStringLiteral("select")) ? QStringLiteral("SELECT") : QStringLiteral("DESELECT");
    choices.includeZero =
        parser.isSet(QStringLiteral("include-zero")) ? QStringLiteral("YES") : QStringLiteral("NO");
    choices.fromAmount = parser.value(QStringLiteral("from"));
    choices.toAmount = parser.value(QStringLiteral("to"));
    choices.templateText = parser.isSet(QStringLiteral("template")) ? parser.value(QStringLiteral("template"))
                                                                    : SpreadsheetSettings::ledgerTemplate();

    const Worksheet sheet = Workbook::open(path).sheet(0);
    const std::unique_ptr<DeskSession> session = signIn(parser, context);
    LedgerMessages engine(*session, QLocale::system());
    const SpreadsheetReading reading = engine.read(sheet, choices, QDate::currentDate());
    if (!report(reading, context))
        return 1;
    if (parser.isSet(QStringLiteral("send"))) {
        warnOfCodePageLoss(reading, context);
        const int queued = engine.send(reading.messages);
        // The ledger screen confirms nothing; the command says what it queued.
        context.err()
            << QStringLiteral("queued %1 messages, batch %2").arg(queued).arg(session->CurrentBatchNo())
            << Qt::endl;
    }
    return 0;
}

void TemplateCommand::configure(QCommandLineParser& parser) const
{
    addCommonOptions(parser, summary());
    parser.addOption(
        {QStringLiteral("sheet"), QStringLiteral("the sheet to read (the first)"), QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("code-col"),
                      QStringLiteral("the column of the client code (saved: %1)")
                          .arg(SpreadsheetSettings::excelCodeColumn()),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("template"),
                      QStringLiteral("the message, with COL1 to COL9 and TODAY (saved: \"%1\")")
                          .arg(SpreadsheetSettings::excelTemplate()),
                      QStringLiteral("TEXT")});
}

int TemplateCommand::run(const QCommandLineParser& parser, CommandContext& context)
{
    const QString path = workbookPath(parser, name());
    const QString codeColumn = parser.isSet(QStringLiteral("code-col"))
                                   ? parser.value(QStringLiteral("code-col"))
                                   : SpreadsheetSettings::excelCodeColumn();
    const QString templateText = parser.isSet(QStringLiteral("template"))
                                     ? parser.value(QStringLiteral("template"))
                                     : SpreadsheetSettings::excelTemplate();

    const Workbook workbook = Workbook::open(path);
    const Worksheet sheet = parser.isSet(QStringLiteral("sheet"))
                                ? workbook.sheet(parser.value(QStringLiteral("sheet")))
                                : workbook.sheet(0);
    const std::unique_ptr<DeskSession> session = signIn(parser, context);
    TemplateMessages engine(*session);
    const SpreadsheetReading reading = engine.read(sheet, codeColumn, templateText, QDate::currentDate());
    if (!report(reading, context))
        return 1;
    if (parser.isSet(QStringLiteral("send"))) {
        warnOfCodePageLoss(reading, context);
        engine.send(reading.messages);
        context.err() << QStringLiteral("Message has been sent to Queue") << Qt::endl;
    }
    return 0;
}

void StockCommand::configure(QCommandLineParser& parser) const
{
    addCommonOptions(parser, summary());
    parser.addOption(
        {QStringLiteral("prefix"), QStringLiteral("the heading of every message"), QStringLiteral("TEXT")});
}

int StockCommand::run(const QCommandLineParser& parser, CommandContext& context)
{
    const QString path = workbookPath(parser, name());
    const Worksheet sheet = Workbook::open(path).sheet(0);
    const std::unique_ptr<DeskSession> session = signIn(parser, context);

    QString prefix = parser.value(QStringLiteral("prefix"));
    if (prefix.size() > kStockPrefixLength) {
        prefix.truncate(kStockPrefixLength);
        context.err() << QStringLiteral(
                             "the prefix is cut to its first %1 characters, as the Prefix box takes no more")
                             .arg(kStockPrefixLength)
                      << Qt::endl;
    }
    StockMessages engine(*session);
    const SpreadsheetReading reading = engine.read(sheet, prefix);
    if (!report(reading, context))
        return 1;
    if (parser.isSet(QStringLiteral("send"))) {
        warnOfCodePageLoss(reading, context);
        engine.send(reading.messages);
        context.err() << QStringLiteral("Message Place in Queued") << Qt::endl;
    }
    return 0;
}
