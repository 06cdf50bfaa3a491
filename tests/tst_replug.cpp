// Back after a replug: the device of an open port vanishes, the console
// waits for the same device without spending the processor, and reopens it
// on its own when it comes back; a different device under the old name is
// left alone; the operator's "Zamknij port" and "Otwórz port" while it
// waits. The device is the simulator on a link, a pty behind a link, or a
// USB adapter in a sysfs tree of the test's own; on Windows (under Wine) the
// simulator or a pty behind a COM port that comes and goes.
#include "consolefixture.h"
#include "cputime.h"
#include "dataview.h"
#include "mscomm.h"
#include "ptydevice.h"
#include "simulateddevice.h"

#ifndef Q_OS_WIN
#include "openwatch.h"
#include "sysfstree.h"
#endif

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHelpEvent>
#include <QRegularExpression>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>

namespace {

const QString kData = QStringLiteral("DATA\r\n");

// Lets the console's events run for a while, sleeping in the event loop
// between them as the console itself does.
void idle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// What the link's log ("kalvex.link") says while it lives.
class LinkLog {
public:
    LinkLog() {
        s_lines = &m_lines;
        s_previous = qInstallMessageHandler(handle);
    }
    ~LinkLog() {
        qInstallMessageHandler(s_previous);
        s_lines = nullptr;
    }
    QStringList lines() const { return m_lines; }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text) {
        if (s_lines && qstrcmp(context.category, "kalvex.link") == 0)
            s_lines->append(text);
        else if (s_previous)
            s_previous(type, context, text);
    }
    static inline QStringList *s_lines = nullptr;
    static inline QtMessageHandler s_previous = nullptr;
    QStringList m_lines;
};

// The tooltip of "Nr portu:" as the window shows it now, in plain text.
QString tooltip(ConsoleFixture &c) {
    QToolTip::hideText();
    (void)QTest::qWaitFor([] { return !QToolTip::isVisible(); });
    QWidget *box = c.box("Text7");
    QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), box->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(box, &hover);
    QTextDocument text;
    text.setHtml(QToolTip::text());
    return text.toPlainText();
}

}  // namespace

class TestReplug : public QObject {
    Q_OBJECT

private slots:
    void simulatorStartedAgainOnTheSameLink();
    void anotherSerialNumberUnderTheOldName();
    void closingEndsTheWaiting();
    void openingWhileWaiting();
    void oldLinkToAReusedTerminalIsNotTheDevice();
};

void TestReplug::simulatorStartedAgainOnTheSameLink() {
    SimulatedDevice sim({"--fast", "--quiet"});
    QVERIFY(sim.start());
    const QString link = sim.portName();
    qputenv("RS232_PORT_2", QFile::encodeName(link));
    LinkLog log;
    ConsoleFixture c;
    c.press("Command1");
    QVERIFY(c.comm()->portOpen());
    c.press("Command10");
    QTRY_COMPARE(c.dataView()->text(), kData + "OK CF READY\r\n");

    sim.kill();
    QTRY_VERIFY(c.comm()->awaitsDevice());
    QVERIFY(!c.comm()->portOpen());
    // Waiting costs (next to) nothing: the process's own CPU time over five
    // seconds of it, clock and all.
    QElapsedTimer wall;
    wall.start();
    const double before = cpuSeconds();
    idle(5000);
    const double share = (cpuSeconds() - before) / (double(wall.elapsed()) / 1000);
    QVERIFY2(share <= 0.01,
             qPrintable(
                 QStringLiteral("%1 % of a processor while waiting").arg(share * 100, 0, 'f', 2)));

    QVERIFY(sim.start());
    QTRY_VERIFY(c.comm()->portOpen());
    QVERIFY(!c.comm()->awaitsDevice());
    c.press("Command11");
    QTRY_COMPARE(c.dataView()->text(), kData + "OK CF READY\r\nSIZE 1048576\r\n");
    QVERIFY(c.takeFailures().isEmpty());

    // One line when it went, one when it came back, naming the port (and
    // the pty behind a link).
#ifdef Q_OS_WIN
    const QString where = QStringLiteral("^port 2 \\(%1\\): ").arg(link);
#else
    const QString where =
        QStringLiteral("^port 2 \\(%1 -> /dev/pts/\\d+\\): ").arg(QRegularExpression::escape(link));
#endif
    const QStringList lines = log.lines();
    QCOMPARE(lines.size(), 2);
    QVERIFY2(QRegularExpression(where + "the device is gone; waiting for it to come back$")
                 .match(lines.at(0))
                 .hasMatch(),
             qPrintable(lines.at(0)));
    QVERIFY2(
        QRegularExpression(where + "the device is back; reopened$").match(lines.at(1)).hasMatch(),
        qPrintable(lines.at(1)));
    qunsetenv("RS232_PORT_2");
}

