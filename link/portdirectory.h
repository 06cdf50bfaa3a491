#pragma once

#include "portnumber.h"
#include "sysfsports.h"

#include <QList>
#include <QProcessEnvironment>
#include <QString>

#include <optional>

// Which device each port number names on this machine: the system's serial
// ports, read afresh at every look so that an adapter plugged in a moment
// ago is found, under the operator's mappings (RS232_PORT_<n>), which are
// fixed when the console starts.
//
// A value: whoever builds the console reads the environment once, adds what
// it maps itself (the demo's simulator), and hands a copy to each part that
// looks ports up. Tests give mappings and sysfs trees of their own.
//
// Cost of a look: lookUp() of a mapped number reads nothing; otherwise a
// look lists the system's ports (sysfsports.h on Linux, never opening one).
class PortDirectory {
public:
    explicit PortDirectory(PortNumber::Mappings mappings = {}, SysfsPorts::Roots roots = {})
        : m_mappings(std::move(mappings)), m_roots(std::move(roots)) {}

    // The mappings of this environment, the process's own unless given, over
    // the system's own roots.
    static PortDirectory fromEnvironment(
        const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

    const PortNumber::Mappings &mappings() const { return m_mappings; }
    const SysfsPorts::Roots &roots() const { return m_roots; }
    // The device mapped to number n, if any.
    std::optional<QString> mapping(int number) const;
    // Maps number n to a device, over any mapping it had.
    void map(int number, const QString &device) { m_mappings.insert(number, device); }

    // The system's serial ports now.
    QList<PortNumber::PortRecord> systemPorts() const;
    // Every number that names a port now, in ascending order.
    QList<PortNumber::NumberedPort> numbered() const;
    // What number n opens now, or nothing when it names no port.
    std::optional<PortNumber::NumberedPort> lookUp(int number) const;

private:
    PortNumber::Mappings m_mappings;
    SysfsPorts::Roots m_roots;
};
