#include "CommandLine.h"

#include "StoreError.h"

namespace {

QCommandLineOption dataDirOption()
{
    return {QStringLiteral("data-dir"), QStringLiteral("the application folder"), QStringLiteral("DIR")};
}

QCommandLineOption storeOption()
{
    return {QStringLiteral("store"),
            QStringLiteral("the message store: an SQLite file or a postgresql:// URL"),
            QStringLiteral("URL")};
}

QCommandLineOption helpOption()
{
    return {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("show this help")};
}

} // namespace

CommandLine::CommandLine(QString program)
    : m_program(std::move(program))
{
}

void CommandLine::addCommand(std::unique_ptr<Command> command)
{
    m_commands.push_back(std::move(command));
}

Command* CommandLine::find(const QString& name) const
{
    for (const auto& command : m_commands) {
        if (command->name() == name)
            return command.get();
    }
    return nullptr;
}

QString CommandLine::usage() const
{
    QString text =
        QStringLiteral("usage: %1 [--data-dir DIR] [--store URL] [COMMAND [OPTIONS] [ARGUMENTS]]\n\n"
                       "Without a command the login window opens.\n\nCommands:\n")
            .arg(m_program);
    for (const auto& command : m_commands)
        text += QStringLiteral("  %1  %2\n").arg(command->name(), -12).arg(command->summary());
    text += QStringLiteral("\nRun '%1 COMMAND --help' for the options of a command.\n").arg(m_program);
    return text;
}

void CommandLine::addGlobalOptions(QCommandLineParser& parser)
{
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    parser.addOption(dataDirOption());
    parser.addOption(storeOption());
    parser.addOption(helpOption());
    parser.addOption({QStringLiteral("version"), QStringLiteral("show the version")});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("the command to run"));
}

bool CommandLine::opensWindow(const QStringList& arguments) const
{
    QCommandLineParser global;
    addGlobalOptions(global);
    return global.parse(arguments) && global.positionalArguments().isEmpty() &&
           !global.isSet(QStringLiteral("help")) && !global.isSet(QStringLiteral("version"));
}

CommandLine::Parsed CommandLine::parseWindowOptions(const QStringList& arguments) const
{
    QCommandLineParser global;
    addGlobalOptions(global);
    global.parse(arguments);
    Parsed result;
    result.openWindow = true;
    result.dataDirOption = global.value(QStringLiteral("data-dir"));
    result.storeOption = global.value(QStringLiteral("store"));
    return result;
}

CommandLine::Parsed CommandLine::run(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    Parsed result;
    QCommandLineParser global;
    addGlobalOptions(global);

    const auto usageError = [&](const QString& message) {
        err << m_program << ": " << message << Qt::endl << Qt::endl << usage();
        err.flush();
        result.exitStatus = 2;
        return result;
    };

    if (!global.parse(arguments))
        return usageError(global.errorText());
    if (global.isSet(QStringLiteral("help"))) {
        out << usage();
        return result;
    }
    if (global.isSet(QStringLiteral("version"))) {
        out << m_program << ' ' << QStringLiteral(KELVRA_VERSION) << Qt::endl;
        return result;
    }
    result.dataDirOption = global.value(QStringLiteral("data-dir"));
    result.storeOption = global.value(QStringLiteral("store"));

    const QStringList rest = global.positionalArguments();
    if (rest.isEmpty()) {
        result.openWindow = true;
        return result;
    }
    Command* command = find(rest.first());
    if (!command)
        return usageError(QStringLiteral("unknown command '%1'").arg(rest.first()));

    QCommandLineParser own;
    own.addOption(dataDirOption());
    own.addOption(storeOption());
    own.addOption(helpOption());
    command->configure(own);
    QStringList ownArguments = rest;
    ownArguments[0] = m_program + u' ' + command->name();
    if (!own.parse(ownArguments))
        return usageError(own.errorText());
    if (own.isSet(QStringLiteral("help"))) {
        out << own.helpText();
        return result;
    }
    if (own.isSet(QStringLiteral("data-dir")))
        result.dataDirOption = own.value(QStringLiteral("data-dir"));
    if (own.isSet(QStringLiteral("store")))
        result.storeOption = own.value(QStringLiteral("store"));

    CommandContext context(out, err, result.dataDirOption, result.storeOption);
    try {
        result.exitStatus = command->run(own, context);
    } catch (const UsageError& error) {
        return usageError(QString::fromStdString(error.what()));
    } catch (const StoreError& error) {
        err << m_program << ": " << error.message().simplified() << Qt::endl;
        result.exitStatus = 1;
    } catch (const std::exception& error) {
        err << m_program << ": " << QString::fromStdString(error.what()).simplified() << Qt::endl;
        result.exitStatus = 1;
    }
    out.flush();
    err.flush();
    return result;
}
