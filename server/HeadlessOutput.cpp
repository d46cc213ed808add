#include "HeadlessOutput.h"

#include <QDateTime>

#include <cstdio>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

namespace {

// systemd names the journal stream it connected (JOURNAL_STREAM=DEVICE:INODE); a descriptor of that
// stream is the journal, whatever else inherited the variable.
bool isJournal(int descriptor)
{
    const QByteArray stream = qgetenv("JOURNAL_STREAM");
    struct stat status = {};
    if (stream.isEmpty() || ::fstat(descriptor, &status) != 0)
        return false;
    return stream ==
           QByteArray::number(quint64(status.st_dev)) + ':' + QByteArray::number(quint64(status.st_ino));
}

struct LinePriority
{
    const char* start;
    const char* holding; // and holding this, when not null
    int priority;
};

// What needs a person is an error (a message written off, a server that cannot work), what may mend
// itself a warning; the first match counts, anything else is information.
const LinePriority kLinePriorities[] = {
    {"DatabaseError: ", nullptr, LOG_ERR},
    {"DatabaseLoad: Fail", nullptr, LOG_ERR},
    {"SERVER Allready Running", nullptr, LOG_ERR},
    {"Login: Incorrect!", nullptr, LOG_ERR},
    {"Empty: ", nullptr, LOG_ERR},
    {"IP Address Not Set", nullptr, LOG_ERR},
    {"Upload ", "marked Deleted", LOG_ERR},
    {"Interrupted pass ", nullptr, LOG_WARNING},
    {"Sent: Failed 0 ", nullptr, LOG_INFO},
    {"Sent: Failed ", nullptr, LOG_WARNING},
    {"Send Fail!", nullptr, LOG_WARNING},
    {"Upload", nullptr, LOG_WARNING},
    {"Message Sent but Balance not Deducted", nullptr, LOG_WARNING},
    {"SMS balance zero", nullptr, LOG_WARNING},
    {"Server: NOT Connected", nullptr, LOG_WARNING},
    {"Login: ", nullptr, LOG_WARNING},
    {"Exit: no reply", nullptr, LOG_WARNING},
    {"Standby: ", "takes over", LOG_WARNING},
};

} // namespace

HeadlessOutput::HeadlessOutput()
    : m_toJournal(isJournal(STDOUT_FILENO))
{
}

int HeadlessOutput::priorityOf(const QString& line)
{
    for (const LinePriority& rule : kLinePriorities) {
        if (line.startsWith(QLatin1String(rule.start)) &&
            (!rule.holding || line.contains(QLatin1String(rule.holding))))
            return rule.priority;
    }
    return LOG_INFO;
}

void HeadlessOutput::statusLine(const QString& line)
{
    const QString oneLine = QString(line).replace(u'\n', u' ');
    const QString written =
        m_toJournal ? QStringLiteral("<%1>").arg(priorityOf(oneLine)) + oneLine
                    : QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + oneLine;
    std::fputs(written.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void HeadlessOutput::message(const QString& text, const QString&, Icon)
{
    statusLine(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" ")));
}

void HeadlessOutput::printError(const QString& reason)
{
    std::fprintf(stderr, "%squaylink: %s\n", isJournal(STDERR_FILENO) ? "<3>" : "", qPrintable(reason));
}
