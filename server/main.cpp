#include "DispatchServer.h"
#include "HeadlessOutput.h"
#include "SendMsg.h"
#include "ServerSettings.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the server as its Exit button does, once the current request is done.
void exitOnTerminationSignals(DispatchServer& server)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &server);
    QObject::connect(notifier, &QSocketNotifier::activated, &server, [&server] {
        char byte;
        [[maybe_unused]] const auto read = ::read(g_signalPipe[0], &byte, 1);
        server.exitServer();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

int runHeadless(const ServerOptions& options)
{
    int argc = 1;
    char name[] = "quaylink";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    ServerSettings settings;
    HeadlessOutput output;
    DispatchServer server(options, settings, output);
    QObject::connect(&server, &DispatchServer::statusLine, &output, &HeadlessOutput::statusLine);
    int exitStatus = 0;
    bool ended = false;
    QObject::connect(&server, &DispatchServer::finished, &app, [&](int status) {
        exitStatus = status;
        ended = true;
        QCoreApplication::exit(status);
    });
    exitOnTerminationSignals(server);
    if (!server.start())
        return exitStatus;
    if (!ended)
        app.exec();
    return exitStatus;
}

int runWindow(int argc, char** argv, const ServerOptions& options)
{
    QApplication app(argc, argv);
    ServerSettings settings;
    WindowNotifier notifier;
    DispatchServer server(options, settings, notifier);
    SendMsg window(server, settings, notifier);
    notifier.setParent(&window);
    int exitStatus = 0;
    bool ended = false;
    QObject::connect(&server, &DispatchServer::finished, &app, [&](int status) {
        exitStatus = status;
        ended = true;
        QCoreApplication::exit(status);
    });
    exitOnTerminationSignals(server);
    window.show();
    if (!server.start())
        return exitStatus;
    // The window was there to show start-up's status lines; the account is known only now.
    window.loadAccount();
    if (!ended)
        app.exec();
    return exitStatus;
}

void printUsageError(const QCommandLineParser& parser, const QString& message)
{
    std::fprintf(stderr, "quaylink: %s\n\n%s", qPrintable(message), qPrintable(parser.helpText()));
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Dispatch server: sends the queued messages to the SMS gateway."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("show this help"));
    const QCommandLineOption dataDir(QStringLiteral("data-dir"), QStringLiteral("the application folder"),
                                     QStringLiteral("DIR"));
    const QCommandLineOption store(QStringLiteral("store"), QStringLiteral("the message store"),
                                   QStringLiteral("URL"));
    const QCommandLineOption headless(QStringLiteral("headless"),
                                      QStringLiteral("no window; status lines on stdout"));
    const QCommandLineOption connect(QStringLiteral("connect"),
                                     QStringLiteral("connect once start-up is done"));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("gateway user id for this run"),
                                  QStringLiteral("ID"));
    const QCommandLineOption password(QStringLiteral("password"),
                                      QStringLiteral("gateway password for this run"), QStringLiteral("PW"));
    const QCommandLineOption server(QStringLiteral("server"), QStringLiteral("server number for this run"),
                                    QStringLiteral("N"));
    const QCommandLineOption gateway(
        QStringLiteral("gateway"),
        QStringLiteral("address of server number 9 for this run, e.g. 127.0.0.1:8080"),
        QStringLiteral("ADDRESS"));
    const QCommandLineOption exitWhenIdle(
        QStringLiteral("exit-when-idle"),
        QStringLiteral("end when the queue is empty, a connect fails or the "
                       "balance is 0"));
    for (const QCommandLineOption& option :
         {help, dataDir, store, headless, connect, user, password, server, gateway, exitWhenIdle})
        parser.addOption(option);
    parser.addVersionOption();

    if (!parser.parse(arguments)) {
        printUsageError(parser, parser.errorText());
        return 2;
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("quaylink %s\n", KELVRA_VERSION);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        printUsageError(parser,
                        QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
        return 2;
    }
    if (parser.isSet(server)) {
        bool ok = false;
        const int number = parser.value(server).toInt(&ok);
        if (!ok || number < 0 || number > 32767) {
            printUsageError(
                parser, QStringLiteral("--server takes a whole number, not '%1'").arg(parser.value(server)));
            return 2;
        }
    }

    // The application folder is made by what writes there: an SQLite store kept in it, or an upload.
    QString error;
    ServerOptions options;
    options.dataDir = StoreLocation::resolveDataDir(parser.value(dataDir));
    if (!StoreLocation::resolve(parser.value(store), options.dataDir, &options.store, &error)) {
        std::fprintf(stderr, "quaylink: %s\n", qPrintable(error));
        return 1;
    }
    options.headless = parser.isSet(headless);
    options.connect = parser.isSet(connect);
    options.exitWhenIdle = parser.isSet(exitWhenIdle);
    if (parser.isSet(user))
        options.userId = parser.value(user);
    if (parser.isSet(password))
        options.password = parser.value(password);
    if (parser.isSet(server))
        options.serverNumber = parser.value(server).toInt();
    if (parser.isSet(gateway))
        options.gateway = parser.value(gateway);
    return options.headless ? runHeadless(options) : runWindow(argc, argv, options);
}
