#include "replugwatch.h"

// COM ports are no files: no folder shows them coming back, and the look
// once a second asks the system's listing.

void ReplugWatch::watchForDevice() {}

std::optional<QString> ReplugWatch::locate() {
    return findAmong(*m_port, m_port->device, m_ports.systemPorts());
}

// Pseudo-terminals are Unix's.
std::optional<ReplugWatch::LinkIdentity> ReplugWatch::ptyLink(const QString &) {
    return std::nullopt;
}
