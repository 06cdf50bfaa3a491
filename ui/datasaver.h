#pragma once

#include "fileclaims.h"
#include "textsavejob.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class DataView;
class FileError;
class QAction;
class SaveProgressDialog;

// Saves the DATA view's whole text, as it stands when the save begins, to a
// file the operator names: one save at a time, its file claimed through
// FileClaims for as long as it runs. The file is replaced whole or left as it
// was: a failed, refused or cancelled save changes nothing on the disk, and a
// character that the chosen code page cannot hold is never replaced but
// reported where it stands. The failure reaches the operator as a box and the
// log (kalvex.save) with the system's reason.
//
// Cost on the window's thread: a snapshot of the view, which shares the
// text's pieces instead of copying them; encoding and writing run on the
// save's own thread (TextSaveJob), so the view goes on receiving. A timer
// polls the job's progress while it runs and shows it after half a second.
class DataSaver : public QObject {
    Q_OBJECT

public:
    using Encoding = TextEncoder::Encoding;
    using Lines = TextSaveJob::Lines;

    // Adds the entry to the view's own actions (its context menu lists them);
    // `claims`, when given, is where every save claims its file.
    explicit DataSaver(DataView *view, FileClaims *claims = nullptr);
    ~DataSaver() override;

    QAction *action() const { return m_action; }
    bool isSaving() const { return m_job != nullptr; }

    // Asks for the file, then saves.
    void saveAs() { chooseFile(Encoding::Windows1250, Lines::AsTheyAre, QString()); }
    // Saves the text as it stands now to path.
    void saveTo(const QString &path, Encoding encoding, Lines lines = Lines::AsTheyAre);

signals:
    // A save ended and what followed from it was shown.
    void finished(TextSaveJob::Result::Outcome outcome);

private:
    void chooseFile(Encoding encoding, Lines lines, const QString &folder);
    void jobFinished();
    void showProgress();
    void cancelRequested();
    void offerUtf8(const TextSaveJob::Result &result, const QString &path, Lines lines);
    void refuseLogFile(const FileError &refusal, Encoding encoding, Lines lines);

    DataView *m_view;
    FileClaims *m_claims;
    FileClaims::Claim m_claim;  // the file of the save under way
    QAction *m_action;
    TextSaveJob *m_job = nullptr;
    QTimer m_progressTimer;
    QElapsedTimer m_elapsed;
    QPointer<SaveProgressDialog> m_progress;
    bool m_progressShown = false;  // once closed, it stays closed
};
