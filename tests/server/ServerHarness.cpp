#include "ServerHarness.h"

#include "MessageQueueTable.h"
#include "ProgramRun.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlQuery>

#include <algorithm>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QString CheckPage = QStringLiteral("QuaylinkChk.asp");
const QString LoginPage = QStringLiteral("Logonchk.asp");
const QString ChunkPage = QStringLiteral("PostDataZSM.ASP");
const QString DebitPage = QStringLiteral("Debit.asp");

QStringList statusLines(const QString& out)
{
    QStringList lines;
    for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts))
        lines << line.mid(20); // "yyyy-MM-dd HH:mm:ss "
    return lines;
}

QProcessEnvironment childEnvironment(TestEnvironment& env, const QMap<QString, QString>& variables)
{
    QProcessEnvironment environment = env.processEnvironment();
    for (auto variable = variables.begin(); variable != variables.end(); ++variable)
        environment.insert(variable.key(), variable.value());
    return environment;
}

} // namespace

bool ServerRun::has(const QString& start) const
{
    for (const QString& line : lines) {
        if (line.startsWith(start))
            return true;
    }
    return false;
}

QByteArray ServerRun::describe() const
{
    return (lines.join(u'\n') + QStringLiteral("\nstderr: ") + err).toUtf8();
}

QStringList serverArguments(const LocalGateway& gateway, const QStringList& extra)
{
    return QStringList{"--headless",      "--connect",
                       "--user",          "demo",
                       "--password",      "demo",
                       "--server",        "9",
                       "--gateway",       gateway.address(),
                       "--exit-when-idle"} +
           extra;
}

QStringList unattendedArguments(const LocalGateway& gateway, const QStringList& extra)
{
    QStringList arguments = serverArguments(gateway, extra);
    arguments.removeAll(QStringLiteral("--exit-when-idle"));
    return arguments;
}

ServerProcess::ServerProcess(TestEnvironment& env, const QStringList& arguments,
                             const QMap<QString, QString>& variables, const QStringList& launcher)
{
    m_process.setProcessEnvironment(childEnvironment(env, variables));
    if (launcher.isEmpty())
        m_process.start(QStringLiteral(QUAYLINK_EXE), arguments);
    else
        m_process.start(launcher.first(),
                        launcher.mid(1) + QStringList{QStringLiteral(QUAYLINK_EXE)} + arguments);
    m_process.waitForStarted();
}

ServerProcess::~ServerProcess()
{
    if (isRunning()) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

QStringList ServerProcess::lines()
{
    return statusLines(output());
}

QString ServerProcess::output()
{
    m_out += m_process.readAllStandardOutput();
    return QString::fromUtf8(m_out);
}

bool ServerProcess::waitForLine(const QString& start, int occurrences, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const QStringList seen = lines();
        if (std::count_if(seen.begin(), seen.end(),
                          [&](const QString& line) { return line.startsWith(start); }) >= occurrences)
            return true;
        if (!isRunning() || timer.elapsed() > timeoutMs)
            return false;
        m_process.waitForReadyRead(200);
    }
}

