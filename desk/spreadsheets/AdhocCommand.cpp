#include "AdhocCommand.h"

#include "AdhocMessages.h"
#include "DeskSession.h"
#include "MessageGrid.h"
#include "Store.h"
#include "UserTable.h"

#include <QFile>

#include <cstdio>

namespace {

// The numbers as the text box would hold them: from the file, or from standard input without one.
QString readNumbers(const QCommandLineParser& parser)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() > 1)
        throw UsageError(QStringLiteral("adhoc takes at most one file of numbers"));
    QFile file;
    bool opened = false;
    if (arguments.isEmpty()) {
        opened = file.open(stdin, QIODevice::ReadOnly);
    } else {
        file.setFileName(arguments.first());
        opened = file.open(QIODevice::ReadOnly);
    }
    if (!opened)
        throw std::runtime_error(
            QStringLiteral("cannot read %1: %2")
                .arg(arguments.value(0, QStringLiteral("standard input")), file.errorString())
                .toStdString());
    return QString::fromUtf8(file.readAll());
}

} // namespace

void AdhocCommand::configure(QCommandLineParser& parser) const
{
    parser.setApplicationDescription(summary());
    parser.addOption({QStringLiteral("message"),
                      QStringLiteral("the message (at most 159, a tilde counting 2)"),
                      QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("user"),
                      QStringLiteral("the desk user stamped on queued messages (admin)"),
                      QStringLiteral("NAME"), QStringLiteral("admin")});
    parser.addOption({QStringLiteral("send"), QStringLiteral("queue the messages (\"Send Now\")")});
    parser.addPositionalArgument(QStringLiteral("NUMBERS-FILE"),
                                 QStringLiteral("mobile numbers, one a line (standard input without it)"),
                                 QStringLiteral("[NUMBERS-FILE]"));
}

int AdhocCommand::run(const QCommandLineParser& parser, CommandContext& context)
{
    if (!parser.isSet(QStringLiteral("message")))
        throw UsageError(QStringLiteral("adhoc needs --message"));
    const QString numbersText = readNumbers(parser);

    Store& store = context.store();
    const QString user = parser.value(QStringLiteral("user"));
    if (!UserTable(store).find(user))
        throw std::runtime_error(
            QStringLiteral("the desk user %1 is not in UserMaster").arg(user).toStdString());

    QTextStream& err = context.err();
    const QString typed = parser.value(QStringLiteral("message"));
    const QString message = AdhocMessages::fitMessage(typed);
    if (message.size() != typed.size())
        err << QStringLiteral("the message is cut to %1 characters, as the message box takes no more")
                   .arg(message.size())
            << Qt::endl;
    const QStringList numbers = AdhocMessages::acceptNumbers(numbersText);
    const QString refusal = AdhocMessages::refusal(numbers, message);
    if (!refusal.isEmpty()) {
        err << refusal << Qt::endl;
        return 1;
    }

    const QList<QueueGridRow> grid = AdhocMessages::messageGrid(numbers, message);
    WriteMessageGrid(context.out(), grid);

    if (parser.isSet(QStringLiteral("send"))) {
        const QString codePageLoss = DescribeCodePageLoss(grid);
        if (!codePageLoss.isEmpty())
            err << codePageLoss << Qt::endl;
        DeskSession session(store);
        session.LoadStartupSettings();
        session.setCurrentUserName(user);
        AdhocMessages(session).send(numbers, message);
        err << QStringLiteral("Message Placed in Queue") << Qt::endl;
    }
    return 0;
}
