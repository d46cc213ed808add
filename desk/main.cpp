#include "AdhocCommand.h"
#include "Command.h"
#include "CommandLine.h"
#include "ConfirmCommand.h"
#include "DeskApplication.h"
#include "DeskScreens.h"
#include "DeskSession.h"
#include "ImportClientsCommand.h"
#include "ReportCommand.h"
#include "SpreadsheetCommands.h"
#include "Store.h"
#include "Ticker.h"
#include "WidgetPrompter.h"
#include "frmlogin.h"
#include "mdimain.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

CommandLine makeCommandLine()
{
    CommandLine commandLine(QStringLiteral("brisant"));
    commandLine.addCommand(std::make_unique<InitStoreCommand>());
    commandLine.addCommand(std::make_unique<ConfirmCommand>());
    commandLine.addCommand(std::make_unique<LedgerCommand>());
    commandLine.addCommand(std::make_unique<TemplateCommand>());
    commandLine.addCommand(std::make_unique<StockCommand>());
    commandLine.addCommand(std::make_unique<AdhocCommand>());
    commandLine.addCommand(std::make_unique<ImportClientsCommand>());
    commandLine.addCommand(std::make_unique<ReportCommand>());
    return commandLine;
}

int runWindows(int argc, char** argv, const CommandLine::Parsed& parsed)
{
    DeskApplication app(argc, argv);
    WidgetPrompter prompter(QStringLiteral("Brisant"));
    app.setPrompter(&prompter);

    std::unique_ptr<Store> store;
    std::unique_ptr<DeskSession> session;
    try {
        QString error;
        StoreLocation location;
        if (!StoreLocation::resolve(parsed.storeOption, StoreLocation::resolveDataDir(parsed.dataDirOption),
                                    &location, &error))
            throw StoreError(error);
        store = Store::open(location);
        // The session stages privately and reads the start-up settings: both can meet a refusing store.
        session = std::make_unique<DeskSession>(*store);
        session->setApplicationFolder(StoreLocation::resolveDataDir(parsed.dataDirOption));
        session->LoadStartupSettings();
    } catch (const StoreError& error) {
        std::fprintf(stderr, "brisant: %s\n", qPrintable(error.message()));
        prompter.message(
            {error.message(), QString(), PromptMessage::Icon::Critical, PromptMessage::Buttons::Ok});
        return 1;
    }

    std::unique_ptr<mdimain> mainWindow;
    auto* login = new frmlogin(
        *session,
        [&] {
            mainWindow = std::make_unique<mdimain>(*session, prompter, makeDeskScreens(*session, prompter));
            prompter.setParent(mainWindow.get());
            return mainWindow.get();
        },
        new TimerTicker(1000));
    login->setAttribute(Qt::WA_DeleteOnClose);
    prompter.setParent(login);
    QObject::connect(login, &frmlogin::programEnded, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    login->show();
    const int status = app.exec();
    mainWindow.reset();
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    CommandLine commandLine = makeCommandLine();
    if (commandLine.opensWindow(arguments)) {
        CommandLine::Parsed parsed = commandLine.parseWindowOptions(arguments);
        return runWindows(argc, argv, parsed);
    }

    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return commandLine.run(arguments, out, err).exitStatus;
}
