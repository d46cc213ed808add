#include "StatusCommand.h"

#include "DispatchHealth.h"
#include "StoreError.h"
#include "StoreLocation.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <cstdio>

namespace {

constexpr int kDefaultMaxAgeMinutes = 15;
const QString kTimePattern = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QString number(qint64 value)
{
    return QLocale(QLocale::English).toString(value);
}

QJsonValue timeValue(const QDateTime& time)
{
    return time.isValid() ? QJsonValue(time.toString(Qt::ISODate)) : QJsonValue();
}

/// What needs a person, each in a few words; none when healthy.
QStringList problemsOf(const DispatchHealth& health, const QDateTime& now, int maxAgeMinutes)
{
    QStringList problems;
    const int waiting = health.queued + health.readNow;
    if (!health.server.holdsLock && waiting > 0)
        problems
            << QStringLiteral("no server holds the store's lock while %1 texts wait").arg(number(waiting));
    if (health.oldestQueued.isValid() && health.oldestQueued.secsTo(now) > qint64(maxAgeMinutes) * 60)
        problems << QStringLiteral("the oldest queued text has waited %1 min, over %2")
                        .arg(number(health.oldestQueued.secsTo(now) / 60))
                        .arg(maxAgeMinutes);
    bool settledUnknown = false;
    for (const DispatchHealth::Pass& pass : health.settledToday) {
        if (pass.rows > 0 &&
            (pass.outcome == QLatin1String("Deleted") || pass.outcome == QLatin1String("DelSent"))) {
            settledUnknown = true;
            problems << QStringLiteral("pass %1, cut short and settled at %2, left %3 texts %4")
                            .arg(pass.uploadName.isEmpty() ? QStringLiteral("without a journal")
                                                           : pass.uploadName,
                                 pass.settled, number(pass.rows), pass.outcome);
        }
    }
    const int deleted = health.today.value(QStringLiteral("Deleted"));
    const int delSent = health.today.value(QStringLiteral("DelSent"));
    if (!settledUnknown && deleted + delSent > 0)
        problems << QStringLiteral("%1 texts Deleted and %2 DelSent today: sent or debited, unknown")
                        .arg(number(deleted), number(delSent));
    return problems;
}

QString passText(const DispatchHealth::Pass& pass)
{
    QString text = QStringLiteral("%1, %2 rows, %3")
                       .arg(pass.ended.toString(kTimePattern), number(pass.rows), pass.outcome);
    if (pass.seconds)
        text += QStringLiteral(", %1 s").arg(QLocale(QLocale::English).toString(*pass.seconds, 'f', 1));
    return text + QStringLiteral(" (%1)").arg(pass.uploadName);
}

void printText(const QString& store, const DispatchHealth& health, const QDateTime& now,
               const QStringList& problems)
{
    QStringList lines{QStringLiteral("Store: ") + store};
    if (!health.server.holdsLock)
        lines << QStringLiteral("Server: none holds the store's lock");
    else if (health.server.since.isValid())
        lines << QStringLiteral("Server: holds the store's lock since %1, on %2 (process %3)")
                     .arg(health.server.since.toString(kTimePattern), health.server.host)
                     .arg(health.server.pid);
    else
        lines << QStringLiteral("Server: holds the store's lock");
    QString queued = QStringLiteral("Queued: ") + number(health.queued);
    if (!health.queuedByUser.isEmpty()) {
        QStringList users;
        for (const auto& [user, count] : health.queuedByUser)
            users << (user.isEmpty() ? QStringLiteral("(no user)") : user) + u' ' + number(count);
        queued += QStringLiteral(" (%1); oldest %2, %3 min ago")
                      .arg(users.join(QStringLiteral(", ")), health.oldestQueued.toString(kTimePattern),
                           number(health.oldestQueued.secsTo(now) / 60));
    }
    lines << queued << QStringLiteral("Read now: ") + number(health.readNow);
    for (const DispatchHealth::OpenPass& pass : health.openPasses)
        lines << QStringLiteral("%1: %2, %3 rows, stage %4, since %5")
                     .arg(health.server.holdsLock ? QStringLiteral("Pass in progress")
                                                  : QStringLiteral("Pass cut short, not settled yet"),
                          pass.uploadName, number(pass.rows), pass.stage,
                          pass.started.toString(kTimePattern));
    if (!health.historyKept)
        lines << QStringLiteral("Last pass: not recorded by a store of this version");
    else
        lines << QStringLiteral("Last pass: ") +
                     (health.lastPass ? passText(*health.lastPass) : QStringLiteral("none"));
    for (const DispatchHealth::Pass& pass : health.settledToday)
        lines << QStringLiteral("Cut short today: %1, started %2, settled at %3 on %4: %5 texts %6")
                     .arg(pass.uploadName.isEmpty() ? QStringLiteral("rows without a journal")
                                                    : pass.uploadName,
                          pass.started.toString(kTimePattern), pass.settled,
                          pass.ended.toString(kTimePattern), number(pass.rows), pass.outcome);
    QStringList today;
    for (auto count = health.today.begin(); count != health.today.end(); ++count)
        today << count.key() + u' ' + number(count.value());
    lines << QStringLiteral("Today: ") +
                 (today.isEmpty() ? QStringLiteral("nothing") : today.join(QStringLiteral(", ")));
    lines << (problems.isEmpty()
                  ? QStringLiteral("Health: OK")
                  : QStringLiteral("Health: needs a person: ") + problems.join(QStringLiteral("; ")));
    std::fputs(qPrintable(lines.join(u'\n') + u'\n'), stdout);
}

QJsonObject passJson(const DispatchHealth::Pass& pass)
{
    QJsonObject object{{QStringLiteral("uploadName"), pass.uploadName},
                       {QStringLiteral("started"), timeValue(pass.started)},
                       {QStringLiteral("ended"), timeValue(pass.ended)},
                       {QStringLiteral("rows"), pass.rows},
                       {QStringLiteral("outcome"), pass.outcome},
                       {QStringLiteral("seconds"), pass.seconds ? QJsonValue(*pass.seconds) : QJsonValue()}};
    if (!pass.settled.isEmpty())
        object.insert(QStringLiteral("settled"), pass.settled);
    return object;
}

void printJson(const QString& store, const DispatchHealth& health, const QDateTime& now,
               const QStringList& problems)
{
    QJsonObject server{{QStringLiteral("holdsLock"), health.server.holdsLock}};
    if (health.server.holdsLock && health.server.since.isValid()) {
        server.insert(QStringLiteral("since"), timeValue(health.server.since));
        server.insert(QStringLiteral("host"), health.server.host);
        server.insert(QStringLiteral("pid"), health.server.pid);
    }
    QJsonObject byUser;
    for (const auto& [user, count] : health.queuedByUser)
        byUser.insert(user, count);
    QJsonArray open;
    for (const DispatchHealth::OpenPass& pass : health.openPasses)
        open.append(QJsonObject{{QStringLiteral("uploadName"), pass.uploadName},
                                {QStringLiteral("stage"), pass.stage},
                                {QStringLiteral("started"), timeValue(pass.started)},
                                {QStringLiteral("rows"), pass.rows}});
    QJsonArray settled;
    for (const DispatchHealth::Pass& pass : health.settledToday)
        settled.append(passJson(pass));
    QJsonObject today;
    for (auto count = health.today.begin(); count != health.today.end(); ++count)
        today.insert(count.key(), count.value());
    const QJsonObject report{
        {QStringLiteral("store"), store},
        {QStringLiteral("server"), server},
        {QStringLiteral("queued"), health.queued},
        {QStringLiteral("queuedByUser"), byUser},
        {QStringLiteral("oldestQueued"), timeValue(health.oldestQueued)},
        {QStringLiteral("oldestQueuedSeconds"),
         health.oldestQueued.isValid() ? QJsonValue(health.oldestQueued.secsTo(now)) : QJsonValue()},
        {QStringLiteral("readNow"), health.readNow},
        {QStringLiteral("openPasses"), open},
        {QStringLiteral("historyKept"), health.historyKept},
        {QStringLiteral("lastPass"), health.lastPass ? QJsonValue(passJson(*health.lastPass)) : QJsonValue()},
        {QStringLiteral("interruptedToday"), settled},
        {QStringLiteral("today"), today},
        {QStringLiteral("healthy"), problems.isEmpty()},
        {QStringLiteral("problems"), QJsonArray::fromStringList(problems)},
    };
    std::fputs(QJsonDocument(report).toJson(QJsonDocument::Indented).constData(), stdout);
}

} // namespace

int runStatusCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Tells the dispatch's health from the message store: the server holding its lock, the "
                       "queue, the passes. Exit status 0 healthy; 1 when something needs a person (no server "
                       "while texts wait, the oldest queued text older than --max-age, texts Deleted or "
                       "DelSent today) or the store cannot be read; 2 a bad command line. It only reads."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("show this help"));
    const QCommandLineOption dataDir(QStringLiteral("data-dir"), QStringLiteral("the application folder"),
                                     QStringLiteral("DIR"));
    const QCommandLineOption store(QStringLiteral("store"), QStringLiteral("the message store"),
                                   QStringLiteral("URL"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("one JSON object instead of lines"));
    const QCommandLineOption maxAge(
        QStringLiteral("max-age"),
        QStringLiteral("the oldest queued text may wait this long (default %1)").arg(kDefaultMaxAgeMinutes),
        QStringLiteral("MINUTES"));
    parser.addOptions({help, dataDir, store, json, maxAge});
    const auto usage = [&parser](const QString& message) {
        std::fprintf(stderr, "quaylink status: %s\n\n%s", qPrintable(message),
                     qPrintable(parser.helpText().replace(QLatin1String("<executable_name>"),
                                                          QLatin1String("quaylink status"))));
        return 2;
    };
    if (!parser.parse(QStringList{QStringLiteral("quaylink status")} + arguments))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText().replace(QLatin1String("<executable_name>"),
                                                        QLatin1String("quaylink status"))),
                   stdout);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    int maxAgeMinutes = kDefaultMaxAgeMinutes;
    if (parser.isSet(maxAge)) {
        bool ok = false;
        maxAgeMinutes = parser.value(maxAge).toInt(&ok);
        if (!ok || maxAgeMinutes < 0)
            return usage(QStringLiteral("--max-age takes whole minutes, not '%1'").arg(parser.value(maxAge)));
    }

    // Resolved as the server resolves it, without making the application folder.
    StoreLocation location;
    QString error;
    const QString dataFolder = StoreLocation::resolveDataDir(parser.value(dataDir));
    if (!StoreLocation::parse(StoreLocation::resolveStoreUrl(parser.value(store), dataFolder), &location,
                              &error)) {
        std::fprintf(stderr, "quaylink status: %s\n", qPrintable(error));
        return 2;
    }
    const QDateTime now = QDateTime::currentDateTime();
    DispatchHealth health;
    try {
        health = DispatchHealth::read(location, now);
    } catch (const StoreError& failure) {
        std::fprintf(stderr, "quaylink status: %s\n", qPrintable(failure.message().simplified()));
        return 1;
    }
    const QStringList problems = problemsOf(health, now, maxAgeMinutes);
    if (parser.isSet(json))
        printJson(location.displayName(), health, now, problems);
    else
        printText(location.displayName(), health, now, problems);
    return problems.isEmpty() ? 0 : 1;
}