qint64 ServerProcess::residentKiB() const
{
    QFile status(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
    if (!isRunning() || !status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

ServerRun ServerProcess::stop(int timeoutMs)
{
    m_process.terminate();
    return finished(timeoutMs);
}

ServerRun ServerProcess::finished(int timeoutMs)
{
    // waitForFinished() says false too for a process that has ended already.
    if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(timeoutMs)) {
        m_process.kill();
        m_process.waitForFinished();
        ServerRun run = result();
        run.exitCode = -1;
        run.err += QStringLiteral("\n(killed: still running after %1 ms)").arg(timeoutMs);
        return run;
    }
    return result();
}

ServerRun ServerProcess::result()
{
    ServerRun run;
    run.lines = lines();
    run.crashed = m_process.exitStatus() == QProcess::CrashExit;
    run.exitCode = run.crashed ? -1 : m_process.exitCode();
    run.err = QString::fromUtf8(m_process.readAllStandardError());
    return run;
}

ServerRun runServer(TestEnvironment& env, const QStringList& arguments,
                    const QMap<QString, QString>& variables, int timeoutMs)
{
    const ProgramRun program =
        RunProgram(QStringLiteral(QUAYLINK_EXE), arguments, childEnvironment(env, variables), {}, timeoutMs);
    ServerRun run;
    run.crashed = program.exitCode == -1;
    run.exitCode = program.exitCode;
    run.lines = statusLines(program.out);
    run.err = program.err;
    return run;
}

ServerRun runStartUp(TestEnvironment& env, const QString& until)
{
    QProcess process;
    process.setProcessEnvironment(env.processEnvironment());
    process.start(QStringLiteral(QUAYLINK_EXE), {QStringLiteral("--headless")});
    ServerRun run;
    QByteArray out;
    QElapsedTimer timer;
    timer.start();
    while (!run.has(until) && timer.elapsed() < 30000 &&
           process.waitForReadyRead(int(30000 - timer.elapsed()))) {
        out += process.readAllStandardOutput();
        run.lines = statusLines(QString::fromUtf8(out));
    }
    process.terminate();
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
    }
    run.crashed = process.exitStatus() == QProcess::CrashExit;
    run.exitCode = run.crashed ? -1 : process.exitCode();
    run.lines = statusLines(QString::fromUtf8(out + process.readAllStandardOutput()));
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

NotifySocket::NotifySocket(const QString& path)
    : m_path(path)
{
    m_socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (m_socket < 0 || size_t(name.size()) >= sizeof(address.sun_path))
        qFatal("cannot make a notify socket at %s", name.constData());
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    if (::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0)
        qFatal("cannot bind a notify socket at %s", name.constData());
    m_clock.start();
}

NotifySocket::~NotifySocket()
{
    ::close(m_socket);
}

QStringList NotifySocket::messages()
{
    char buffer[4096];
    for (;;) {
        const ssize_t size = ::recv(m_socket, buffer, sizeof(buffer), 0);
        if (size < 0)
            break;
        const QString message = QString::fromUtf8(buffer, size);
        m_messages << message;
        if (message.split(u'\n').contains(QStringLiteral("WATCHDOG=1"))) {
            if (m_lastPing >= 0)
                m_longestGap = std::max(m_longestGap, m_clock.elapsed() - m_lastPing);
            m_lastPing = m_clock.elapsed();
        }
    }
    return m_messages;
}

int NotifySocket::count(const QString& field)
{
    const QStringList all = messages();
    return int(std::count_if(all.begin(), all.end(),
                             [&](const QString& message) { return message.split(u'\n').contains(field); }));
}

QStringList NotifySocket::statuses()
{
    QStringList lines;
    for (const QString& message : messages()) {
        for (const QString& field : message.split(u'\n')) {
            if (field.startsWith(QLatin1String("STATUS=")))
                lines << field.mid(7);
        }
    }
    return lines;
}

qint64 NotifySocket::longestSilenceMs()
{
    messages();
    return m_lastPing < 0 ? m_clock.elapsed() : std::max(m_longestGap, m_clock.elapsed() - m_lastPing);
}

void queue(const Store& store, const QList<std::pair<QString, QString>>& messages)
{
    std::vector<QueuedMessage> rows;
    for (const auto& [mobile, text] : messages)
        rows.push_back(
            {mobile, text, QStringLiteral("admin"), 1, QStringLiteral("BSE"), QStringLiteral("BROKER")});
    MessageQueueTable(store).insertAll(rows);
}

QList<std::pair<QString, QString>> numbered(int count, int textLength)
{
    QList<std::pair<QString, QString>> messages;
    for (int i = 0; i < count; ++i)
        messages.push_back({QStringLiteral("98%1").arg(i, 8, 10, QLatin1Char('0')),
                            QStringLiteral("C%1: RELIANCE Buy %2@2450.25")
                                .arg(i)
                                .arg(i % 97)
                                .leftJustified(textLength, u'.')});
    return messages;
}

QList<std::pair<QString, QString>> incompressible(int count)
{
    QList<std::pair<QString, QString>> messages;
    auto* random = QRandomGenerator::global();
    for (int i = 0; i < count; ++i) {
        QString text;
        for (int c = 0; c < 150; ++c)
            text += QChar(u'!' + random->bounded(90));
        text.remove(u'\'');
        messages.push_back({QStringLiteral("97%1").arg(i, 8, 10, QLatin1Char('0')), text});
    }
    return messages;
}

QMap<QString, int> statuses(const Store& store)
{
    QMap<QString, int> counts;
    QSqlQuery query = store.exec(QStringLiteral("SELECT Status, COUNT(*) FROM MessageQueue GROUP BY Status"));
    while (query.next())
        counts[query.value(0).toString()] = query.value(1).toInt();
    return counts;
}

QString statusOf(const Store& store, const QString& mobile)
{
    QSqlQuery query =
        store.exec(QStringLiteral("SELECT Status FROM MessageQueue WHERE MobileNo = ?"), {mobile});
    return query.next() ? query.value(0).toString() : QString();
}

QStringList statusesInQueueOrder(const Store& store)
{
    QStringList list;
    QSqlQuery query = store.exec(QStringLiteral("SELECT Status FROM MessageQueue ORDER BY nid"));
    while (query.next())
        list << query.value(0).toString();
    return list;
}

int PassLog::debited() const
{
    return int(
        std::count_if(passes.begin(), passes.end(), [](const GatewayPass& pass) { return pass.debited; }));
}

PassLog checkPassesOrdered(const LocalGateway& gateway)
{
    enum class After { Nothing, Check, Login, Chunk, LastChunk, Debit };
    PassLog log;
    After after = After::Nothing;
    GatewayPass pass;
    QSet<QString> uploads;
    const auto close = [&] {
        if (pass.chunks > 0)
            log.passes << pass;
        pass = GatewayPass();
    };
    for (const QJsonObject& request : gateway.log(QStringLiteral("request"))) {
        const QString page = request.value(QLatin1String("page")).toString();
        const QJsonObject query = request.value(QLatin1String("query")).toObject();
        const auto fail = [&](const QString& why) {
            log.error = QStringLiteral("request %1 (%2 %3): %4")
                            .arg(request.value(QLatin1String("n")).toInt())
                            .arg(page, request.value(QLatin1String("target")).toString(), why);
        };
        if (page == CheckPage) {
            if (after == After::Check)
                fail(QStringLiteral("a check again without a login"));
            close();
            after = After::Check;
        } else if (page == LoginPage) {
            if (after != After::Check)
                fail(QStringLiteral("a login not right after a check"));
            after = After::Login;
        } else if (page == ChunkPage) {
            const QString flag = query.value(QLatin1String("Flag")).toString();
            const QString status = query.value(QLatin1String("Status")).toString();
            if (after == After::Login) {
                if (uploads.contains(flag))
                    fail(QStringLiteral("upload %1 taken up again by a later pass").arg(flag));
                uploads.insert(flag);
                pass.upload = flag;
            } else if (after != After::Chunk) {
                fail(QStringLiteral("a chunk that follows neither a login nor a chunk of its upload"));
            } else if (flag != pass.upload) {
                fail(QStringLiteral("a chunk of %1 amid the chunks of %2").arg(flag, pass.upload));
            }
            ++pass.chunks;
            pass.lastPosted = status == u"1";
            if (status != u"0" && status != u"1")
                fail(QStringLiteral("Status %1").arg(status));
            after = pass.lastPosted ? After::LastChunk : After::Chunk;
        } else if (page == DebitPage) {
            if (after != After::LastChunk)
                fail(QStringLiteral("a debit that does not follow the last chunk of an upload"));
            else if (query.value(QLatin1String("Flnm")).toString() + QStringLiteral("_NWM") != pass.upload)
                fail(QStringLiteral("a debit for another upload than %1").arg(pass.upload));
            pass.debited = true;
            after = After::Debit;
        } else {
            fail(QStringLiteral("an unknown page"));
        }
        if (!log.error.isEmpty())
            return log;
    }
    close();

    QMap<QString, QJsonObject> decoded;
    for (const QJsonObject& upload : gateway.log(QStringLiteral("upload")))
        decoded.insert(upload.value(QLatin1String("upload")).toString(), upload);
    for (const GatewayPass& done : std::as_const(log.passes)) {
        const auto upload = decoded.constFind(done.upload);
        if (upload == decoded.constEnd()) {
            if (done.debited)
                log.error = QStringLiteral("upload %1 debited but never decoded").arg(done.upload);
        } else if (!upload->value(QLatin1String("valid")).toBool() ||
                   upload->value(QLatin1String("chunks")).toInt() != done.chunks) {
            log.error = QStringLiteral("upload %1 of %2 chunk requests: %3")
                            .arg(done.upload)
                            .arg(done.chunks)
                            .arg(QString::fromUtf8(QJsonDocument(*upload).toJson(QJsonDocument::Compact)));
        }
    }
    return log;
}

QString decodedOnce(const LocalGateway& gateway, int expectedCount)
{
    const QList<QJsonObject> messages = gateway.log(QStringLiteral("message"));
    QSet<QString> seen;
    for (const QJsonObject& message : messages) {
        const QString key = message.value(QLatin1String("number")).toString() + u'\n' +
                            message.value(QLatin1String("text")).toString();
        if (seen.contains(key))
            return QStringLiteral("decoded twice, the second time in upload %1: %2")
                .arg(message.value(QLatin1String("upload")).toString(), key);
        seen.insert(key);
    }
    if (messages.size() != expectedCount)
        return QStringLiteral("%1 messages decoded, %2 expected").arg(messages.size()).arg(expectedCount);
    return {};
}
