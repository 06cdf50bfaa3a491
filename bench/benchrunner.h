#pragma once

#include "benchscale.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

// Runs every measurement, each in a console process of its own started from
// this program, the console's DATA view and the baseline one after the
// other, and gathers their figures.
class BenchRunner {
public:
    // `windowsBuild`: the folder where tools/package-windows.sh put the
    // Windows build, or empty; `windowsIngest`: the figures that
    // bench/wineingest.sh wrote, or empty.
    BenchRunner(QString self, QString consoleProgram, BenchScale scale, bool quick,
                QString windowsBuild = {}, QString windowsIngest = {});

    QJsonObject runAll();

private:
    QJsonObject runChild(const QString &scenario, const QString &view, qint64 level = 0);
    QJsonObject runStartup();
    QJsonObject runWindows();
    void progress(const QString &text) const;

    QString m_self;
    QString m_console;
    BenchScale m_scale;
    bool m_quick;
    QString m_windows;
    QString m_windowsIngest;
    qint64 m_startNs;
};
