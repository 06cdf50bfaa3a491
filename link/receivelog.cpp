#include "receivelog.h"

#include "fileerror.h"
#include "linklog.h"
#include "writeall.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>

namespace {

std::atomic<bool> g_failed = false;

QString describe(const LogFailure &failure) {
    switch (failure.kind) {
        case LogFailure::Kind::Write:
            return QStringLiteral("a write failed: ") + failure.reason;
        case LogFailure::Kind::Sync:
            return QStringLiteral("a sync to the disk failed: ") + failure.reason;
        case LogFailure::Kind::LastSync:
            return QStringLiteral("the last sync to the disk failed: ") + failure.reason +
                   QStringLiteral("; the file may lack what came last");
        case LogFailure::Kind::Replaced:
            return QStringLiteral(
                "its path no longer names the file written to (deleted, or replaced by another "
                "program)");
    }
    return {};
}

// Said on standard error at the moment it is known: at the console's end
// nobody else is left to say it.
void record(const LogFailure &failure) {
    g_failed.store(true, std::memory_order_relaxed);
    qCCritical(lcLink).noquote() << "receive log" << failure.fileName + QStringLiteral(":")
                                 << describe(failure);
}

}  // namespace

ReceiveLog::ReceiveLog(QObject *parent) : QObject(parent) {}

ReceiveLog::~ReceiveLog() {
    // Nobody is told: whoever listens is going too.
    const QSignalBlocker quiet(this);
    stop();
    // Waits for the last sync, whose failure goes to the log alone.
    m_sync.reset();
}

bool ReceiveLog::failedInThisProcess() {
    return g_failed.load(std::memory_order_relaxed);
}

bool ReceiveLog::writesTo(const QString &path) const {
    return isOn() && FileIdentity::ofPath(path) == m_identity;
}

void ReceiveLog::start(const QString &path, Existing existing) {
    const QString fileName = QFileInfo(path).absoluteFilePath();
    auto file = std::make_unique<QFile>(fileName);
    // Unbuffered: every write() is the system's write, nothing waits in Qt.
    QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered;
    if (existing == Existing::Replace)
        mode |= QIODevice::Truncate;
    if (!file->open(mode))
        throw FileError(file->errorString());
    if (!m_sync) {
        // Told on the sync thread; acted on here.
        m_sync = std::make_unique<LogSync>([this](quint64 number, const LogFailure &failure) {
            record(failure);
            QMetaObject::invokeMethod(
                this, [this, number, failure] { syncFailed(number, failure); },
                Qt::QueuedConnection);
        });
    }
    const quint64 number = m_sync->follow(file->handle(), fileName);
    if (number == 0)
        throw FileError(qt_error_string(errno));

    // follow() has handed the old file to its last sync; it closes here.
    m_file = std::move(file);
    m_syncNumber = number;
    m_identity = FileIdentity::ofDescriptor(m_file->handle());
    m_fileName = fileName;
    m_written = 0;
    qCInfo(lcLink).noquote() << "receive log on:" << m_fileName;
    emit stateChanged();
}

void ReceiveLog::stop() {
    if (!m_file)
        return;
    m_sync->finish(m_told.contains(m_syncNumber));
    m_file.reset();
    m_identity = FileIdentity();
    qCInfo(lcLink).noquote() << "receive log off:" << m_fileName << m_written << "bytes";
    emit stateChanged();
}

void ReceiveLog::append(QByteArrayView bytes) {
    if (!m_file || bytes.isEmpty())
        return;
    const qint64 written = writeAll(*m_file, bytes);
    m_written += written;
    if (written < bytes.size()) {
        const LogFailure failure{LogFailure::Kind::Write, m_fileName, m_file->errorString()};
        record(failure);
        fail(failure);
        return;
    }
    m_sync->written();
}

// Stops the log, which is on, and tells why, once.
void ReceiveLog::fail(const LogFailure &failure) {
    m_told.insert(m_syncNumber);
    stop();
    emit failed(failure);
}

void ReceiveLog::syncFailed(quint64 file, const LogFailure &failure) {
    // A write that failed meanwhile may have told of the file already.
    if (m_told.contains(file))
        return;
    if (m_file && file == m_syncNumber) {
        fail(failure);
        return;
    }
    m_told.insert(file);
    emit failed(failure);
}
