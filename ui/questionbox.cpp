#include "questionbox.h"

#include "programtitle.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPushButton>

QMessageBox *questionBox(QWidget *parent, QMessageBox::Icon icon, const QString &text) {
    auto *box = new QMessageBox(icon, QString::fromUtf8(kProgramTitle), text, QMessageBox::NoButton,
                                parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    return box;
}

void offerAnotherName(QWidget *parent, const QString &text, const QString &path, QObject *context,
                      std::function<void(const QString &folder)> choose) {
    QMessageBox *box = questionBox(parent, QMessageBox::Warning, text);
    QPushButton *other =
        box->addButton(QCoreApplication::translate("QuestionBox", "Wybierz inną nazwę..."),
                       QMessageBox::AcceptRole);
    box->addButton(QCoreApplication::translate("QuestionBox", "Anuluj"), QMessageBox::RejectRole);
    box->setDefaultButton(other);
    QObject::connect(box, &QMessageBox::finished, context,
                     [box, other, folder = QFileInfo(path).absolutePath(), choose] {
                         if (box->clickedButton() == other)
                             choose(folder);
                     });
    box->open();
}
