#include "DispatchServer.h"
#include "HeadlessOutput.h"
#include "SendMsg.h"
#include "ServerMetrics.h"
#include "ServerSettings.h"
#include "ServiceManager.h"
#include "StatusCommand.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
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

// What the server does is told to systemd (readiness, a status line, the watchdog) and, with --metrics,
// to Prometheus; both only watch.
void reportService(DispatchServer& server, ServiceManager& service, ServerMetrics* metrics)
{
    QObject::connect(&server, &DispatchServer::ready, &server,
                     [&server, &service] { service.ready(server.summaryLine()); });
    QObject::connect(&server, &DispatchServer::stopping, &server, [&service] { service.stopping(); });
    QObject::connect(&server, &DispatchServer::progressed, &server, [&service] { service.alive(); });
    QObject::connect(&server, &DispatchServer::stateChanged, &server, [&server, &service, metrics] {
        service.status(server.summaryLine());
        if (metrics)
            metrics->setState(server.storeConnected(), server.gatewayConnected(), server.holdsLock());
    });
    if (!metrics)
        return;
    QObject::connect(&server, &DispatchServer::textsSettled, &server,
                     [metrics](const QString& status, int count) { metrics->textsSettled(status, count); });
    QObject::connect(&server, &DispatchServer::passEnded, &server,
                     [metrics](const PassReport& report) { metrics->passEnded(report); });
    QObject::connect(&server, &DispatchServer::gatewayRequestEnded, &server,
                     [metrics](const QString& page, double seconds, bool) {
                         metrics->gatewayRequestEnded(page, seconds);
                     });
    QObject::connect(&server, &DispatchServer::queueCounted, &server,
                     [metrics](int queued, int read) { metrics->queueCounted(queued, read); });
    QObject::connect(&server, &DispatchServer::balanceReported, &server,
                     [metrics](int balance) { metrics->balanceReported(balance); });
}

int runHeadless(const ServerOptions& options, ServerMetrics* metrics)
{
    int argc = 1;
    char name[] = "quaylink";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    ServerSettings settings;
    HeadlessOutput output;
    DispatchServer server(options, settings, output);
    QObject::connect(&server, &DispatchServer::statusLine, &output, &HeadlessOutput::statusLine);
    ServiceManager service;
    reportService(server, service, metrics);
    int exitStatus = 0;
    bool ended = false;
    QObject::connect(&server, &DispatchServer::finished, &app, [&](int status) {
        exitStatus = status;
        ended = true;
        QCoreApplication::exit(status);
    });
    exitOnTerminationSignals(server);
    if (metrics)
        output.statusLine(QStringLiteral("Metrics: ") + metrics->url());
    if (!server.start())
        return exitStatus;
    if (!ended)
        app.exec();
    return exitStatus;
}

int runWindow(int argc, char** argv, const ServerOptions& options, ServerMetrics* metrics)
{
    QApplication app(argc, argv);
    ServerSettings settings;
    WindowNotifier notifier;
    DispatchServer server(options, settings, notifier);
    SendMsg window(server, settings, notifier);
    notifier.setParent(&window);
    ServiceManager service;
    reportService(server, service, metrics);
    int exitStatus = 0;
    bool ended = false;
    // A box shown as the server ends says why (another server runs, settings saved): the program waits
    // for the operator to close it. An exit asked for (Exit, SIGTERM) does not wait.
    bool readBoxesFirst = true;
    QObject::connect(&server, &DispatchServer::stopping, &app, [&] { readBoxesFirst = false; });
    QObject::connect(&server, &DispatchServer::finished, &app, [&](int status) {
        exitStatus = status;
        ended = true;
        if (readBoxesFirst)
            notifier.whenBoxesClosed([status] { QCoreApplication::exit(status); });
        else
            QCoreApplication::exit(status);
    });
    exitOnTerminationSignals(server);
    window.show();
    // The window was there to show start-up's status lines; the account is known only now.
    if (server.start())
        window.loadAccount();
    if (!ended || (readBoxesFirst && notifier.hasOpenBoxes()))
        app.exec();
    return exitStatus;
}

// The help names the program: it is printed before an application object gives the parser its name.
QString helpText(const QCommandLineParser& parser)
{
    return parser.helpText().replace(QLatin1String("<executable_name>"), QLatin1String("quaylink"));
}

void printUsageError(const QCommandLineParser& parser, const QString& message)
{
    std::fprintf(stderr, "quaylink: %s\n\n%s", qPrintable(message), qPrintable(helpText(parser)));
}

