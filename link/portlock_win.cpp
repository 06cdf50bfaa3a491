#include "portlock.h"

// Windows opens a COM port exclusively itself: there is nothing to claim,
// and nothing on the system names another holder.

namespace PortLocks {

QString realDevice(const QString &device) {
    return device;
}

std::optional<Holder> lockFileHolder(const QString &) {
    return std::nullopt;
}

std::optional<Holder> flockHolder(const QString &) {
    return std::nullopt;
}

}  // namespace PortLocks

void PortLock::acquire(const QString &realDevice, const QString &) {
    m_openPath = realDevice;
}

void PortLock::release() {
    m_openPath.clear();
}
