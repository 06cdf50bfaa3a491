#pragma once

#include <QMessageBox>

class QWidget;

// A question to the operator, with the program's title: the caller adds its
// buttons, connects finished() and calls open(). It is window-modal, does not
// block the caller, and deletes itself once answered.
QMessageBox *questionBox(QWidget *parent, QMessageBox::Icon icon, const QString &text);