/// The password in the first line of a file only its owner may read or change; else why not.
std::optional<QString> readPasswordFile(const QString& fileName, QString* error)
{
    // The mode is checked on the file opened, not on its name, so that it cannot change in between.
    const int descriptor = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        *error = QStringLiteral("%1: cannot be read (%2)")
                     .arg(fileName, QString::fromLocal8Bit(std::strerror(errno)));
        return std::nullopt;
    }
    QFile file;
    file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    struct stat status = {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        *error = QStringLiteral("%1: not a file").arg(fileName);
        return std::nullopt;
    }
    if (status.st_mode & (S_IRWXG | S_IRWXO)) {
        *error = QStringLiteral("%1: others may read or change it; allow only its owner (chmod 600)")
                     .arg(fileName);
        return std::nullopt;
    }
    QByteArray line = file.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty()) {
        *error = QStringLiteral("%1: holds no password").arg(fileName);
        return std::nullopt;
    }
    return QString::fromUtf8(line);
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (arguments.size() > 1 && arguments.at(1) == QLatin1String("status"))
        return runStatusCommand(arguments.mid(2));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Dispatch server: sends the queued messages to the SMS gateway.\n\n"
        "Without --password or --password-file, the gateway password for this run is the "
        "environment variable QUAYLINK_PASSWORD, when it is set.\n\n"
        "quaylink status [--data-dir DIR] [--store URL] [--json] [--max-age MINUTES] tells the "
        "dispatch's health from the store instead (quaylink status --help)."));
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
    const QCommandLineOption password(
        QStringLiteral("password"),
        QStringLiteral("gateway password for this run; better --password-file or QUAYLINK_PASSWORD, which "
                       "other users cannot see in the list of processes"),
        QStringLiteral("PW"));
    const QCommandLineOption passwordFile(
        QStringLiteral("password-file"),
        QStringLiteral("read the gateway password for this run from the first line of FILE, which only its "
                       "owner may read (chmod 600)"),
        QStringLiteral("FILE"));
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
    const QCommandLineOption metrics(
        QStringLiteral("metrics"),
        QStringLiteral("serve GET /metrics in the Prometheus text format on ADDRESS:PORT, e.g. "
                       "127.0.0.1:9100 (a PORT alone listens on 127.0.0.1)"),
        QStringLiteral("ADDRESS:PORT"));
    const QCommandLineOption standby(
        QStringLiteral("standby"),
        QStringLiteral(
            "with --headless --connect on a PostgreSQL store whose lock another server holds: wait "
            "and take over when that server's connection ends, instead of ending"));
    for (const QCommandLineOption& option : {help, dataDir, store, headless, connect, user, password,
                                             passwordFile, server, gateway, exitWhenIdle, metrics, standby})
        parser.addOption(option);
    parser.addVersionOption();

    if (!parser.parse(arguments)) {
        printUsageError(parser, parser.errorText());
        return 2;
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(helpText(parser)), stdout);
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
    if (parser.isSet(standby) && (!parser.isSet(headless) || !parser.isSet(connect))) {
        printUsageError(parser, QStringLiteral("--standby goes with --headless --connect"));
        return 2;
    }
    QString metricsAddress;
    if (parser.isSet(metrics)) {
        QString reason;
        metricsAddress = ServerMetrics::listeningAddress(parser.value(metrics), &reason);
        if (metricsAddress.isEmpty()) {
            printUsageError(parser, reason);
            return 2;
        }
    }
    if (parser.isSet(password) && parser.isSet(passwordFile)) {
        printUsageError(parser, QStringLiteral("--password and --password-file cannot be given together"));
        return 2;
    }
    std::optional<QString> passwordForRun;
    if (parser.isSet(password)) {
        passwordForRun = parser.value(password);
    } else if (parser.isSet(passwordFile)) {
        QString reason;
        passwordForRun = readPasswordFile(parser.value(passwordFile), &reason);
        if (!passwordForRun) {
            std::fprintf(stderr, "quaylink: %s\n", qPrintable(reason));
            return 2;
        }
    } else if (qEnvironmentVariableIsSet("QUAYLINK_PASSWORD")) {
        passwordForRun = qEnvironmentVariable("QUAYLINK_PASSWORD");
    }
    // Read once; nothing started later needs it.
    qunsetenv("QUAYLINK_PASSWORD");
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
    // Two servers can share only a store that several machines reach; the lock of an SQLite store ends
    // with its one machine.
    if (parser.isSet(standby) && options.store.engine() != StoreLocation::Engine::Postgres) {
        HeadlessOutput::printError(QStringLiteral(
            "--standby needs a PostgreSQL store; an SQLite store has one machine, one server"));
        return 2;
    }
    options.headless = parser.isSet(headless);
    options.connect = parser.isSet(connect);
    options.exitWhenIdle = parser.isSet(exitWhenIdle);
    options.standby = parser.isSet(standby);
    if (parser.isSet(user))
        options.userId = parser.value(user);
    options.password = passwordForRun;
    if (parser.isSet(server))
        options.serverNumber = parser.value(server).toInt();
    if (parser.isSet(gateway))
        options.gateway = parser.value(gateway);
    std::unique_ptr<ServerMetrics> served;
    if (!metricsAddress.isEmpty()) {
        served = ServerMetrics::listen(metricsAddress, &error);
        if (!served) {
            HeadlessOutput::printError(error);
            return 1;
        }
    }
    return options.headless ? runHeadless(options, served.get())
                            : runWindow(argc, argv, options, served.get());
}
