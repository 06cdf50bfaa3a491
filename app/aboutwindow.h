#pragma once

#include <QObject>
#include <QPointer>

#include "form2.h"

// The application's one About window instance. The instance lives until the
// application ends; its window is built from its design each time it is
// shown after being closed, and destroyed each time it is closed.
class AboutWindow : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Shows the window, building it first if it is not loaded. A window that
    // is already shown is only brought to the front.
    void show();

    // The loaded window, or null while it is not loaded.
    Form2 *window() const { return m_window; }

private:
    QPointer<Form2> m_window;
};
