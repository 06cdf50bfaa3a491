#include "datasaver.h"

#include "dataview.h"
#include "failurebox.h"
#include "fileerror.h"
#include "questionbox.h"
#include "savefiledialog.h"
#include "saveprogressdialog.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>

// Saving the DATA view ("kalvex.save"): the system's reason when a save fails.
Q_LOGGING_CATEGORY(lcSave, "kalvex.save", QtInfoMsg)

namespace {

using Outcome = TextSaveJob::Result::Outcome;

// A save shows its progress once it has taken this long.
constexpr int kProgressAfterMs = 500;
constexpr int kProgressEveryMs = 50;

QString filterOf(DataSaver::Encoding encoding) {
    return encoding == DataSaver::Encoding::Utf8 ? DataSaver::tr("Tekst UTF-8 (*.txt)")
                                                 : DataSaver::tr("Tekst Windows-1250 (*.txt)");
}

// Windows-1250, each line with its receive time in front.
QString timedFilter() {
    return DataSaver::tr("Tekst z czasem odbioru (*.txt)");
}

}  // namespace

DataSaver::DataSaver(DataView *view, FileClaims *claims)
    : QObject(view),
      m_view(view),
      m_claims(claims),
      m_action(new QAction(tr("Zapisz jako..."), view)) {
    m_action->setShortcut(QKeySequence::Save);
    m_action->setShortcutContext(Qt::WidgetShortcut);
    view->addAction(m_action);
    m_progressTimer.setInterval(kProgressEveryMs);
    connect(m_action, &QAction::triggered, this, [this] { saveAs(); });
    connect(&m_progressTimer, &QTimer::timeout, this, &DataSaver::showProgress);
}

DataSaver::~DataSaver() {
    // A save that has begun is finished: its job waits for it.
    delete m_job;
}

void DataSaver::chooseFile(Encoding encoding, Lines lines, const QString &folder) {
    if (m_job)
        return;
    QFileDialog *dialog = SaveFileDialog::open(
        m_view->window(), tr("Zapisz jako"),
        {filterOf(Encoding::Windows1250), filterOf(Encoding::Utf8), timedFilter()},
        QStringLiteral("txt"), SaveFileDialog::Existing::ConfirmReplace, folder);
    dialog->selectNameFilter(lines == Lines::WithReceiveTimes ? timedFilter() : filterOf(encoding));
    connect(dialog, &QFileDialog::fileSelected, this, [this, dialog](const QString &path) {
        const QString filter = dialog->selectedNameFilter();
        saveTo(path, filter == filterOf(Encoding::Utf8) ? Encoding::Utf8 : Encoding::Windows1250,
               filter == timedFilter() ? Lines::WithReceiveTimes : Lines::AsTheyAre);
    });
}

void DataSaver::saveTo(const QString &path, Encoding encoding, Lines lines) {
    if (m_job)
        return;
    if (m_claims) {
        try {
            m_claim = m_claims->claim(FileClaims::Writer::Save, path);
        } catch (const FileError &e) {
            refuseLogFile(e, encoding, lines);
            return;
        }
    }
    m_job = new TextSaveJob(m_view->snapshot(), path, encoding, lines);
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
        m_progress = new SaveProgressDialog(m_job->path(), m_view->window());
        connect(m_progress, &SaveProgressDialog::canceled, this, &DataSaver::cancelRequested);
        m_progress->show();
    }
    if (m_job->inLastStep())
        m_progress->showLastStep();
    m_progress->setValue(
        int(m_job->done() * m_progress->maximum() / qMax<qint64>(1, m_job->total())));
}

void DataSaver::cancelRequested() {
    if (!m_job || !m_progress)
        return;
    // Too late once the last step has begun: the dialog says so, and stays
    // until the save ends.
    if (m_job->cancel())
        m_progress->end();
    else
        m_progress->showLastStep();
}

void DataSaver::jobFinished() {
    m_progressTimer.stop();
    if (m_progress)
        m_progress->end();
    const TextSaveJob::Result result = m_job->result();
    const QString path = m_job->path();
    const Encoding encoding = m_job->encoding();
    const Lines lines = m_job->lines();
    delete m_job;
    m_job = nullptr;
    m_claim.release();
    m_action->setEnabled(true);

    switch (result.outcome) {
        case Outcome::Saved:
            qCInfo(lcSave).noquote() << "saved" << path;
            break;
        case Outcome::Cancelled:
            break;
        case Outcome::Failed:
            qCWarning(lcSave).noquote() << result.failure.text();
            showFailure(m_view->window(),
                        tr("Nie zapisano pliku\n%1\n\n%2").arg(path, result.failure.reason));
            break;
        case Outcome::Unencodable:
            if (encoding == Encoding::Windows1250)
                offerUtf8(result, path, lines);
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
void DataSaver::offerUtf8(const TextSaveJob::Result &result, const QString &path, Lines lines) {
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
    connect(box, &QMessageBox::finished, this, [this, box, utf8, path, lines] {
        if (box->clickedButton() == utf8)
            saveTo(path, Encoding::Utf8, lines);
    });
    box->open();
}

// Nothing was written. The operator chooses another name, in the same folder.
// One save at a time: the file's other writer is the receive log.
void DataSaver::refuseLogFile(const FileError &refusal, Encoding encoding, Lines lines) {
    qCWarning(lcSave).noquote() << refusal.what();
    const QString &path = refusal.failure().fileName;
    offerAnotherName(
        m_view->window(),
        tr("Nie zapisano pliku\n%1\n\nDo tego pliku są zapisywane odbierane dane. Zapis widoku "
           "zastąpiłby go, a dane odebrane później zostałyby utracone.\n\nWybierz inną nazwę "
           "pliku.")
            .arg(QDir::toNativeSeparators(path)),
        path, this,
        [this, encoding, lines](const QString &folder) { chooseFile(encoding, lines, folder); });
}
