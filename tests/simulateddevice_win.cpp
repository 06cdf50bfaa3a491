#include "simulateddevice.h"

#include "nullmodemclient.h"

SimulatedDevice::SimulatedDevice(QStringList arguments) : m_arguments(std::move(arguments)) {}

SimulatedDevice::~SimulatedDevice() {
    if (m_portName.isEmpty())
        return;
    NullModem::list(m_portName, false);
    NullModem::request(QStringLiteral("free ") + m_portName);
}

bool SimulatedDevice::start() {
    if (m_portName.isEmpty()) {
        const auto port = NullModem::request(QStringLiteral("simulator ") + m_arguments.join(u' '));
        if (!port || port->size() != 1)
            return false;
        m_portName = port->first();
    } else if (!NullModem::request(QStringLiteral("plug ") + m_portName)) {
        return false;
    }
    return NullModem::list(m_portName, true);
}

void SimulatedDevice::kill() {
    NullModem::list(m_portName, false);
    NullModem::request(QStringLiteral("pull ") + m_portName);
}
