#include "simulateddevice.h"

SimulatedDevice::SimulatedDevice(QStringList arguments)
    : m_arguments(std::move(arguments)), m_portName(m_dir.filePath(QStringLiteral("device"))) {}

SimulatedDevice::~SimulatedDevice() {
    kill();
}

bool SimulatedDevice::start() {
    m_process.start(QStringLiteral(KALVEX_SIM_PATH),
                    m_arguments + QStringList{QStringLiteral("--link"), m_portName});
    if (!m_process.waitForStarted())
        return false;
    // Its first line, the pty's path, comes once the link is made.
    while (!m_process.canReadLine())
        if (!m_process.waitForReadyRead(5000))
            return false;
    return m_process.readLine().startsWith("/dev/");
}

void SimulatedDevice::kill() {
    m_process.kill();
    m_process.waitForFinished(5000);
}
