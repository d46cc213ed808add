#include "ConfirmCommand.h"

#include "MessageGrid.h"

#include "DeskSession.h"
#include "Store.h"
#include "TradeConfirmations.h"
#include "TradeFileList.h"
#include "UserTable.h"

#include <QFileInfo>

namespace {

QString builtKinds()
{
    return TradeFileKind::commands().join(QStringLiteral(", "));
}

// The command-line names of a kind's layouts: "qty-avg or qty-amt-avg".
QString layoutNames(const TradeFileKind& kind)
{
    QStringList names;
    for (const TradeFileKind::Layout& layout : kind.layouts)
        names << layout.commandName;
    return names.join(QStringLiteral(" or "));
}

// The kinds that are written in more than one layout: "netpos".
QString kindsWithLayouts()
{
    QStringList kinds;
    for (const TradeFileKind& kind : TradeFileKind::all()) {
        if (!kind.layouts.isEmpty())
            kinds << kind.command;
    }
    return kinds.join(QStringLiteral(", "));
}

// "netpos only: qty-avg or qty-amt-avg".
QString layoutHelp()
{
    QStringList help;
    for (const TradeFileKind& kind : TradeFileKind::all()) {
        if (!kind.layouts.isEmpty())
            help << QStringLiteral("%1 only: %2").arg(kind.command, layoutNames(kind));
    }
    return help.join(QStringLiteral("; "));
}

} // namespace

void ConfirmCommand::configure(QCommandLineParser& parser) const
{
    parser.setApplicationDescription(summary());
    parser.addOption({QStringLiteral("prefix"), QStringLiteral("the text that begins every message"),
                      QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("layout"), layoutHelp(), QStringLiteral("LAYOUT")});
    parser.addOption({QStringLiteral("user"),
                      QStringLiteral("the desk user stamped on queued messages (admin)"),
                      QStringLiteral("NAME"), QStringLiteral("admin")});
    parser.addOption({QStringLiteral("send"), QStringLiteral("queue the messages (\"Send Message\")")});
    parser.addPositionalArgument(QStringLiteral("KIND"),
                                 QStringLiteral("the kind of trade file: %1").arg(builtKinds()));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("trade files, read in this order"),
                                 QStringLiteral("FILE..."));
}

int ConfirmCommand::run(const QCommandLineParser& parser, CommandContext& context)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.isEmpty())
        throw UsageError(QStringLiteral("confirm needs the kind of trade file: %1").arg(builtKinds()));
    const QString kind = arguments.first();
    const TradeFileKind* description = TradeFileKind::byCommand(kind);
    if (!description)
        throw UsageError(QStringLiteral("confirm %1 is not available; the kinds available are %2")
                             .arg(kind, builtKinds()));
    int layout = 0;
    if (parser.isSet(QStringLiteral("layout"))) {
        if (description->layouts.isEmpty())
            throw UsageError(QStringLiteral("--layout is for %1 only").arg(kindsWithLayouts()));
        const QString name = parser.value(QStringLiteral("layout"));
        while (layout < description->layouts.size() && description->layouts[layout].commandName != name)
            ++layout;
        if (layout == description->layouts.size())
            throw UsageError(
                QStringLiteral("--layout takes %1, not %2").arg(layoutNames(*description), name));
    }
    const QStringList files = arguments.mid(1);
    if (files.isEmpty())
        throw UsageError(QStringLiteral("confirm %1 needs at least one trade file").arg(kind));

    // Checked before the store is opened: a mistyped name refuses the whole run rather than queueing
    // the messages of the other files alone.
    for (const QString& file : files) {
        const QFileInfo info(file);
        if (!info.isFile() || !info.isReadable())
            throw std::runtime_error(
                QStringLiteral("the trade file %1 does not exist or cannot be read").arg(file).toStdString());
    }

    Store& store = context.store();
    const QString user = parser.value(QStringLiteral("user"));
    if (!UserTable(store).find(user))
        throw std::runtime_error(
            QStringLiteral("the desk user %1 is not in UserMaster").arg(user).toStdString());

    DeskSession session(store);
    session.LoadStartupSettings();
    session.setCurrentUserName(user);
    const std::unique_ptr<TradeConfirmations> engine = TradeConfirmations::create(session, *description);
    engine->loadPositions();
    engine->setLayout(layout);

    QTextStream& err = context.err();
    TradeFileList listed;
    for (const QString& file : listed.add(files))
        err << TradeFileList::alreadyListedText(file) << Qt::endl;
    const TradeReadReport report = engine->readFiles(listed.files());
    for (const QString& error : report.conversionErrors)
        err << error << Qt::endl;
    for (const QString& problem : report.problems)
        err << problem << Qt::endl;
    for (const QString& notice : report.notices)
        err << notice << Qt::endl;
    for (const QString& code : engine->missingClientCodes())
        err << QStringLiteral("Not Found: %1").arg(code) << Qt::endl;

    // The screen's Prefix box holds no more than this; the command gives the texts the screen would.
    const qsizetype kPrefixLength = description->prefixLimit;
    QString prefix = parser.value(QStringLiteral("prefix"));
    if (prefix.size() > kPrefixLength) {
        prefix.truncate(kPrefixLength);
        err << QStringLiteral("the prefix is cut to its first %1 characters, as the Prefix box takes no more")
                   .arg(kPrefixLength)
            << Qt::endl;
    }
    const QList<QueueGridRow> grid = engine->generate(prefix);
    for (const QString& warning : engine->generationWarnings())
        err << warning << Qt::endl;
    // An empty grid says "no trades" and "sent already" alike; the count tells them apart.
    if (engine->alreadyQueued() > 0)
        err << engine->alreadyQueuedText() << Qt::endl;
    QTextStream& out = context.out();
    WriteMessageGrid(out, grid);

    if (parser.isSet(QStringLiteral("send"))) {
        const QString codePageLoss = DescribeCodePageLoss(grid);
        if (!codePageLoss.isEmpty())
            err << codePageLoss << Qt::endl;
        const int queued = engine->send(grid);
        // Another desk may have queued some of them since they were generated.
        if (engine->alreadyQueued() > 0)
            err << engine->alreadyQueuedText() << Qt::endl;
        // The screen's own confirmation, or the count where the screen shows none.
        if (grid.isEmpty() && description->sentConfirmationOnlyWithRows)
            err << QStringLiteral("queued %1 messages, batch %2").arg(queued).arg(session.CurrentBatchNo())
                << Qt::endl;
        else
            err << description->sentConfirmation << Qt::endl;
    }
    return 0;
}
