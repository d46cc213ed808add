#pragma once

#include "Command.h"

#include <QStringList>

#include <memory>
#include <vector>

/// The desk program's command line: the common options, then one command with its own options.
class CommandLine
{
public:
    explicit CommandLine(QString program);

    void addCommand(std::unique_ptr<Command> command);

    struct Parsed
    {
        /// No command: the caller opens the login window.
        bool openWindow = false;
        int exitStatus = 0;
        QString dataDirOption;
        QString storeOption;
    };

    /// Parses the arguments (the program name first) and runs the command they name, if any.
    Parsed run(const QStringList& arguments, QTextStream& out, QTextStream& err);

    /// True when the arguments name no command (and ask for no help): the login window opens.
    bool opensWindow(const QStringList& arguments) const;
    /// The common options of a command line that opens the window.
    Parsed parseWindowOptions(const QStringList& arguments) const;

    QString usage() const;

private:
    static void addGlobalOptions(QCommandLineParser& parser);
    Command* find(const QString& name) const;

    QString m_program;
    std::vector<std::unique_ptr<Command>> m_commands;
};
