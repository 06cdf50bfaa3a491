#include "receivelog.h"

#include "fileerror.h"
#include "linklog.h"
#include "logsync.h"
#include "writeall.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

ReceiveLog::ReceiveLog(QObject *parent) : QObject(parent) {}

ReceiveLog::~ReceiveLog() {
    // Nobody is told: whoever listens is going too.
    const QSignalBlocker quiet(this);
    stop();
    // m_sync's destructor waits for the last sync.
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
    if (!m_sync)
        m_sync = std::make_unique<LogSync>();
    if (!m_sync->follow(file->handle()))
        throw FileError(qt_error_string(errno));

    // follow() has finished the old file's sync; the old file closes here.
    m_file = std::move(file);
    m_fileName = fileName;
    m_written = 0;
    qCInfo(lcLink).noquote() << "receive log on:" << m_fileName;
    emit stateChanged();
}

void ReceiveLog::stop() {
    if (!m_file)
        return;
    m_sync->finish();
    m_file.reset();
    qCInfo(lcLink).noquote() << "receive log off:" << m_fileName << m_written << "bytes";
    emit stateChanged();
}

void ReceiveLog::append(QByteArrayView bytes) {
    if (!m_file || bytes.isEmpty())
        return;
    const qint64 written = writeAll(*m_file, bytes);
    m_written += written;
    if (written < bytes.size()) {
        fail(m_file->errorString());
        return;
    }
    m_sync->written();
    if (m_sync->hasFailed())
        fail(m_sync->takeFailure());
}

void ReceiveLog::fail(const QString &reason) {
    const QString fileName = m_fileName;
    qCWarning(lcLink).noquote() << "receive log stopped:" << fileName << reason;
    stop();
    emit failed(fileName, reason);
}
