#pragma once

#include "receivelog.h"

#include <QObject>

#include <optional>

class DataView;
class FileError;
class QAction;
class QLabel;

// The receive log's side of the window: an entry of the DATA view's own
// actions that starts the log on a file the operator chooses and stops it,
// and a label that shows the log's state. The entry and the label follow
// the log's state, never the click: a question cancelled, a file refused
// or one that does not open leaves the log as it was. Every failure the log
// reports is shown once, with the file and the reason; it keeps no state of
// its own beyond the last failure, which the label shows until the log
// starts again.
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
