#pragma once

#include "filefailure.h"
#include "textencoder.h"
#include "textsnapshot.h"

#include <QObject>
#include <QString>

#include <atomic>

class QThread;

// Saves a snapshot of the DATA view's text to a file, on a thread of its
// own: encoding, writing and the final sync to the disk never hold up the
// window's thread, so reception goes on. With receive times, each line
// (lines end at CR LF, CR or LF) is written with its receive time and a
// tab in front, a line without one with the tab alone. Atomic (QSaveFile): the file is
// written beside its place under another name and takes its place only when
// whole, so a save that fails or is cancelled changes nothing, and leaves
// nothing behind.
//
// A cancel holds until the last step, the sync to the disk and the rename
// into place, which cannot be interrupted: from then on cancel() says no,
// and the save ends as saved or failed.
class TextSaveJob : public QObject {
    Q_OBJECT

public:
    using Encoding = TextEncoder::Encoding;
    // What goes in front of each line.
    enum class Lines { AsTheyAre, WithReceiveTimes };

    struct Result {
        enum class Outcome { Saved, Failed, Cancelled, Unencodable };
        Outcome outcome = Outcome::Failed;
        FileFailure failure;      // Failed: which step, the file and the system's reason
        qsizetype position = -1;  // Unencodable: where the first such character is,
        qsizetype line = 0;       // on which line (lines end at CR LF, CR or LF)
        qsizetype column = 0;     // and column, both from 1,
        QString character;        // and the character itself
    };

    // How far write() got, in characters, and whether it is cancelled or in
    // its last step: whichever of the two comes first holds.
    class Control {
    public:
        // False once the last step has begun: the save goes on.
        bool cancel() { return take(Stage::Cancelled); }
        // False once cancelled: nothing is to be changed.
        bool beginLastStep() { return take(Stage::LastStep); }
        bool isCancelled() const { return m_stage.load() == Stage::Cancelled; }
        bool inLastStep() const { return m_stage.load() == Stage::LastStep; }

        std::atomic<qint64> done = 0;

    private:
        enum class Stage { Writing, Cancelled, LastStep };
        bool take(Stage stage) {
            Stage writing = Stage::Writing;
            return m_stage.compare_exchange_strong(writing, stage) || writing == stage;
        }
        std::atomic<Stage> m_stage = Stage::Writing;
    };

    TextSaveJob(TextSnapshot text, QString path, Encoding encoding, QObject *parent = nullptr);
    TextSaveJob(TextSnapshot text, QString path, Encoding encoding, Lines lines,
                QObject *parent = nullptr);
    // Waits for the thread: a save once begun is finished (or cancelled).
    ~TextSaveJob() override;

    QString path() const { return m_path; }
    Encoding encoding() const { return m_encoding; }
    Lines lines() const { return m_lines; }
    qint64 total() const { return m_text.size(); }
    qint64 done() const { return m_control.done.load(std::memory_order_relaxed); }
    // Whether the last step, which cannot be cancelled, has begun.
    bool inLastStep() const { return m_control.inLastStep(); }

    // Runs write() on a thread of its own; finished() follows.
    void start();
    // Returns whether the save will change nothing: false once its last
    // step has begun.
    bool cancel() { return m_control.cancel(); }
    // Once finished.
    const Result &result() const { return m_result; }

    // The save itself, on the calling thread.
    static Result write(const TextSnapshot &text, const QString &path, Encoding encoding,
                        Control &control, Lines lines = Lines::AsTheyAre);

signals:
    void finished();

private:
    TextSnapshot m_text;
    QString m_path;
    Encoding m_encoding;
    Lines m_lines = Lines::AsTheyAre;
    Control m_control;
    Result m_result;
    QThread *m_thread = nullptr;
};
