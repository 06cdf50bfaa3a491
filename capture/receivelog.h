#pragma once

#include "fileclaims.h"
#include "fileidentity.h"
#include "logsync.h"

#include <QByteArrayView>
#include <QObject>
#include <QSet>
#include <QString>

#include <atomic>
#include <memory>

class QFile;

// The receive log: every received chunk appended to one file, byte for
// byte, before anyone else sees it. It knows no port, no code page and no
// window, so it outlives closing and reopening the port.
//
// Promises: a chunk is the system's (write) when append() returns, so a
// crash of the console loses nothing; a power cut loses at most the last
// tick's worth, as the file is synced at most once a tick while bytes come
// and once more when the log stops. Costs: one write() system call per
// chunk on the caller's thread, nothing buffered; the syncs and a look at
// the path once a tick run on a thread of its own (LogSync), which
// finish() and the destructor wait for.
//
// "Synced" means synced, or it is told: a write, a sync, or the file at the
// log's path being deleted or replaced by another program (LogSync looks
// once a second) stops the log, and failed() tells it once, within a second
// of the failure whether bytes arrive or not; later chunks are not written.
// A path that cannot be looked at for a moment stops nothing; for half a
// minute, unverified() says so once, and the log goes on.
// A failure of the last sync, once the log has stopped, is told the same
// way; at the console's end, when nobody is left to tell, it goes to the
// log (standard error) alone, and hasFailed() says so after finish().
class ReceiveLog : public QObject {
    Q_OBJECT

public:
    // What becomes of what a file already holds.
    enum class Existing { Append, Replace };

    // `claims`, when given, is where the log claims its file; `tick`: how
    // often the file is synced and its path looked at.
    explicit ReceiveLog(FileClaims *claims = nullptr,
                        std::chrono::milliseconds tick = LogSync::kTick);
    ~ReceiveLog() override;

    bool isOn() const { return m_file != nullptr; }
    // The file written to while the log is on, as an absolute path.
    QString fileName() const { return m_fileName; }
    // Throws the FileError (FileFailure::Kind::Claimed) that start() would
    // throw for a file another writer holds; starts nothing.
    void checkClaim(const QString &path) const;
    // Bytes appended since the log started.
    qint64 written() const { return m_written; }
    // The sync thread's ticks begun so far (LogSync::ticks()).
    quint64 syncTicks() const { return m_sync ? m_sync->ticks() : 0; }

    // Starts the log on path, creating the file when it is missing; a log
    // that was on ends, unless the new file is claimed by another writer or
    // fails to open: then FileError (FileFailure::Kind::Claimed or Open)
    // says why and the log stays as it was.
    void start(const QString &path, Existing existing);
    // Stops the log and closes the file; its last sync follows on the sync
    // thread. Does nothing when the log is off.
    void stop();

    // Appends a received chunk, when the log is on.
    void append(QByteArrayView bytes);

    // Stops the log and waits for its last sync: the end of a run. The log
    // may start again.
    void finish();
    // Whether this log has failed since it was made, a last sync that
    // finish() waited for included: the console then ends with a failure
    // status, as tee does.
    bool hasFailed() const { return m_failed.load(std::memory_order_relaxed); }

signals:
    // Started or stopped, by request or by a failure.
    void stateChanged();
    // The log stopped for a failure, or its last sync failed.
    void failed(const FileFailure &failure);
    // The log's path could not be looked at for LogSync::kLookPatience ticks
    // (FileFailure::Kind::Unverified); the log goes on.
    void unverified(const FileFailure &failure);

private:
    void fail(const FileFailure &failure);
    // Said on standard error at the moment it is known: at the console's end
    // nobody else is left to say it. Any thread.
    void record(const FileFailure &failure);
    void syncFailed(quint64 file, const FileFailure &failure);

    FileClaims *const m_claims;
    FileClaims::Claim m_claim;  // held while the log is on
    const std::chrono::milliseconds m_tick;
    std::unique_ptr<LogSync> m_sync;  // made at the first start
    std::unique_ptr<QFile> m_file;
    quint64 m_syncNumber = 0;  // the file's number with m_sync
    FileIdentity m_identity;
    QString m_fileName;
    qint64 m_written = 0;
    QSet<quint64> m_told;  // files whose failure was told
    std::atomic<bool> m_failed = false;
};
