#include "saveprogressdialog.h"

#include "programtitle.h"

#include <QPushButton>
#include <QShortcut>

namespace {

constexpr int kSteps = 1000;

}  // namespace

SaveProgressDialog::SaveProgressDialog(const QString &path, QWidget *parent)
    : QProgressDialog(tr("Zapisywanie pliku\n%1").arg(path), QString(), 0, kSteps, parent),
      m_path(path),
      m_cancel(new QPushButton(tr("Anuluj"))) {
    setWindowTitle(QString::fromUtf8(kProgramTitle));
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumDuration(0);
    setAutoClose(false);
    setAutoReset(false);
    // The button and Escape ask; they do not hide the dialog themselves.
    setCancelButton(m_cancel);
    disconnect(this, SIGNAL(canceled()), this, SLOT(cancel()));
}

void SaveProgressDialog::showLastStep() {
    if (m_lastStep)
        return;
    m_lastStep = true;
    setLabelText(
        tr("Zapisywanie pliku\n%1\n\nOstatni krok: zapis na dysk. Nie można go już przerwać.")
            .arg(m_path));
    m_cancel->setEnabled(false);
    // Escape, which QProgressDialog gives a shortcut of its own.
    for (QShortcut *shortcut : findChildren<QShortcut *>()) shortcut->setEnabled(false);
}

void SaveProgressDialog::end() {
    m_ending = true;
    close();
}

void SaveProgressDialog::closeEvent(QCloseEvent *event) {
    // Not QProgressDialog's, which cancels: the window's close button asks
    // through reject(), as Escape does.
    QDialog::closeEvent(event);
}

void SaveProgressDialog::reject() {
    if (m_ending)
        QProgressDialog::reject();
    else if (!m_lastStep)
        emit canceled();
}
