#include "portlock.h"

#include "commerror.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QtGlobal>

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <algorithm>
#include <cctype>

// major() and minor(): here on glibc, in <sys/types.h> elsewhere.
#if __has_include(<sys/sysmacros.h>)
#include <sys/sysmacros.h>
#endif

namespace {

// Where programs put UUCP lock files; Qt SerialPort uses the first of these
// that it can write, so all are looked at.
QStringList lockDirectories() {
    static const char *const candidates[] = {
        "/var/lock",       "/run/lock",         "/etc/locks", "/var/spool/locks",
        "/var/spool/uucp", "/var/lock/lockdev", "/tmp",       "/var/tmp",
    };
    QStringList dirs;
    for (const char *path : candidates) {
        const QString real = QFileInfo(QString::fromLatin1(path)).canonicalFilePath();
        if (!real.isEmpty() && !dirs.contains(real))
            dirs << real;
    }
    return dirs;
}

// LCK..<name>, the device's path without /dev/ and with '/' as '_'; the
// same name Qt SerialPort gives its lock file.
QString lockFileName(const QString &realDevice) {
    QString name = realDevice;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    return QStringLiteral("LCK..") + name.replace(u'/', u'_');
}

// The process id a lock file holds: ten ASCII digits and a newline (HDB),
// digits followed by more text (Qt, minicom), or a 4-byte binary number
// (old UUCP).
std::optional<qint64> lockFilePid(const QByteArray &content) {
    const bool text = std::all_of(content.cbegin(), content.cend(), [](char c) {
        return std::isprint(static_cast<unsigned char>(c)) ||
               std::isspace(static_cast<unsigned char>(c));
    });
    if (content.size() == 4 && !text) {
        qint32 pid = 0;
        memcpy(&pid, content.constData(), sizeof pid);
        return pid > 0 ? std::optional<qint64>(pid) : std::nullopt;
    }
    qsizetype i = 0;
    while (i < content.size() && (content.at(i) == ' ' || content.at(i) == '\t')) ++i;
    qint64 pid = 0;
    qsizetype digits = 0;
    for (; i < content.size() && content.at(i) >= '0' && content.at(i) <= '9'; ++i, ++digits) {
        pid = pid * 10 + (content.at(i) - '0');
        if (pid > 0x7fffffff)
            return std::nullopt;
    }
    if (digits == 0 || pid <= 0)
        return std::nullopt;
    return pid;
}

bool processAlive(qint64 pid) {
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

QString programName(qint64 pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readAll().trimmed());
}

QString systemReason(int error) {
    return QString::fromLocal8Bit(strerror(error));
}

QString describe(const PortLocks::Holder &holder) {
    if (holder.pid <= 0)
        return QStringLiteral("another program");
    if (holder.program.isEmpty())
        return QStringLiteral("process %1").arg(holder.pid);
    return QStringLiteral("process %1 (%2)").arg(holder.pid).arg(holder.program);
}

// The process's own root, through which a device's path is another path.
constexpr auto kOwnRoot = "/proc/self/root";

// A lock file without a readable process id may be one that its program is
// still writing; only an old one is taken for stale.
constexpr qint64 kUnreadableLockAgeMs = 10000;

struct LockFile {
    QString path;
    std::optional<PortLocks::Holder> holder;  // none: its process has ended
    qint64 pid = 0;                           // the process it names, 0 when unreadable
};

// The lock files that exist for the real device, each with its live holder.
QList<LockFile> lockFiles(const QString &realDevice) {
    QList<LockFile> found;
    const QString name = lockFileName(realDevice);
    for (const QString &dir : lockDirectories()) {
        const QString path = dir + u'/' + name;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const auto pid = lockFilePid(file.read(128));
        LockFile lock{path, std::nullopt, pid.value_or(0)};
        if (pid && processAlive(*pid)) {
            lock.holder = PortLocks::Holder{*pid, programName(*pid)};
        } else if (!pid) {
            const qint64 age = QFileInfo(file).lastModified().msecsTo(QDateTime::currentDateTime());
            if (age < kUnreadableLockAgeMs)
                lock.holder = PortLocks::Holder{};
        }
        found.append(lock);
    }
    return found;
}

// Why a stale lock file stays, and how to remove it.
QString stuckReason(const LockFile &lock, int error) {
    const QFileInfo info(lock.path);
    const QString owner =
        info.owner().isEmpty() ? QStringLiteral("user %1").arg(info.ownerId()) : info.owner();
    const QString process =
        lock.pid > 0 ? QStringLiteral("process %1").arg(lock.pid) : QStringLiteral("its process");
    return QStringLiteral(
               "stale lock file %1 (%2 has ended) belongs to %3 and cannot be "
               "removed: %4")
        .arg(lock.path, process, owner, systemReason(error));
}

QString removeCommand(const QString &path) {
    return QStringLiteral("to remove it: sudo rm %1").arg(path);
}

}  // namespace

