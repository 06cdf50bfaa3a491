#pragma once

#include <QString>

class QWidget;

// Shows the modal failure message: the text, the program's title, a critical
// icon and a single OK button. The box is application-modal but does not
// block the caller, so the event loop (and reception) keeps running.
void showFailure(QWidget *parent, const QString &text);
