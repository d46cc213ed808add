#pragma once

#include "LocalGateway.h"
#include "Store.h"
#include "TestEnvironment.h"

#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <utility>

/// What one run of `quaylink --headless` printed and how it ended.
struct ServerRun
{
    int exitCode = -1; // -1: killed, crashed or never ended
    bool crashed = false;
    QStringList lines; // status lines without their time
    QString err;

    bool has(const QString& start) const;
    /// The lines and stderr, for a failure message.
    QByteArray describe() const;
};

/// An unattended run against the gateway: --connect --exit-when-idle as user demo on server 9.
QStringList serverArguments(const LocalGateway& gateway, const QStringList& extra = {});

/// The service's way: --connect without --exit-when-idle, as user demo on server 9.
QStringList unattendedArguments(const LocalGateway& gateway, const QStringList& extra = {});

/// Runs quaylink to its end, with this test's environment and these variables added.
ServerRun runServer(TestEnvironment& env, const QStringList& arguments,
                    const QMap<QString, QString>& variables = {}, int timeoutMs = 120000);

/// Starts `quaylink --headless` without connecting, ends it with SIGTERM once a status line starting
/// with `until` has appeared (or after 30 s), and returns what it printed.
ServerRun runStartUp(TestEnvironment& env, const QString& until);

/// `quaylink --headless` left running as the service runs it, watched while it works and ended with
/// SIGTERM.
class ServerProcess
{
public:
    /// launcher: a program and its arguments that start quaylink, its path and arguments appended.
    ServerProcess(TestEnvironment& env, const QStringList& arguments,
                  const QMap<QString, QString>& variables = {}, const QStringList& launcher = {});
    ~ServerProcess();

    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    /// The status lines so far, without their time.
    QStringList lines();
    /// stdout so far, as written.
    QString output();
    /// Waits until `occurrences` status lines start with `start`, or the server ends; false then.
    bool waitForLine(const QString& start, int occurrences = 1, int timeoutMs = 60000);
    /// The server's resident memory now, in KiB; -1 once it has ended.
    qint64 residentKiB() const;
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    /// Ends it with SIGTERM (killed when it has not ended within timeoutMs) and tells how it went.
    ServerRun stop(int timeoutMs = 60000);
    /// What it printed once it has ended by itself.
    ServerRun finished(int timeoutMs = 60000);

private:
    ServerRun result();

    QProcess m_process;
    QByteArray m_out;
};

/// The socket systemd gives a service in NOTIFY_SOCKET, kept by the test: every message a server sends,
/// and the longest it went without WATCHDOG=1, as systemd's watchdog would see it.
class NotifySocket
{
public:
    explicit NotifySocket(const QString& path);
    ~NotifySocket();

    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    QString path() const { return m_path; }
    /// NOTIFY_SOCKET naming this socket, for a server's environment.
    QMap<QString, QString> variables() const { return {{QStringLiteral("NOTIFY_SOCKET"), m_path}}; }

    /// Every message so far, as sent.
    QStringList messages();
    /// How many messages held this field ("READY=1").
    int count(const QString& field);
    /// The STATUS= lines so far.
    QStringList statuses();
    /// The longest time between two WATCHDOG=1 so far, the time since the last one included.
    qint64 longestSilenceMs();

private:
    QString m_path;
    int m_socket = -1;
    QElapsedTimer m_clock;
    QStringList m_messages;
    qint64 m_lastPing = -1;
    qint64 m_longestGap = 0;
};

/// Queues (mobile, text) pairs through MessageQueueTable::insertAll.
void queue(const Store& store, const QList<std::pair<QString, QString>>& messages);
/// Distinct numbers 98xxxxxxxx with short, well compressing texts.
QList<std::pair<QString, QString>> numbered(int count, int textLength = 60);
/// Distinct numbers 97xxxxxxxx with texts that do not compress, so that an upload needs several chunks.
QList<std::pair<QString, QString>> incompressible(int count);

QMap<QString, int> statuses(const Store& store);
QString statusOf(const Store& store, const QString& mobile);
/// The status of every row in queue order.
QStringList statusesInQueueOrder(const Store& store);

/// One pass as the gateway saw it: check, login, the chunks of one upload, the debit.
struct GatewayPass
{
    QString upload; // the Flag of its chunks
    int chunks = 0;
    bool lastPosted = false; // its chunk with Status 1 was posted
    bool debited = false;
};

struct PassLog
{
    QList<GatewayPass> passes; // the passes that posted at least one chunk, in order
    QString error;             // empty when the requests were in order

    int debited() const;
};

/// Reads the gateway's request log as passes that never overlap: each pass is check, login, then
/// the chunks of one upload (a name no other pass uses, Status 0 until the one last chunk), then at
/// most one debit naming that upload. A pass may stop early (a failed upload, a killed server), and
/// a connect may check and log in without a pass. Every upload the gateway decoded must have been
/// decoded from exactly the chunks posted for it.
PassLog checkPassesOrdered(const LocalGateway& gateway);

/// Empty when the gateway decoded expectedCount messages and none twice; else what went wrong.
QString decodedOnce(const LocalGateway& gateway, int expectedCount);