void TestReplug::anotherSerialNumberUnderTheOldName() {
#ifdef Q_OS_WIN
    QSKIP(
        "a USB adapter is played in a sysfs tree, Linux's; tst_windows finds COM ports by "
        "serial number");
#else
    SysfsTree tree;
    QVERIFY(tree.isValid());
    // An FTDI adapter with its serial number, in USB port `usb` of the hub.
    auto plugIn = [&tree](const QString &usb, const QString &name, const QByteArray &serial,
                          const PtyDevice &device) {
        const QString folder = QStringLiteral("pci0000:00/0000:00:14.0/usb1/") + usb;
        tree.attribute(folder + "/idVendor", "0403\n");
        tree.attribute(folder + "/product", "FT232R USB UART\n");
        tree.attribute(folder + "/serial", serial + '\n');
        tree.addPort(name, folder + "/" + usb + ":1.0/" + name);
        tree.addNode(name, device.slaveName());
    };
    PtyDevice first;
    plugIn("1-1", "ttyUSB0", "A1", first);
    ConsoleFixture c(PortDirectory({}, tree.roots()));
    c.box("Text7")->setText("1");
    c.press("Command1");
    QVERIFY(c.comm()->portOpen());

    first.closeSlave();
    first.closeMaster();
    tree.unplug("ttyUSB0");
    QTRY_VERIFY(c.comm()->awaitsDevice());

    // Another adapter takes the old name: not the device waited for.
    PtyDevice other;
    plugIn("1-2", "ttyUSB0", "B2", other);
    OpenWatch watch;
    QVERIFY(watch.watch(other.slaveName()));
    idle(2500);  // the folder's change and two looks a second apart
    QVERIFY(!c.comm()->portOpen());
    QVERIFY(c.comm()->awaitsDevice());

    // The first one comes back under a new name.
    PtyDevice again;
    plugIn("1-3", "ttyUSB1", "A1", again);
    QTRY_VERIFY(c.comm()->portOpen());
    c.press("Command10");
    QCOMPARE(again.readAtLeast(5), QByteArray("DSTA\r"));
    QVERIFY(!watch.sawOpen());
#endif
}

void TestReplug::closingEndsTheWaiting() {
    LinkedPty device;
    ConsoleFixture c;
    c.press("Command1");
    QVERIFY(c.comm()->portOpen());
    device.pullOut();
    QTRY_VERIFY(c.comm()->awaitsDevice());
    const QString waiting =
        QStringLiteral("2: %1 — przypisany (RS232_PORT_2) — czeka na ponowne podłączenie")
            .arg(device.portName());
    QVERIFY2(tooltip(c).split(u'\n').contains(waiting), qPrintable(tooltip(c)));

    // The port is closed, so closing it is silent; the waiting ends.
    c.press("Command2");
    QVERIFY(c.takeFailures().isEmpty());
    QVERIFY(!c.comm()->awaitsDevice());
    QVERIFY(!tooltip(c).contains(QStringLiteral("czeka")));

    device.plugIn();
#ifndef Q_OS_WIN
    OpenWatch watch;
    QVERIFY(watch.watch(device.pty().slaveName()));
#endif
    idle(1500);
    QVERIFY(!c.comm()->portOpen());
#ifndef Q_OS_WIN
    QVERIFY(!watch.sawOpen());
#endif
    QToolTip::hideText();
}

void TestReplug::openingWhileWaiting() {
    LinkedPty device;
    ConsoleFixture c;
    c.press("Command1");
    device.pullOut();
    QTRY_VERIFY(c.comm()->awaitsDevice());

    // Not there: a failed open like any other, and the waiting goes on.
    c.press("Command1");
    QCOMPARE(c.takeFailures(), QStringList{kOpenFailure});
    QVERIFY(c.comm()->awaitsDevice());

    // There: opened at once, before the next look.
    device.plugIn();
    c.press("Command1");
    QVERIFY(c.takeFailures().isEmpty());
    QVERIFY(c.comm()->portOpen());
    QVERIFY(!c.comm()->awaitsDevice());
    c.press("Command10");
    QCOMPARE(device.pty().readAtLeast(5), QByteArray("DSTA\r"));
}

void TestReplug::oldLinkToAReusedTerminalIsNotTheDevice() {
#ifdef Q_OS_WIN
    QSKIP("a COM port is no link to a pty's node that another program may take");
#else
    LinkedPty device;
    ConsoleFixture c;
    c.press("Command1");
    QVERIFY(c.comm()->portOpen());
    const QString gone = device.pty().slaveName();
    device.pullOut();
    QTRY_VERIFY(c.comm()->awaitsDevice());

    // The link, left behind, leads to whatever terminal gets the old number
    // next: another program's, never the device.
    std::vector<std::unique_ptr<PtyDevice>> others;
    while (others.size() < 32 && (others.empty() || others.back()->slaveName() != gone))
        others.push_back(std::make_unique<PtyDevice>());
    if (others.back()->slaveName() != gone)
        QSKIP("another program took the terminal's old number first");
    idle(2500);  // two looks and more
    QVERIFY(!c.comm()->portOpen());
    QVERIFY(c.comm()->awaitsDevice());

    // A link made anew is the device back.
    device.plugIn();
    QTRY_VERIFY(c.comm()->portOpen());
    c.press("Command10");
    QCOMPARE(device.pty().readAtLeast(5), QByteArray("DSTA\r"));
#endif
}

QTEST_MAIN(TestReplug)
#include "tst_replug.moc"
