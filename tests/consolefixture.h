#pragma once

#include "consoleservices.h"
#include "form1.h"
#include "portdirectory.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QString>

class DataView;
class MSComm;

// The designed texts of the failure boxes of opening the port and of
// sending, as the operator reads them.
inline const QString kOpenFailure = QStringLiteral("Niewłaściwy numer portu lub port już otwarty");
inline const QString kSendFailure = QStringLiteral("Port zamknięty...");

// The main window as a test drives it: controls by their names, and the
// failure messages it shows.
class ConsoleFixture {
public:
    // The console's port numbers are mapped as the environment maps them
    // now (RS232_PORT_<n>), as the console reads them when it starts.
    explicit ConsoleFixture(PortDirectory ports = PortDirectory::fromEnvironment());
    ~ConsoleFixture();

    Form1 *window() const { return m_window; }
    // The services the window was handed, as the application owns them.
    ConsoleServices &services() { return m_services; }
    ReceiveLog *receiveLog() { return &m_services.log; }
    MSComm *comm() const;
    DataView *dataView() const;
    QAbstractButton *button(const char *name) const;
    QLineEdit *box(const char *name) const;

    void press(const char *name) const { button(name)->click(); }

    // The failure message boxes that are open, closing them; each entry is
    // the box's text.
    QStringList takeFailures();

private:
    ConsoleServices m_services;  // outlives the window
    QPointer<Form1> m_window;
};
