#include "consolerig.h"

#include "baselineview.h"
#include "dataview.h"
#include "form1.h"
#include "module1.h"
#include "mscomm.h"
#include "procstats.h"
#include "windowplacement.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWindow>

ConsoleRig::ConsoleRig(View view, PortDirectory ports)
    : m_view(view), m_services(std::move(ports)), m_window(new Form1(m_services)) {
    m_comm = m_window->findChild<MSComm *>(QStringLiteral("MSComm1"));
    if (view == View::Baseline)
        m_baseline = new BaselineView(m_window);
    // Connected after the window's handler, so it runs once the chunk is in
    // the view.
    connect(m_comm, &MSComm::onComm, this, &ConsoleRig::received);
}

ConsoleRig::~ConsoleRig() {
    delete m_window;
}

PortDirectory ConsoleRig::portsWith(int number, const QString &device) {
    PortDirectory ports = PortDirectory::fromEnvironment();
    ports.map(number, device);
    return ports;
}

DataView *ConsoleRig::dataView() const {
    return m_window->findChild<DataView *>(QStringLiteral("Text3"));
}

QWidget *ConsoleRig::paintTarget() const {
    return m_baseline ? m_baseline->editor()->viewport() : dataView()->viewport();
}

bool ConsoleRig::show(int timeoutMs) {
    centreOnScreen(m_window);
    m_window->show();
    const qint64 deadline = ProcStats::monotonicNs() + qint64(timeoutMs) * 1'000'000;
    while (ProcStats::monotonicNs() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (m_window->windowHandle() && m_window->windowHandle()->isExposed())
            return true;
    }
    return false;
}

bool ConsoleRig::openPort() {
    m_window->findChild<QLineEdit *>(QStringLiteral("Text7"))->setText(QStringLiteral("2"));
    m_window->findChild<QAbstractButton *>(QStringLiteral("Command1"))->click();
    return m_comm->portOpen();
}

QString ConsoleRig::viewText() const {
    return dataView()->text();
}

void ConsoleRig::received() {
    if (m_comm->commEvent() != MSComm::ComEvReceive)
        return;
    m_consumed += Module1::receiveBuffer.size();
    ++m_chunks;
    if (m_onReceived)
        m_onReceived();
}
