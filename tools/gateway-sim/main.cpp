#include "GatewaySimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char* const Details = R"(
Pages (on 127.0.0.1, names matched in any letter case):
  GET  /Quaylink/QuaylinkChk.asp   "Server Connected"
  GET  /Quaylink/Logonchk.asp      ?UserId&UserPassWord&IP: "logonyes||BALANCE" or "logonno||0"
  POST /Quaylink/PostDataZSM.ASP   ?ID&MsgLen&Status&Flag, body the chunk document: "done" after a
                                   chunk with Status 0, "complete" after the last chunk once the upload
                                   decodes; "Error: REASON" for anything invalid, which also fails the
                                   upload (ID and Flag name it) for good. An upload decodes when its
                                   joined hex is a zlib stream (header 789C) of windows-1252 records
                                   NUMBER CR LF TEXT CR LF, NUMBER 10 characters; a TEXT holding CR LF
                                   ends at the first CR LF followed by the end or by NUMBER CR LF
  Replies are HTTP 200 (error texts included); 405 for a wrong method, 404 for other pages.
  GET  /Quaylink/Debit.asp         ?UserId&UserPassWord&DebitSMS&Flnm: "Success" and the balance lowered
                                   when the password is qerlodnasti, the user known and DebitSMS a
                                   whole number not above the balance; "Fail" and nothing changed otherwise
  Query values are percent-decoded; "+" stays a plus sign.

Accounts file: one account per line, "user password balance" separated by blanks; blank lines and
lines starting with # are skipped; neither user nor password may hold a blank. Without --accounts
the one account is: demo demo 10000. Balances live in memory for the run.

Log (--log, appended): one JSON object per line, a request's own events before its request line:
  {"event":"message","upload":FLAG,"user":ID,"number":NUMBER,"text":TEXT}   one per decoded message
  {"event":"upload","upload":FLAG,"user":ID,"chunks":N,"messages":N,"valid":true}
  {"event":"upload",...,"valid":false,"error":REASON}                       a failed upload
  {"event":"debit","user":ID,"count":N,"flnm":STAMP,"ok":BOOL,"balance":N,"upload":STAMP_NWM,
   "uploadMessages":N|null,"matches":BOOL}                                    matches: the upload
                                   STAMP_NWM of that user is complete and holds DebitSMS messages
  {"event":"request","n":N,"method":M,"page":FILE,"target":PATH?QUERY,"query":{KEY:VALUE},
   "bodyLength":N,"status":HTTP,"reply":TEXT}                                ("dropped":true instead
                                   of status and reply for a dropped request; page "" if unknown)

Faults: requests are counted per page from 1 over the whole run, dropped and refused ones included.
PAGE is a page's file name or one of check, login, chunk, debit. An HTTP client may resend a
request once when its kept-alive connection closes unanswered: that resend is the page's next request.
)";

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

