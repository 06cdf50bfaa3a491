#include "savefiledialog.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>

namespace SaveFileDialog {

QString defaultName(const QDateTime &when, const QString &suffix) {
    return when.toString(QStringLiteral("'kalvex-'yyyyMMdd-HHmmss.")) + suffix;
}

QFileDialog *open(QWidget *parent, const QString &title, const QStringList &filters,
                  const QString &suffix, Existing existing, const QString &folder) {
    auto *dialog = new QFileDialog(parent, title);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, existing == Existing::Accept);
    dialog->setNameFilters(filters);
    dialog->setDefaultSuffix(suffix);
    // The documents folder, where the desktop has one.
    QString start = folder;
    if (start.isEmpty() || !QDir(start).exists())
        start = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (start.isEmpty() || !QDir(start).exists())
        start = QDir::homePath();
    dialog->setDirectory(start);
    dialog->selectFile(defaultName(QDateTime::currentDateTime(), suffix));
    dialog->open();
    return dialog;
}

}  // namespace SaveFileDialog
