#include "LocalGateway.h"

#include "TestEnvironment.h"

#include <QFile>
#include <QJsonDocument>

namespace {
int s_count = 0;
}

LocalGateway::LocalGateway(const QString& executable, TestEnvironment& env, const QStringList& faults,
                           const QString& accounts)
    : m_executable(executable)
    , m_log(env.path(QStringLiteral("gateway-%1.log").arg(++s_count)))
    , m_accounts(env.path(QStringLiteral("accounts-%1.txt").arg(s_count)))
{
    QFile file(m_accounts);
    if (!file.open(QIODevice::WriteOnly) || file.write(accounts.toUtf8()) < 0)
        qFatal("cannot write the accounts file");
    file.close();
    start(QStringLiteral("0"), faults);
}

void LocalGateway::start(const QString& port, const QStringList& faults)
{
    m_startError.clear();
    m_process.start(m_executable, QStringList{QStringLiteral("--port"), port, QStringLiteral("--accounts"),
                                              m_accounts, QStringLiteral("--log"), m_log} +
                                      faults);
    while (!m_process.canReadLine() && m_process.waitForReadyRead(20000)) {
    }
    const QString first = QString::fromUtf8(m_process.readLine()).trimmed();
    if (first.startsWith(QLatin1String("listening on "))) {
        m_address = first.mid(13);
        return;
    }
    m_process.waitForFinished(10000);
    m_startError = QStringLiteral("gateway-sim %1 did not start: %2%3")
                       .arg(faults.join(u' '), first,
                            QString::fromUtf8(m_process.readAllStandardError()).section(u'\n', 0, 0));
}

bool LocalGateway::restart(const QStringList& faults)
{
    const QString port = QString::number(this->port());
    stop();
    start(port, faults);
    return m_startError.isEmpty() && m_address.endsWith(u':' + port);
}

LocalGateway::~LocalGateway()
{
    m_process.terminate();
    if (!m_process.waitForFinished(10000))
        m_process.kill();
}

bool LocalGateway::stop()
{
    m_process.terminate();
    return m_process.waitForFinished(10000) && m_process.exitStatus() == QProcess::NormalExit &&
           m_process.exitCode() == 0;
}

QList<QJsonObject> LocalGateway::log(const QString& event) const
{
    QFile file(m_log);
    QList<QJsonObject> lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    while (!file.atEnd()) {
        const QJsonObject line = QJsonDocument::fromJson(file.readLine()).object();
        if (line.value(QLatin1String("event")).toString() == event)
            lines << line;
    }
    return lines;
}
