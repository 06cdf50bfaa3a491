#pragma once

//
//  W A R N I N G
//  -------------
//
// This file is not part of the DATA view's API. It exists for the engine's
// own implementation and for its tests, which reach it through the
// kalvex_dataview_private target. It may change from version to version
// without notice, or even be removed.
//
// We mean it.
//

#include "textfinder.h"

#include <QDialog>

namespace Ui {
class FindBox;
}

// The small modeless box in which the operator finds text in the DATA view:
// the text to find, whether case matters, next and previous, and a line
// that says how the last search went. It belongs to the view's window:
// it closes when that window does and never keeps the application running.
// Escape closes it; F3 and Shift+F3 search again.
class FindBox : public QDialog {
    Q_OBJECT

public:
    explicit FindBox(QWidget *window);
    ~FindBox() override;

    QString text() const;
    void setText(const QString &text);
    Qt::CaseSensitivity caseSensitivity() const;
    // Puts the caret in the text to find, everything in it selected.
    void focusText();

    // How the last search went.
    void showFound(FindDirection direction, FindMatch::Route route);
    void showNotFound();

signals:
    void findRequested(FindDirection direction);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Ui::FindBox *ui;
};
