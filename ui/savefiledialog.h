#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

class QFileDialog;
class QWidget;

// Qt's standard file dialog, asking where to write a file: it opens in the
// user's documents with the name kalvex-YYYYMMDD-HHMMSS and the suffix, and
// a whole path typed into the name field is taken as it is. It is
// window-modal, does not block the caller (QFileDialog::open()) and deletes
// itself when closed.
namespace SaveFileDialog {

// What the dialog does when the operator chooses a file that exists.
enum class Existing {
    ConfirmReplace,  // asks whether to replace it
    Accept,          // takes it: the caller asks what to do with it
};

// `filters` in the order shown, the first selected; `folder`, when given,
// instead of the documents.
QFileDialog *open(QWidget *parent, const QString &title, const QStringList &filters,
                  const QString &suffix, Existing existing, const QString &folder = {});

// The name the dialog offers at `when`.
QString defaultName(const QDateTime &when, const QString &suffix);

}  // namespace SaveFileDialog