int usageError(const QCommandLineParser& parser, const QString& message)
{
    std::fprintf(stderr, "gateway-sim: %s\n\n%s", qPrintable(message), qPrintable(parser.helpText()));
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("gateway-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Local SMS gateway for demos and tests."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("show this help"));
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("port on 127.0.0.1; 0 picks a free one (default 0). The first "
                       "line on stdout is \"listening on 127.0.0.1:PORT\"."),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption accounts(QStringLiteral("accounts"), QStringLiteral("accounts file (see below)"),
                                      QStringLiteral("FILE"));
    const QCommandLineOption logFile(QStringLiteral("log"), QStringLiteral("JSON-lines log (see below)"),
                                     QStringLiteral("FILE"));
    const QCommandLineOption refuseChunk(
        QStringLiteral("refuse-chunk"),
        QStringLiteral("answer the K-th chunk request of the run with an error text; it fails its upload. "
                       "May be repeated."),
        QStringLiteral("K"));
    const QCommandLineOption replyCase(
        QStringLiteral("reply-case"),
        QStringLiteral("answer the chunks DONE/COMPLETE (upper) or Done/Complete "
                       "(capitalised) instead of done/complete"),
        QStringLiteral("upper|capitalised"));
    const QCommandLineOption replySuffix(QStringLiteral("reply-suffix"),
                                         QStringLiteral("append TEXT to every done and complete reply"),
                                         QStringLiteral("TEXT"));
    const QCommandLineOption delay(
        QStringLiteral("delay-ms"),
        QStringLiteral("wait N ms before every reply (a request is handled at once; "
                       "only its reply waits)"),
        QStringLiteral("N"));
    const QCommandLineOption delayPage(QStringLiteral("delay-page"),
                                       QStringLiteral("delay only the replies of PAGE"),
                                       QStringLiteral("PAGE"));
    const QCommandLineOption drop(
        QStringLiteral("drop-connection"),
        QStringLiteral("close the connection without a reply on every request to PAGE, or on its K-th only; "
                       "a dropped request has no effect. May be repeated for other pages."),
        QStringLiteral("PAGE[:K]"));
    const QCommandLineOption checkReply(QStringLiteral("check-reply"),
                                        QStringLiteral("answer the check page with TEXT"),
                                        QStringLiteral("TEXT"));
    const QCommandLineOption loginReply(QStringLiteral("login-reply"),
                                        QStringLiteral("answer every login with TEXT"),
                                        QStringLiteral("TEXT"));
    const QCommandLineOption debitReply(
        QStringLiteral("debit-reply"),
        QStringLiteral("answer every debit with TEXT; the debit itself still happens as usual"),
        QStringLiteral("TEXT"));
    for (const QCommandLineOption& option :
         {help, port, accounts, logFile, refuseChunk, replyCase, replySuffix, delay, delayPage, drop,
          checkReply, loginReply, debitReply})
        parser.addOption(option);

    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser, parser.errorText());
    if (parser.isSet(help)) {
        std::fprintf(stdout, "%s%s", qPrintable(parser.helpText()), Details);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(parser,
                          QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));

    GatewayOptions options;
    bool ok = false;
    const uint portNumber = parser.value(port).toUInt(&ok);
    if (!ok || portNumber > 65535)
        return usageError(parser,
                          QStringLiteral("--port needs a port number, not %1").arg(parser.value(port)));
    options.logPath = parser.value(logFile);
    for (const QString& value : parser.values(refuseChunk)) {
        const qint64 k = value.toLongLong(&ok);
        if (!ok || k < 1)
            return usageError(parser,
                              QStringLiteral("--refuse-chunk needs a number from 1, not %1").arg(value));
        options.refusedChunks.insert(k);
    }
    if (parser.isSet(replyCase)) {
        const QString value = parser.value(replyCase);
        if (value == u"upper")
            options.replyCase = GatewayOptions::ReplyCase::Upper;
        else if (value == u"capitalised" || value == u"capitalized")
            options.replyCase = GatewayOptions::ReplyCase::Capitalised;
        else if (value != u"lower")
            return usageError(parser,
                              QStringLiteral("--reply-case is upper or capitalised, not %1").arg(value));
    }
    options.replySuffix = parser.value(replySuffix);
    if (parser.isSet(delay)) {
        options.delayMs = parser.value(delay).toInt(&ok);
        if (!ok || options.delayMs < 0)
            return usageError(
                parser, QStringLiteral("--delay-ms needs milliseconds, not %1").arg(parser.value(delay)));
    }
    if (parser.isSet(delayPage)) {
        options.delayPage = GatewaySimulator::pageByName(parser.value(delayPage));
        if (!options.delayPage)
            return usageError(parser, QStringLiteral("unknown page %1").arg(parser.value(delayPage)));
    }
    for (const QString& value : parser.values(drop)) {
        const qsizetype colon = value.indexOf(u':');
        const std::optional<GatewayPage> page = GatewaySimulator::pageByName(value.left(colon));
        qint64 k = 0;
        if (colon >= 0)
            k = value.mid(colon + 1).toLongLong(&ok);
        if (!page || (colon >= 0 && (!ok || k < 1)))
            return usageError(parser,
                              QStringLiteral("--drop-connection needs PAGE or PAGE:K, not %1").arg(value));
        options.dropRequests.insert(*page, k);
    }
    if (parser.isSet(checkReply))
        options.checkReply = parser.value(checkReply);
    if (parser.isSet(loginReply))
        options.loginReply = parser.value(loginReply);
    if (parser.isSet(debitReply))
        options.debitReply = parser.value(debitReply);

    try {
        GatewaySimulator simulator(std::move(options),
                                   parser.isSet(accounts)
                                       ? GatewaySimulator::readAccounts(parser.value(accounts))
                                       : GatewaySimulator::demoAccounts());
        simulator.start(static_cast<quint16>(portNumber));

        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
            throw std::runtime_error("cannot create the signal pipe");
        QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);

        std::fprintf(stdout, "listening on 127.0.0.1:%u\n", simulator.port());
        std::fflush(stdout);
        return QCoreApplication::exec();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "gateway-sim: %s\n", error.what());
        return 1;
    }
}
