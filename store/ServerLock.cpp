#include "ServerLock.h"

#include "Store.h"

#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The database server ends a session whose client has gone silent for 3 s and then left two keepalive
// probes 2 s apart unanswered, or left data unacknowledged for 7 s: the lock of a server whose machine
// or network died frees within about 7 s, and a standby trying every 2 s takes over well inside 15 s.
const QList<std::pair<QString, QString>> kDeadPeerSettings = {
    {QStringLiteral("tcp_keepalives_idle"), QStringLiteral("3")},
    {QStringLiteral("tcp_keepalives_interval"), QStringLiteral("2")},
    {QStringLiteral("tcp_keepalives_count"), QStringLiteral("2")},
    {QStringLiteral("tcp_user_timeout"), QStringLiteral("7000")},
};
// One byte far beyond the bytes SQLite locks (from 1 GiB on), so that the two never meet. An open
// file description lock belongs to this descriptor alone: SQLite opening and closing the same file
// in this process neither releases nor disturbs it.
constexpr off_t kLockOffset = off_t(1) << 40;

struct flock lockRange(short type)
{
    struct flock range = {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = kLockOffset;
    range.l_len = 1;
    return range;
}

} // namespace

std::unique_ptr<ServerLock> ServerLock::tryTake(const Store& store)
{
    std::unique_ptr<ServerLock> lock(new ServerLock);
    if (store.engine() == Store::Engine::Postgres) {
        QSqlQuery taken = store.exec(QStringLiteral("SELECT pg_try_advisory_lock(?)"), {AdvisoryLockKey});
        if (!taken.next() || !taken.value(0).toBool())
            return nullptr;
        for (const auto& [name, value] : kDeadPeerSettings) {
            try {
                store.exec(QStringLiteral("SELECT set_config(?, ?, false)"), {name, value});
            } catch (const StoreError&) { // a database server without the setting keeps its own way
            }
        }
        store.exec(QStringLiteral("SELECT set_config('application_name', ?, false)"),
                   {QStringLiteral("quaylink on %1").arg(QSysInfo::machineHostName()).left(63)});
        return lock;
    }
    const QString path = store.location().sqlitePath();
    lock->m_descriptor = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (lock->m_descriptor < 0)
        throw StoreError(QStringLiteral("cannot lock the message store %1: %2")
                             .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    struct flock range = lockRange(F_WRLCK);
    if (::fcntl(lock->m_descriptor, F_OFD_SETLK, &range) == 0)
        return lock;
    if (errno == EAGAIN || errno == EACCES)
        return nullptr;
    throw StoreError(QStringLiteral("cannot lock the message store %1: %2")
                         .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
}

bool ServerLock::heldOnFile(const QString& path)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        throw StoreError(QStringLiteral("cannot open the message store %1: %2")
                             .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    struct flock range = lockRange(F_WRLCK);
    const int result = ::fcntl(descriptor, F_OFD_GETLK, &range);
    const int error = errno;
    ::close(descriptor);
    if (result != 0)
        throw StoreError(QStringLiteral("cannot read the lock of the message store %1: %2")
                             .arg(path, QString::fromLocal8Bit(std::strerror(error))));
    return range.l_type != F_UNLCK;
}

ServerLock::~ServerLock()
{
    // Closing drops the lock. The store's own connection is closed first by its owner: closing any
    // descriptor of a file also drops this process's POSIX locks on it, SQLite's among them.
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

bool ServerLock::covers(const Store& store) const
{
    if (store.engine() == Store::Engine::Postgres) {
        // A bigint key shows in pg_locks as its high half (classid) and low half (objid).
        try {
            QSqlQuery held = store.exec(
                QStringLiteral("SELECT COUNT(*) FROM pg_locks WHERE locktype = 'advisory' AND granted AND "
                               "pid = pg_backend_pid() AND classid = ? AND objid = ? AND objsubid = 1"),
                {qint64(AdvisoryLockKey >> 32), qint64(AdvisoryLockKey & 0xFFFFFFFF)});
            return held.next() && held.value(0).toInt() > 0;
        } catch (const StoreError&) {
            return false;
        }
    }
    struct stat held = {};
    struct stat named = {};
    return ::fstat(m_descriptor, &held) == 0 &&
           ::stat(QFile::encodeName(store.location().sqlitePath()).constData(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}
