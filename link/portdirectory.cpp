#include "portdirectory.h"

PortDirectory PortDirectory::fromEnvironment(const QProcessEnvironment &env) {
    return PortDirectory(PortNumber::mappingsFrom(env));
}

std::optional<QString> PortDirectory::mapping(int number) const {
    if (const auto it = m_mappings.constFind(number); it != m_mappings.cend())
        return *it;
    return std::nullopt;
}

QList<PortNumber::PortRecord> PortDirectory::systemPorts() const {
    return PortNumber::systemPorts(m_roots);
}

QList<PortNumber::NumberedPort> PortDirectory::numbered() const {
    return PortNumber::numberPorts(systemPorts(), m_mappings);
}

std::optional<PortNumber::NumberedPort> PortDirectory::lookUp(int number) const {
    // A mapped number needs no listing.
    const bool mapped = m_mappings.contains(number);
    return PortNumber::numberedPort(
        number, mapped ? QList<PortNumber::PortRecord>() : systemPorts(), m_mappings);
}
