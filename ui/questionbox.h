#pragma once

#include <QMessageBox>

#include <functional>

class QWidget;

// A question to the operator, with the program's title: the caller adds its
// buttons, connects finished() and calls open(). It is window-modal, does not
// block the caller, and deletes itself once answered.
QMessageBox *questionBox(QWidget *parent, QMessageBox::Icon icon, const QString &text);

// A file refused: a warning with the program's title that says why (`text`)
// and offers another name. "Wybierz inną nazwę..." calls `choose` with the
// refused file's folder, while `context` lives; "Anuluj" does nothing.
void offerAnotherName(QWidget *parent, const QString &text, const QString &path, QObject *context,
                      std::function<void(const QString &folder)> choose);
