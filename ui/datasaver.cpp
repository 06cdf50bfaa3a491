#include "datasaver.h"

#include "dataview.h"
#include "failurebox.h"
#include "programtitle.h"
#include "questionbox.h"
#include "savefiledialog.h"

#include <QAction>
#include <QFileDialog>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

// Saving the DATA view ("kalvex.save"): the system's reason when a save fails.
Q_LOGGING_CATEGORY(lcSave, "kalvex.save", QtInfoMsg)

namespace {

using Outcome = TextSaveJob::Result::Outcome;

// A save shows its progress once it has taken this long.
constexpr int kProgressAfterMs = 500;
constexpr int kProgressEveryMs = 50;
constexpr int kProgressSteps = 1000;

QString filterOf(DataSaver::Encoding encoding) {
    return encoding == DataSaver::Encoding::Utf8 ? DataSaver::tr("Tekst UTF-8 (*.txt)")
                                                 : DataSaver::tr("Tekst Windows-1250 (*.txt)");
}

}  // namespace

DataSaver::DataSaver(DataView *view)
    : QObject(view), m_view(view), m_action(new QAction(tr("Zapisz jako..."), view)) {
    m_action->setShortcut(QKeySequence::Save);
    m_action->setShortcutContext(Qt::WidgetShortcut);
    view->addAction(m_action);
    m_progressTimer.setInterval(kProgressEveryMs);
    connect(m_action, &QAction::triggered, this, &DataSaver::saveAs);
    connect(&m_progressTimer, &QTimer::timeout, this, &DataSaver::showProgress);
}

DataSaver::~DataSaver() {
    // A save that has begun is finished: its job waits for it.
    delete m_job;
}

void DataSaver::saveAs() {
    if (m_job)
        return;
    QFileDialog *dialog =
        SaveFileDialog::open(m_view->window(), tr("Zapisz jako"),
                             {filterOf(Encoding::Windows1250), filterOf(Encoding::Utf8)},
                             QStringLiteral("txt"), SaveFileDialog::Existing::ConfirmReplace);
    connect(dialog, &QFileDialog::fileSelected, this, [this, dialog](const QString &path) {
        saveTo(path, dialog->selectedNameFilter() == filterOf(Encoding::Utf8)
                         ? Encoding::Utf8
                         : Encoding::Windows1250);
    });
}

void DataSaver::saveTo(const QString &path, Encoding encoding) {
    if (m_job)
        return;
    m_job = new TextSaveJob(m_view->snapshot(), path, encoding);
    connect(m_job, &TextSaveJob::finished, this, &DataSaver::jobFinished);
    m_action->setEnabled(false);
    m_progressShown = false;
    m_elapsed.start();
    m_progressTimer.start();
    m_job->start();
}

void DataSaver::showProgress() {
    if (!m_progress) {
        // Closing the dialog cancelled the save; it does not come back.
        if (m_progressShown || m_elapsed.elapsed() < kProgressAfterMs)
            return;
        m_progressShown = true;
        m_progress = new QProgressDialog(tr("Zapisywanie pliku\n%1").arg(m_job->path()),
                                         tr("Anuluj"), 0, kProgressSteps, m_view->window());
        m_progress->setWindowTitle(QString::fromUtf8(kProgramTitle));
        m_progress->setAttribute(Qt::WA_DeleteOnClose);
        m_progress->setMinimumDuration(0);
        m_progress->setAutoClose(false);
        m_progress->setAutoReset(false);
        connect(m_progress, &QProgressDialog::canceled, m_job, &TextSaveJob::cancel);
        m_progress->show();
    }
    m_progress->setValue(int(m_job->done() * kProgressSteps / qMax<qint64>(1, m_job->total())));
}

void DataSaver::jobFinished() {
    m_progressTimer.stop();
    if (m_progress)
        m_progress->close();
    const TextSaveJob::Result result = m_job->result();
    const QString path = m_job->path();
    const Encoding encoding = m_job->encoding();
    delete m_job;
    m_job = nullptr;
    m_action->setEnabled(true);

    switch (result.outcome) {
        case Outcome::Saved:
            qCInfo(lcSave).noquote() << "saved" << path;
            break;
        case Outcome::Cancelled:
            break;
        case Outcome::Failed:
            qCWarning(lcSave).noquote() << path + QStringLiteral(":") << result.reason;
            showFailure(m_view->window(),
                        tr("Nie zapisano pliku\n%1\n\n%2").arg(path, result.reason));
            break;
        case Outcome::Unencodable:
            if (encoding == Encoding::Windows1250)
                offerUtf8(result, path);
            else
                showFailure(m_view->window(),
                            tr("Nie zapisano pliku\n%1\n\nZnak w wierszu %2, kolumnie %3 nie "
                               "jest pełnym znakiem Unicode.")
                                .arg(path)
                                .arg(result.line)
                                .arg(result.column));
            break;
    }
    emit finished(result.outcome);
}

// Nothing was written. The operator chooses UTF-8, or goes to the
// character, where the message says, to change it.
void DataSaver::offerUtf8(const TextSaveJob::Result &result, const QString &path) {
    const uint ucs = result.character.toUcs4().value(0);
    const QString code = QStringLiteral("U+%1").arg(ucs, 4, 16, QLatin1Char('0')).toUpper();
    QMessageBox *box = questionBox(
        m_view->window(), QMessageBox::Warning,
        tr("Znaku „%1” (%2) w wierszu %3, kolumnie %4 nie ma w stronie kodowej Windows-1250.\n\n"
           "Zapisać plik w UTF-8?")
            .arg(result.character, code)
            .arg(result.line)
            .arg(result.column));
    QPushButton *utf8 = box->addButton(tr("Zapisz w UTF-8"), QMessageBox::AcceptRole);
    box->addButton(tr("Anuluj"), QMessageBox::RejectRole);
    box->setDefaultButton(utf8);
    connect(box, &QMessageBox::finished, this, [this, box, utf8, path] {
        if (box->clickedButton() == utf8)
            saveTo(path, Encoding::Utf8);
    });
    box->open();
}
