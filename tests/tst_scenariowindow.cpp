// The window "Scenariusz testu" in the console, against a pty playing the
// device: a run with its ✔ and ✘, the command buttons locked meanwhile, a
// recording of the operator's presses replayed, a device that vanishes,
// and the console closed in the middle of a run.
#include "codepage.h"
#include "consolefixture.h"
#include "dataview.h"
#include "mscomm.h"
#include "ptydevice.h"
#include "scenariorunner.h"
#include "scenariowindow.h"
#include "steplistmodel.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The console with its scenario window, and the device's side of port 2.
class ScenarioFixture : public ConsoleFixture {
public:
    ScenarioWindow *scenario() const { return window()->scenarioWindow(); }
    StepListModel *steps() const { return scenario()->model(); }
    QString note(int row) const {
        return steps()->data(steps()->index(row, StepListModel::NoteColumn)).toString();
    }
    QString mark(int row) const {
        return steps()->data(steps()->index(row, StepListModel::ResultColumn)).toString();
    }
    QString summary() const { return scenario()->findChild<QLabel *>("summaryLabel")->text(); }
    void pressInScenario(const char *name) const {
        scenario()->findChild<QPushButton *>(name)->click();
    }

    // Writes `text` as a scenario file and loads it.
    bool load(const QByteArray &text) {
        const QString path = m_dir.filePath(QStringLiteral("scenario.txt"));
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() &&
               (file.close(), scenario()->load(path));
    }
    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

    // The device reads a command and answers it.
    bool answer(PtyDevice &pty, const QByteArray &command, const QByteArray &reply) {
        const QByteArray got = pty.readAtLeast(command.size());
        if (got != command) {
            qWarning("the device got \"%s\", not \"%s\"", got.constData(), command.constData());
            return false;
        }
        return reply.isEmpty() || pty.send(reply);
    }

    bool waitForRunEnd() {
        ScenarioRunner *runner = scenario()->runner();
        return QTest::qWaitFor([runner] { return !runner->isRunning(); }, 5000);
    }

private:
    QTemporaryDir m_dir;
};

}  // namespace

class TestScenarioWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void runMarksEachStepAndStopsAtTheFailedOne();
    void recordingOfPressesReplays();
    void vanishingDeviceFailsTheStep();
    void closingTheConsoleStopsTheRun();

private:
    std::unique_ptr<PtyDevice> m_pty;
};

void TestScenarioWindow::init() {
    m_pty = std::make_unique<PtyDevice>();
    QVERIFY(m_pty->isValid());
    m_pty->mapToPort(2);
}

void TestScenarioWindow::runMarksEachStepAndStopsAtTheFailedOne() {
    ScenarioFixture c;
    // A malformed file is refused with its line, and nothing is loaded.
    QVERIFY(!c.load("> DSTA\n< OK CF READY\n> DSIZ\nexpect SIZE\n"));
    const QStringList failures = c.takeFailures();
    QCOMPARE(failures.size(), 1);
    QVERIFY2(failures.first().contains(QStringLiteral("Wiersz 4: „expect SIZE”")),
             qPrintable(failures.first()));
    QCOMPARE(c.steps()->rowCount(), 0);

    QVERIFY(c.load("> DSTA\n< OK CF READY\n> DSIZ\n< SIZE 1048576\n> DFRE\n< FREE *\n"));
    QVERIFY(!c.comm()->portOpen());
    c.pressInScenario("runButton");
    // The port opened from "Nr portu:", and the console's commands are the
    // run's own until it ends.
    QVERIFY(c.comm()->portOpen());
    QVERIFY(!c.button("Command10")->isEnabled());
    QVERIFY(!c.button("Command2")->isEnabled());
    QVERIFY(c.answer(*m_pty, "DSTA\r", "OK CF READY\r\n"));
    QVERIFY(c.answer(*m_pty, "DSIZ\r", "SIZE 2097152\r\n"));
    QVERIFY(c.waitForRunEnd());

    QCOMPARE(c.mark(0), QStringLiteral("✔"));
    QCOMPARE(c.mark(1), QStringLiteral("✘"));
    QCOMPARE(c.mark(2), QString());
    QCOMPARE(c.note(1),
             QStringLiteral("wiersz 4: oczekiwano „SIZE 1048576”, odebrano „SIZE 2097152”"));
    QCOMPARE(c.summary(), QStringLiteral("Zaliczone: 1 z 3"));
    QCOMPARE(m_pty->drain(100), QByteArray());
    QVERIFY(c.button("Command10")->isEnabled());
    // The replies reached the DATA view as always.
    QCOMPARE(c.dataView()->text(), QStringLiteral("DATA\r\nOK CF READY\r\nSIZE 2097152\r\n"));
}

