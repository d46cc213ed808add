#include "Store.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

void printUsageError(const QCommandLineParser& parser, const QString& message)
{
    std::fprintf(stderr, "quaylink: %s\n\n%s", qPrintable(message), qPrintable(parser.helpText()));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quaylink"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVRA_VERSION));

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

    if (!parser.parse(QCoreApplication::arguments())) {
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

    QString error;
    const QString folder = StoreLocation::resolveDataDir(parser.value(dataDir), &error);
    if (folder.isEmpty()) {
        std::fprintf(stderr, "quaylink: %s\n", qPrintable(error));
        return 1;
    }
    StoreLocation location;
    if (!StoreLocation::parse(StoreLocation::resolveStoreUrl(parser.value(store), folder), &location,
                              &error)) {
        std::fprintf(stderr, "quaylink: cannot open the message store: %s\n", qPrintable(error));
        return 1;
    }
    try {
        const auto opened = Store::open(location);
    } catch (const StoreError& failure) {
        std::fprintf(stderr, "quaylink: %s\n", qPrintable(failure.message().simplified()));
        return 1;
    }
    std::fprintf(stderr, "quaylink: this build has no dispatch cycle yet\n");
    return 1;
}
