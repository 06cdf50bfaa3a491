#pragma once

#include <QString>
#include <QStringList>

#include <optional>

struct xcb_connection_t;

// Starts the console's real program and times it from the start of its
// process to the mapping of its main window, by watching the X server's root
// window for the map; then weighs its memory once it has been idle a while.
class StartupProbe {
public:
    struct Run {
        double toMappedMs = 0;
        double idleRssMiB = 0;
    };

    StartupProbe();
    ~StartupProbe();
    StartupProbe(const StartupProbe &) = delete;
    StartupProbe &operator=(const StartupProbe &) = delete;

    bool isValid() const { return m_connection != nullptr; }
    QString error() const { return m_error; }

    // One start of `program` with `arguments`, which is ended afterwards.
    std::optional<Run> measure(const QString &program, const QStringList &arguments = {},
                               int idleMs = 1000, int timeoutMs = 20'000);

private:
    bool ownsWindow(unsigned window, qint64 pid);

    xcb_connection_t *m_connection = nullptr;
    unsigned m_root = 0;
    unsigned m_pidAtom = 0;
    QString m_error;
};
