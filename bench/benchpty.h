#pragma once

#include <QString>

// A pseudo-terminal standing in for the device: the console opens the slave
// side as its serial port; the benchmark writes the master side.
class BenchPty {
public:
    BenchPty();
    ~BenchPty();
    BenchPty(const BenchPty &) = delete;
    BenchPty &operator=(const BenchPty &) = delete;

    bool isValid() const { return m_master >= 0; }
    int masterFd() const { return m_master; }
    int slaveFd() const { return m_slave; }
    QString slaveName() const { return m_slaveName; }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slaveName;
};
