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

// "Zapisz jako..." of the DATA view (Ctrl+S): asks for a file and its type
// (Windows-1250, UTF-8, or Windows-1250 with each line's receive time in
// front), and saves the view's whole text as it stands then, the
// operator's edits included. A snapshot of the text is saved on a thread of
// its own (TextSaveJob), so the view goes on receiving; a save that takes
// longer than half a second shows its progress, with "Anuluj".
//
// A character that Windows-1250 cannot hold is never replaced: the operator
// is told where the first one is and offered UTF-8. A failed save changes no
// file and shows the failure box with the system's reason. "Anuluj" changes
// nothing, and is disabled for the last step, which cannot be cancelled.
//
// A save to the file the receive log is writing is refused, through any
// link: the save would put another file in its place, and the log would go
// on writing into the one taken away. The operator is offered another name.
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
