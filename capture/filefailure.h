#pragma once

#include <QString>

// The one way file capture reports a failure: which step failed, the file,
// and the system's reason. The receive log and a save of the DATA view both
// give it, thrown inside a FileError where the failure answers a request
// (starting the log) and handed over (a signal, a save's result) where it is
// found later. Windows show their designed texts; text() is for the log.
struct FileFailure {
    enum class Kind {
        Open,      // the file could not be opened or created
        Write,     // a write failed: the disk full, the stick pulled out
        Sync,      // a sync to the disk failed while the receive log was on
        LastSync,  // the sync when the receive log stopped failed
        Deleted,   // the receive log's path names no file now
        Replaced,  // the receive log's path names another file now
        // The receive log's path could not be looked at for a while; the log
        // goes on into its file.
        Unverified,
        Commit,  // a save's last step, the sync and the rename into place
        // Refused before anything was written: another writer holds the
        // file (FileClaims); the reason names it.
        Claimed,
    };
    Kind kind = Kind::Write;
    QString fileName;
    QString reason;  // the system's reason; empty for Deleted and Replaced

    // "file /home/op/capture.log: a sync to the disk failed: Input/output error"
    QString text() const;
};