namespace PortLocks {

QString realDevice(const QString &device) {
    return QFileInfo(device).canonicalFilePath();
}

std::optional<Holder> lockFileHolder(const QString &realDevice) {
    for (const LockFile &lock : lockFiles(realDevice))
        if (lock.holder)
            return lock.holder;
    return std::nullopt;
}

std::optional<Holder> flockHolder(const QString &realDevice) {
    // Linux's table of locks; a system without it names no holder.
    struct stat st {};
    if (::stat(QFile::encodeName(realDevice).constData(), &st) != 0)
        return std::nullopt;
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    // "1: FLOCK  ADVISORY  WRITE 1234 00:05:87 0 EOF"; waiters have "->".
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() < 6 || f.at(1) != "FLOCK")
            continue;
        const QList<QByteArray> id = f.at(5).split(':');
        if (id.size() != 3)
            continue;
        bool ok1 = false, ok2 = false, ok3 = false;
        const uint maj = id.at(0).toUInt(&ok1, 16);
        const uint min = id.at(1).toUInt(&ok2, 16);
        const qulonglong ino = id.at(2).toULongLong(&ok3);
        if (ok1 && ok2 && ok3 && maj == major(st.st_dev) && min == minor(st.st_dev) &&
            ino == qulonglong(st.st_ino)) {
            const qint64 pid = f.at(4).toLongLong();
            return Holder{pid > 0 ? pid : 0, pid > 0 ? programName(pid) : QString()};
        }
    }
    return std::nullopt;
}

}  // namespace PortLocks

void PortLock::acquire(const QString &real, const QString &where) {
    release();
    const auto refuse = [&where](const QString &reason) {
        return CommError(where + QStringLiteral(": ") + reason);
    };
    if (real.isEmpty())
        throw refuse(systemReason(ENOENT));

    // A live holder of a lock file refuses the port; the file of a process
    // that has ended is removed, so that it never blocks, or, where this user
    // may not remove it, gone around (portlock.h).
    QStringList stuck;
    QStringList commands;
    for (const LockFile &lock : lockFiles(real)) {
        if (lock.holder)
            throw refuse(QStringLiteral("in use by %1 (lock file %2)")
                             .arg(describe(*lock.holder), lock.path));
        if (::unlink(QFile::encodeName(lock.path).constData()) != 0 && errno != ENOENT) {
            stuck << stuckReason(lock, errno);
            commands << removeCommand(lock.path);
        }
    }
    // The way around a stuck lock file is the process's own root (Linux's
    // /proc/self/root); where the system has none, the port is refused.
    if (!stuck.isEmpty() && !QFileInfo(QLatin1String(kOwnRoot) + real).exists())
        throw refuse((stuck + commands).join(QStringLiteral("; ")));

    const int fd =
        ::open(QFile::encodeName(real).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw refuse(systemReason(errno));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        throw refuse(
            error == EWOULDBLOCK
                ? QStringLiteral("in use by %1 (flock)")
                      .arg(describe(PortLocks::flockHolder(real).value_or(PortLocks::Holder{})))
                : systemReason(error));
    }
    m_fd = fd;
    m_openPath = real;
    if (!stuck.isEmpty()) {
        // Qt SerialPort names its lock file after the path it opens: through
        // the process's own root, the device's path gives a name that only
        // this device gives (LCK.._proc_self_root_dev_ttyUSB0), and no other
        // console's port can take.
        m_openPath = QLatin1String(kOwnRoot) + real;
        m_note = (stuck +
                  QStringList{QStringLiteral("the port is taken with flock and TIOCEXCL "
                                             "instead")} +
                  commands)
                     .join(QStringLiteral("; "));
    }
}

void PortLock::release() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_openPath.clear();
    m_note.clear();
}
