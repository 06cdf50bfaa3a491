#include "aboutwindow.h"

#include "form2.h"
#include "windowplacement.h"

void AboutWindow::show() {
    if (!m_window) {
        m_window = new Form2;
        centreOnScreen(m_window);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
