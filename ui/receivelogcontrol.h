#pragma once

#include "receivelog.h"

#include <QObject>

#include <optional>

class DataView;
class FileError;
class QAction;
class QLabel;

// What the operator sees of the receive log: "Zapisuj odbierane do pliku..."
// in the DATA view's context menu (Ctrl+L), checked while the log is on, and
// a label in the caption line of the "Dane" frame that names the file (its
// tooltip gives the whole path). Checking the entry asks for a file; for one
// that exists it asks whether to append or to replace, and cancelling any
// question starts nothing. Unchecking it stops the log.
//
// A log that fails shows one failure box naming the file and the reason,
// and the label says that the log stopped until another one starts. A path
// that cannot be looked at for half a minute is told in a box too, while
// the log goes on. A file
// that a save of the view is writing is refused, through any link: the save
// would put another file in its place. The operator is offered another name.
class ReceiveLogControl : public QObject {
    Q_OBJECT

public:
    // Adds the entry to the view's own actions; `indicator` is shown while
    // the log is on, or stopped by a failure.
    ReceiveLogControl(ReceiveLog *log, DataView *view, QLabel *indicator);

    QAction *action() const { return m_action; }

    // The entry: asks for a file when the log is off, stops it when on.
    void toggle();
    // Starts the log on path; a file that does not open is shown in the
    // failure box, and the log stays as it was.
    void start(const QString &path, ReceiveLog::Existing existing);

private:
    void chooseFile(const QString &folder);
    void fileChosen(const QString &path);
    // Refuses a file that another writer holds; returns whether it did.
    bool refuseClaimed(const QString &path);
    void showClaimed(const FileError &refusal);
    void showState();
    void showIndicator(const QString &mark, const QString &lead, const QString &fileName,
                       const QString &toolTip);
    void showFailed(const FileFailure &failure);
    // The log's path could not be looked at for a while: said once; the log
    // goes on.
    void showUnverified(const FileFailure &failure);

    ReceiveLog *m_log;
    DataView *m_view;
    QLabel *m_indicator;
    QAction *m_action;
    std::optional<FileFailure> m_stopped;  // why the log stopped, until it starts again
};
