#include "filefailure.h"

QString FileFailure::text() const {
    QString what;
    switch (kind) {
        case Kind::Open:
            what = QStringLiteral("cannot be opened: ") + reason;
            break;
        case Kind::Write:
            what = QStringLiteral("a write failed: ") + reason;
            break;
        case Kind::Sync:
            what = QStringLiteral("a sync to the disk failed: ") + reason;
            break;
        case Kind::LastSync:
            what = QStringLiteral("the last sync to the disk failed: ") + reason +
                   QStringLiteral("; the file may lack what came last");
            break;
        case Kind::Deleted:
            what = QStringLiteral("it was deleted: its path names no file now");
            break;
        case Kind::Replaced:
            what = QStringLiteral(
                "it was replaced by another program: its path names another file now");
            break;
        case Kind::Unverified:
            what = QStringLiteral("its path cannot be looked at: ") + reason +
                   QStringLiteral("; the log goes on into the file");
            break;
        case Kind::Claimed:
            what = QStringLiteral("refused: ") + reason;
            break;
        case Kind::Commit:
            what = QStringLiteral("the last step (sync and rename into place) failed: ") + reason;
            break;
    }
    return QStringLiteral("file %1: %2").arg(fileName, what);
}
