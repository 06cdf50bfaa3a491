#include "runreport.h"

#include <QFileInfo>
#include <QXmlStreamWriter>

namespace RunReport {

QString visible(const QString &line) {
    QString out;
    out.reserve(line.size());
    for (const QChar c : line) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0))
            out += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString duration(qint64 us) {
    if (us >= 10'000)
        return QStringLiteral("%1 ms").arg((us + 500) / 1000);
    // Two figures below 10 ms: a device at full speed answers in tens of
    // microseconds.
    return QStringLiteral("%1 ms").arg(double(us) / 1000, 0, 'f', us >= 1000 ? 1 : 2);
}

QString failureText(const StepResult &result) {
    using Fault = StepResult::Fault;
    if (result.outcome == StepResult::Outcome::Stopped)
        return QStringLiteral("stopped");
    if (result.outcome != StepResult::Outcome::Failed)
        return {};
    const QString expected =
        QStringLiteral("line %1 expected \"%2\"").arg(result.line).arg(visible(result.expected));
    switch (result.fault) {
        case Fault::Mismatch:
            return expected + QStringLiteral(", received \"%1\"").arg(visible(result.received));
        case Fault::Timeout:
            if (result.skipping)
                return expected + QStringLiteral(", no line matched within %1 ms (%2 skipped)")
                                      .arg(result.timeoutMs)
                                      .arg(result.skipped);
            return expected +
                   QStringLiteral(", received nothing within %1 ms").arg(result.timeoutMs);
        case Fault::PortFailed:
            return (result.expected.isEmpty() ? QStringLiteral("line %1").arg(result.line)
                                              : expected) +
                   QStringLiteral(": the port failed: %1").arg(result.reason);
        case Fault::SendFailed:
            return QStringLiteral("line %1 could not be sent: %2")
                .arg(result.line)
                .arg(result.reason);
        case Fault::None:
            break;
    }
    return {};
}

QString stepLine(qsizetype index, const ScenarioStep &step, const StepResult &result) {
    const QString head = QStringLiteral("%1 - > %2").arg(index + 1).arg(visible(step.command));
    if (result.passed())
        return QStringLiteral("ok %1 (%2)").arg(head, duration(result.elapsedUs));
    return QStringLiteral("not ok %1: %2").arg(head, failureText(result));
}

QString summary(const QList<StepResult> &results) {
    qsizetype passed = 0, notRun = 0;
    for (const StepResult &r : results) {
        passed += r.passed() ? 1 : 0;
        notRun += r.outcome == StepResult::Outcome::NotRun ? 1 : 0;
    }
    const qsizetype failed = results.size() - passed - notRun;
    QString text = QStringLiteral("%1 passed, %2 failed").arg(passed).arg(failed);
    if (notRun > 0)
        text += QStringLiteral(", %1 not run").arg(notRun);
    return text;
}

}  // namespace RunReport

JUnitReport::JUnitReport(QIODevice *device) : m_xml(std::make_unique<QXmlStreamWriter>(device)) {
    m_xml->setAutoFormatting(true);
    m_xml->writeStartDocument();
    m_xml->writeStartElement(QStringLiteral("testsuites"));
}

JUnitReport::~JUnitReport() = default;

namespace {

QString seconds(qint64 us) {
    return QString::number(double(qMax<qint64>(us, 0)) / 1e6, 'f', 6);
}

}  // namespace

void JUnitReport::addRun(const Scenario &scenario, const QList<StepResult> &results, int run,
                         const QDateTime &started, qint64 elapsedUs) {
    const QString name = QFileInfo(scenario.fileName).completeBaseName();
    qsizetype failures = 0, skipped = 0;
    for (const StepResult &r : results) {
        failures += r.outcome == StepResult::Outcome::Failed ? 1 : 0;
        skipped +=
            r.outcome == StepResult::Outcome::NotRun || r.outcome == StepResult::Outcome::Stopped
                ? 1
                : 0;
    }
    QXmlStreamWriter &xml = *m_xml;
    xml.writeStartElement(QStringLiteral("testsuite"));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("%1 run %2").arg(name).arg(run));
    xml.writeAttribute(QStringLiteral("tests"), QString::number(results.size()));
    xml.writeAttribute(QStringLiteral("failures"), QString::number(failures));
    xml.writeAttribute(QStringLiteral("errors"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("skipped"), QString::number(skipped));
    xml.writeAttribute(QStringLiteral("time"), seconds(elapsedUs));
    xml.writeAttribute(QStringLiteral("timestamp"), started.toString(Qt::ISODate));
    const QList<ScenarioStep> &steps = scenario.steps();
    for (qsizetype i = 0; i < steps.size() && i < results.size(); ++i) {
        const StepResult &r = results.at(i);
        xml.writeStartElement(QStringLiteral("testcase"));
        xml.writeAttribute(QStringLiteral("classname"), name);
        xml.writeAttribute(QStringLiteral("name"), QStringLiteral("%1 > %2").arg(i + 1).arg(
                                                       RunReport::visible(steps.at(i).command)));
        xml.writeAttribute(QStringLiteral("time"), seconds(r.elapsedUs));
        switch (r.outcome) {
            case StepResult::Outcome::Failed: {
                const QString text = RunReport::failureText(r);
                xml.writeStartElement(QStringLiteral("failure"));
                xml.writeAttribute(QStringLiteral("message"), text);
                xml.writeCharacters(QStringLiteral("%1 (line %2 of %3)\n")
                                        .arg(text)
                                        .arg(steps.at(i).line)
                                        .arg(scenario.fileName));
                xml.writeEndElement();
                break;
            }
            case StepResult::Outcome::Stopped:
                xml.writeEmptyElement(QStringLiteral("skipped"));
                xml.writeAttribute(QStringLiteral("message"), QStringLiteral("stopped"));
                break;
            case StepResult::Outcome::NotRun:
            case StepResult::Outcome::Running:
                xml.writeEmptyElement(QStringLiteral("skipped"));
                xml.writeAttribute(QStringLiteral("message"),
                                   QStringLiteral("not run: an earlier step failed"));
                break;
            case StepResult::Outcome::Passed:
                break;
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();
}

bool JUnitReport::finish() {
    m_xml->writeEndElement();
    m_xml->writeEndDocument();
    return !m_xml->hasError();
}
