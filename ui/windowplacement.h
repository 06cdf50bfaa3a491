#pragma once

class QWidget;

// Places a top-level window, not yet shown, in the middle of the screen.
void centreOnScreen(QWidget *window);
