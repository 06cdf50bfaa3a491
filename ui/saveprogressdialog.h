#pragma once

#include <QProgressDialog>

class QPushButton;

// The progress of a save that takes a while, with "Anuluj". Cancelling is a
// request, canceled(), that the dialog itself does not act on: whoever runs
// the save ends the dialog when the save will change nothing. Its last step
// (the sync to the disk and the rename into place) cannot be cancelled:
// showLastStep() says so and disables "Anuluj", and neither Escape nor the
// window's close button asks for a cancel from then on. So the window never
// shows a cancel that did not happen.
class SaveProgressDialog : public QProgressDialog {
    Q_OBJECT

public:
    // Deletes itself once ended.
    SaveProgressDialog(const QString &path, QWidget *parent);

    void showLastStep();
    bool showsLastStep() const { return m_lastStep; }
    // Closes the dialog: the save has ended, or will change nothing.
    void end();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    QString m_path;
    QPushButton *m_cancel;
    bool m_lastStep = false;
    bool m_ending = false;
};
