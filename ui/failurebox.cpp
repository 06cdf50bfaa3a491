#include "failurebox.h"

#include "programtitle.h"

#include <QMessageBox>

void showFailure(QWidget *parent, const QString &text) {
    auto *box = new QMessageBox(QMessageBox::Critical, QString::fromUtf8(kProgramTitle), text,
                                QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
}
