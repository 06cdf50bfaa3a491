#include "receivelog.h"

#include "capturelog.h"
#include "descriptor.h"
#include "fileerror.h"
#include "writeall.h"

#include <QFile>
#include <QFileInfo>

ReceiveLog::ReceiveLog(FileClaims *claims, std::chrono::milliseconds tick)
    : m_claims(claims), m_tick(tick) {}

ReceiveLog::~ReceiveLog() {
    // Nobody is told: whoever listens is going too.
    const QSignalBlocker quiet(this);
    stop();
    // Waits for the last sync, whose failure goes to the log alone.
    m_sync.reset();
}

void ReceiveLog::record(const FileFailure &failure) {
    m_failed.store(true, std::memory_order_relaxed);
    qCCritical(lcCapture).noquote() << "receive log:" << failure.text();
}

void ReceiveLog::finish() {
    stop();
    m_sync.reset();
}

void ReceiveLog::checkClaim(const QString &path) const {
    if (m_claims)
        m_claims->check(path, &m_claim);
}

void ReceiveLog::start(const QString &path, Existing existing) {
    const QString fileName = QFileInfo(path).absoluteFilePath();
    FileClaims::Claim claim;
    if (m_claims)
        claim = m_claims->claim(FileClaims::Writer::ReceiveLog, fileName, &m_claim);
    QString reason;
    const int fd = Descriptor::openAppending(fileName, existing == Existing::Replace, &reason);
    if (fd < 0)
        throw FileError({FileFailure::Kind::Open, fileName, reason});
    auto file = std::make_unique<QFile>(fileName);
    // Unbuffered: every write() is the system's write, nothing waits in Qt.
    if (!file->open(fd, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle)) {
        Descriptor::close(fd);
        throw FileError({FileFailure::Kind::Open, fileName, file->errorString()});
    }
    if (!m_sync) {
        // Told on the sync thread; acted on here.
        m_sync = std::make_unique<LogSync>(
            [this](quint64 number, const FileFailure &failure) {
                if (failure.kind == FileFailure::Kind::Unverified)
                    qCWarning(lcCapture).noquote() << "receive log:" << failure.text();
                else
                    record(failure);
                QMetaObject::invokeMethod(
                    this, [this, number, failure] { syncFailed(number, failure); },
                    Qt::QueuedConnection);
            },
            m_tick);
    }
    const quint64 number = m_sync->follow(file->handle(), fileName);

    // follow() has handed the old file to its last sync; it closes here.
    m_file = std::move(file);
    m_syncNumber = number;
    m_identity = FileIdentity::ofDescriptor(m_file->handle());
    m_claim = std::move(claim);
    m_claim.pin(m_identity);
    m_fileName = fileName;
    m_written = 0;
    qCInfo(lcCapture).noquote() << "receive log on:" << m_fileName;
    emit stateChanged();
}

void ReceiveLog::stop() {
    if (!m_file)
        return;
    m_sync->finish(m_told.contains(m_syncNumber) ? LogSync::Failure::Told
                                                 : LogSync::Failure::Untold);
    m_file.reset();
    m_claim.release();
    m_identity = FileIdentity();
    qCInfo(lcCapture).noquote() << "receive log off:" << m_fileName << m_written << "bytes";
    emit stateChanged();
}

void ReceiveLog::append(QByteArrayView bytes) {
    if (!m_file || bytes.isEmpty())
        return;
    const qint64 written = writeAll(*m_file, bytes);
    m_written += written;
    if (written < bytes.size()) {
        const FileFailure failure{FileFailure::Kind::Write, m_fileName, m_file->errorString()};
        record(failure);
        fail(failure);
        return;
    }
    m_sync->written();
}

// Stops the log, which is on, and tells why, once.
void ReceiveLog::fail(const FileFailure &failure) {
    m_told.insert(m_syncNumber);
    stop();
    emit failed(failure);
}

void ReceiveLog::syncFailed(quint64 file, const FileFailure &failure) {
    // A write that failed meanwhile may have told of the file already.
    if (m_told.contains(file))
        return;
    if (failure.kind == FileFailure::Kind::Unverified) {
        if (m_file && file == m_syncNumber)
            emit unverified(failure);
        return;
    }
    if (m_file && file == m_syncNumber) {
        fail(failure);
        return;
    }
    m_told.insert(file);
    emit failed(failure);
}
