#pragma once

#include "form1.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QString>

class DataView;

class MSComm;

// The main window as a test drives it: controls by their names, and the
// failure messages it shows.
class ConsoleFixture {
public:
    ConsoleFixture();
    ~ConsoleFixture();

    Form1 *window() const { return m_window; }
    MSComm *comm() const;
    DataView *dataView() const;
    QAbstractButton *button(const char *name) const;
    QLineEdit *box(const char *name) const;

    void press(const char *name) const { button(name)->click(); }

    // The failure message boxes that are open, closing them; each entry is
    // the box's text.
    QStringList takeFailures();

private:
    QPointer<Form1> m_window;
};
