#include "scenariorecorder.h"

#include "codepage.h"
#include "linepattern.h"
#include "runreport.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text) {
    return QCoreApplication::translate("ScenarioRecorder", text);
}

}  // namespace

void ScenarioRecorder::start(const QString &header) {
    m_lines = header.split(u'\n', Qt::SkipEmptyParts);
    m_received.clear();
    m_commands = 0;
    m_recording = true;
}

void ScenarioRecorder::commandSent(QByteArrayView bytes) {
    if (!m_recording)
        return;
    // A message holding more CRs is as many commands on the wire.
    qsizetype start = 0;
    for (qsizetype cr = bytes.indexOf('\r'); cr >= 0; cr = bytes.indexOf('\r', start)) {
        const QString command = CodePage::decode(bytes.data() + start, cr - start);
        start = cr + 1;
        if (command.contains(u'\n')) {
            m_lines << tr("# pominięte polecenie z LF, którego plik nie zapisze: %1")
                           .arg(RunReport::visible(command));
            continue;
        }
        m_lines << QStringLiteral("> ") + command;
        ++m_commands;
    }
}

void ScenarioRecorder::received(QByteArrayView bytes) {
    if (!m_recording)
        return;
    m_received.feed(bytes, [this](const QString &line) { addReceived(line); });
}

void ScenarioRecorder::addReceived(const QString &line) {
    if (m_commands == 0)
        m_lines << tr("# odebrane przed pierwszym poleceniem: ") + RunReport::visible(line);
    else
        m_lines << QStringLiteral("< ") + LinePattern::escape(line);
}

void ScenarioRecorder::stop() {
    if (!m_recording)
        return;
    m_recording = false;
    if (!m_received.unfinished().isEmpty())
        m_lines << tr("# niedokończona linia, bez końca linii: ") +
                       RunReport::visible(CodePage::decode(m_received.unfinished()));
    m_received.clear();
}

QString ScenarioRecorder::text() const {
    return m_lines.join(u'\n') + u'\n';
}
