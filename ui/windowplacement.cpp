#include "windowplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>

void centreOnScreen(QWidget *window) {
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    window->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window->size(),
                                            screen->availableGeometry()));
}

void placeBeside(QWidget *window, const QWidget *anchor) {
    const QScreen *screen = anchor->screen();
    if (!screen)
        return;
    const QRect room = screen->availableGeometry();
    const QRect beside = anchor->frameGeometry();
    // The window's frame is not known before it is shown: a margin for it.
    constexpr int kGap = 12;
    const QSize size = window->size();
    const int top =
        qBound(room.top(), beside.top(), qMax(room.top(), room.bottom() - size.height()));
    for (const int left : {beside.right() + kGap, beside.left() - kGap - size.width()}) {
        if (left >= room.left() && left + size.width() <= room.right()) {
            window->move(left, top);
            return;
        }
    }
}
