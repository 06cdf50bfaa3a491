#include "questionbox.h"

#include "programtitle.h"

QMessageBox *questionBox(QWidget *parent, QMessageBox::Icon icon, const QString &text) {
    auto *box = new QMessageBox(icon, QString::fromUtf8(kProgramTitle), text, QMessageBox::NoButton,
                                parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    return box;
}
