#include "demosimulator.h"

#include "childlifetime.h"
#include "portdirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

// The demo's log ("kalvex.demo"); at debug level, the simulator's own log too.
Q_LOGGING_CATEGORY(lcDemo, "kalvex.demo", QtInfoMsg)

namespace {

constexpr int kPort = 2;
constexpr auto kSimulatorName = "kalvex-sim";
// Generated lines on the card, so that "Odczytaj wszystko" shows something.
constexpr auto kPreloadedLines = "20";
// How long the simulator may take to end and remove its link.
constexpr int kEndMs = 3000;

}  // namespace

DemoSimulator::DemoSimulator(QObject *parent) : QObject(parent) {}

DemoSimulator::~DemoSimulator() {
    stop();
}

QString DemoSimulator::simulatorPath() {
    const QString name = QString::fromLatin1(kSimulatorName);
    const QDir here(QCoreApplication::applicationDirPath());
    for (const QString &candidate :
         {here.filePath(name), here.filePath(QStringLiteral("../simulator/") + name)}) {
        const QFileInfo file(candidate);
        if (file.isFile() && file.isExecutable())
            return file.canonicalFilePath();
    }
    return QStandardPaths::findExecutable(name);
}

void DemoSimulator::start(PortDirectory &ports) {
    if (m_process)
        return;
    if (const auto mapped = ports.mapping(kPort)) {
        qCInfo(lcDemo, "port %d is %s (%s): no simulator started", kPort, qUtf8Printable(*mapped),
               qUtf8Printable(PortNumber::mappingVariable(kPort)));
        return;
    }
    const QString program = simulatorPath();
    if (program.isEmpty()) {
        qCWarning(lcDemo, "%s is neither beside %s nor on PATH: no simulator on port %d",
                  kSimulatorName, qUtf8Printable(QCoreApplication::applicationDirPath()), kPort);
        return;
    }
    m_linkDir = std::make_unique<QTemporaryDir>(
        QDir::temp().filePath(QStringLiteral("rs232-kalvex-demo-XXXXXX")));
    if (!m_linkDir->isValid()) {
        qCWarning(lcDemo, "no folder for the simulator's link: %s",
                  qUtf8Printable(m_linkDir->errorString()));
        return;
    }
    const QString link = m_linkDir->filePath(QStringLiteral("port2"));

    QStringList arguments{QStringLiteral("--preload"), QString::fromLatin1(kPreloadedLines),
                          QStringLiteral("--link"), link};
    if (!lcDemo().isDebugEnabled())
        arguments.prepend(QStringLiteral("--quiet"));
    m_process = new QProcess(this);
    m_process->setProgram(program);
    m_process->setArguments(arguments);
    // Its first line, the pty's path, says that it serves; the link names
    // the pty here.
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(m_process, &QProcess::readyReadStandardOutput, this, [this] {
        m_process->readAllStandardOutput();
        becomeReady();
    });
    ChildLifetime::endWithThisProcess(m_process);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        becomeReady();
        qCWarning(lcDemo, "%s did not start: %s; port %d has no device",
                  qUtf8Printable(m_process->program()), qUtf8Printable(m_process->errorString()),
                  kPort);
    });
    connect(m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        becomeReady();
        qCWarning(lcDemo, "the simulator ended (%s %d): port %d has no device any more",
                  status == QProcess::CrashExit ? "signal" : "exit code", code, kPort);
    });

    ports.map(kPort, link);
    m_ready = false;
    m_process->start();
    qCInfo(lcDemo, "port %d is the device simulator %s (%s)", kPort, qUtf8Printable(program),
           qUtf8Printable(link));
}

void DemoSimulator::becomeReady() {
    if (m_ready)
        return;
    m_ready = true;
    emit ready();
}

void DemoSimulator::stop() {
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    disconnect(m_process, &QProcess::finished, this, nullptr);
    m_process->terminate();
    if (!m_process->waitForFinished(kEndMs)) {
        qCWarning(lcDemo, "the simulator did not end on SIGTERM; killed");
        m_process->kill();
        m_process->waitForFinished(kEndMs);
    }
}
