#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

class TestEnvironment;

/// The real gateway-sim on a free loopback port, with its own accounts file and JSON-lines log.
/// A gateway that cannot start (say, an option it does not know) leaves startError() set rather than
/// ending the whole test program.
class LocalGateway
{
public:
    LocalGateway(const QString& executable, TestEnvironment& env, const QStringList& faults = {},
                 const QString& accounts = QStringLiteral("demo demo 10000\n"));
    ~LocalGateway();

    LocalGateway(const LocalGateway&) = delete;
    LocalGateway& operator=(const LocalGateway&) = delete;

    /// Empty once the gateway listens; else why it did not start, with what it wrote to stderr.
    QString startError() const { return m_startError; }

    /// "127.0.0.1:PORT", as quaylink's --gateway takes it.
    QString address() const { return m_address; }
    quint16 port() const { return m_address.section(u':', -1).toUShort(); }

    /// Ends the gateway with SIGTERM; true when it ended at once and cleanly.
    bool stop();
    /// Ends the gateway and starts it again on the same port with these faults, the same accounts
    /// (their balances afresh) and the same log, as a gateway restarted by its provider; true once it
    /// listens again.
    bool restart(const QStringList& faults = {});

    /// What the gateway wrote to stderr since the last call.
    QByteArray errors() { return m_process.readAllStandardError(); }

    /// The log lines of one event ("request", "message", "upload", "debit"), in order.
    QList<QJsonObject> log(const QString& event) const;

private:
    void start(const QString& port, const QStringList& faults);

    QString m_executable;
    QString m_log;
    QString m_accounts;
    QString m_address;
    QString m_startError;
    QProcess m_process;
};