void TestScenarioWindow::recordingOfPressesReplays() {
    ScenarioFixture c;
    c.press("Command1");
    c.pressInScenario("recordButton");
    QVERIFY(c.scenario()->isRecording());
    const QByteArray line = CodePage::encode(QStringLiteral("zażółć * 5?\r\n"));
    c.press("Command10");
    QVERIFY(c.answer(*m_pty, "DSTA\r", "OK CF READY\r\n"));
    QTRY_VERIFY(c.dataView()->text().endsWith(QStringLiteral("READY\r\n")));
    c.box("Text14")->setText(QStringLiteral("7"));
    c.press("Command14");
    QVERIFY(c.answer(*m_pty, "REDL7\r", line));
    QTRY_VERIFY(c.dataView()->text().endsWith(QStringLiteral("5?\r\n")));
    c.pressInScenario("stopButton");
    QVERIFY(!c.scenario()->isRecording());
    const QString text = c.scenario()->text();
    QVERIFY2(text.contains(QStringLiteral("> DSTA\n< OK CF READY\n> REDL7\n< zażółć \\* 5\\?\n")),
             qPrintable(text));
    QCOMPARE(c.steps()->rowCount(), 2);

    QVERIFY(c.scenario()->saveTo(c.path("recorded.txt")));
    QVERIFY(c.scenario()->load(c.path("recorded.txt")));
    QCOMPARE(c.scenario()->text(), text);
    c.pressInScenario("runButton");
    QVERIFY(c.answer(*m_pty, "DSTA\r", "OK CF READY\r\n"));
    QVERIFY(c.answer(*m_pty, "REDL7\r", line));
    QVERIFY(c.waitForRunEnd());
    QCOMPARE(c.summary(), QStringLiteral("Zaliczone: 2 z 2"));
}

void TestScenarioWindow::vanishingDeviceFailsTheStep() {
    ScenarioFixture c;
    QVERIFY(c.load("> DSTA\n< OK CF READY\n> DSIZ\n"));
    c.pressInScenario("runButton");
    QVERIFY(c.answer(*m_pty, "DSTA\r", QByteArray()));
    m_pty->closeMaster();
    QVERIFY(c.waitForRunEnd());
    QCOMPARE(c.mark(0), QStringLiteral("✘"));
    QVERIFY2(c.note(0).startsWith(QStringLiteral("wiersz 2: oczekiwano „OK CF READY”: błąd portu: "
                                                 "port 2 (")),
             qPrintable(c.note(0)));
    QVERIFY(c.button("Command10")->isEnabled());
}

void TestScenarioWindow::closingTheConsoleStopsTheRun() {
    auto *c = new ScenarioFixture;
    QVERIFY(c->load("> DSTA\n< OK CF READY\n> DSIZ\n< SIZE *\n"));
    c->pressInScenario("runButton");
    QVERIFY(c->answer(*m_pty, "DSTA\r", QByteArray()));
    c->window()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!c->window());
    m_pty->send("OK CF READY\r\n");
    QCOMPARE(m_pty->drain(200), QByteArray());
    delete c;
}

QTEST_MAIN(TestScenarioWindow)
#include "tst_scenariowindow.moc"
