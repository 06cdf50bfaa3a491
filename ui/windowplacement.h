#pragma once

class QWidget;

// Places a top-level window, not yet shown, in the middle of the screen.
void centreOnScreen(QWidget *window);

// Places a window, not yet shown, right or left of `anchor` where the
// screen has room for it, so that it covers none of it; where it has none,
// the window is placed as the system places it.
void placeBeside(QWidget *window, const QWidget *anchor);
