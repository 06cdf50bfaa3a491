// Which number names which port: the numbering over given port lists, the
// system's ports read from sysfs trees of the test's own, the tooltip of
// "Nr portu:" for given lists and states, and the tooltip in the window,
// which reads the system when it opens and never opens a port.
#include "consolefixture.h"
#include "openwatch.h"
#include "portdirectory.h"
#include "portnumber.h"
#include "portstate.h"
#include "porttip.h"
#include "ptydevice.h"
#include "sysfsports.h"
#include "sysfstree.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QTest>
#include <QToolTip>

#include <fcntl.h>
#include <unistd.h>

using PortNumber::NumberedPort;
using PortNumber::PortRecord;

namespace {

// A port as the system would report it; a leading '!' marks a phantom.
PortRecord port(QString name) {
    const bool phantom = name.startsWith(u'!');
    if (phantom)
        name.remove(0, 1);
    return {name, QStringLiteral("/dev/") + name, {}, {}, {}, phantom, {}};
}

// The device that number n opens.
std::optional<QString> deviceFor(int n, const QList<PortRecord> &ports,
                                 const PortNumber::Mappings &mappings,
                                 PortNumber::Scheme scheme = PortNumber::kNativeScheme) {
    const auto entry = PortNumber::numberedPort(n, ports, mappings, scheme);
    return entry ? std::optional(entry->device) : std::nullopt;
}

QList<PortRecord> ports(const QStringList &names) {
    QList<PortRecord> list;
    for (const QString &name : names) list << port(name);
    return list;
}

// The mappings of an environment with these variables.
PortNumber::Mappings environment(const QList<std::pair<QString, QString>> &variables) {
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin"));
    for (const auto &[name, value] : variables) env.insert(name, value);
    return PortNumber::mappingsFrom(env);
}

// The devices that numbers 1, 2, ... name, in order.
QStringList numbered(const QList<PortRecord> &list, const PortNumber::Mappings &env = {}) {
    QStringList devices;
    for (const NumberedPort &entry : PortNumber::numberPorts(list, env))
        devices << QStringLiteral("%1=%2").arg(entry.number).arg(entry.device);
    return devices;
}

}  // namespace

class TestPortNumbers : public QObject {
    Q_OBJECT

private slots:
    // The numbering over given lists.
    void builtInUartsKeepTheirNumbers();
    void order_data();
    void order();
    void mappingWins();
    void numberPastTheEnd();
    void windowsKeepsComNumbers();

    // The system's ports, read from sysfs trees.
    void builtInUartsOnEveryKernelLayout_data();
    void builtInUartsOnEveryKernelLayout();
    void usbPortsDescribedByTheirUsbDevice();

    // The tooltip's content.
    void tooltipListsNumbersWithStates();
    void tooltipWithoutPorts();
    void tooltipShowsTheAwaitedPort();

    // The tooltip in the window.
    void hoveringShowsTheMappedPty();
    void tooltipNeverOpensAPort();
};

void TestPortNumbers::builtInUartsKeepTheirNumbers() {
    // Port n was /dev/ttyS<n-1>; on a machine with only working built-in
    // UARTs it still is, in whatever order the system lists them.
    QStringList names, expected;
    for (int i = 0; i < 12; ++i) {
        names.prepend(QStringLiteral("ttyS%1").arg(i));
        expected << QStringLiteral("%1=/dev/ttyS%2").arg(i + 1).arg(i);
    }
    std::swap(names[3], names[8]);
    QCOMPARE(numbered(ports(names)), expected);
    for (int n = 1; n <= 12; ++n)
        QCOMPARE(deviceFor(n, ports(names), {}), QStringLiteral("/dev/ttyS%1").arg(n - 1));
}

void TestPortNumbers::order_data() {
    QTest::addColumn<QStringList>("reported");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("bench with two adapters")
        << QStringList{"ttyUSB1", "ttyACM0", "ttyS0", "ttyUSB0"}
        << QStringList{"ttyS0", "ttyUSB0", "ttyUSB1", "ttyACM0"};
    QTest::newRow("multi-digit numbers")
        << QStringList{"ttyUSB10", "ttyUSB9", "ttyUSB2", "ttyACM11", "ttyACM3"}
        << QStringList{"ttyUSB2", "ttyUSB9", "ttyUSB10", "ttyACM3", "ttyACM11"};
    QTest::newRow("built-in families")
        << QStringList{"ttyAMA10", "ttymxc2", "ttyS1", "ttyAMA1", "ttyS0", "ttyAMA0"}
        << QStringList{"ttyS0", "ttyS1", "ttyAMA0", "ttyAMA1", "ttyAMA10", "ttymxc2"};
    QTest::newRow("anything else last")
        << QStringList{"rfcomm0", "ttyGS0", "ttyACM0", "ttyUSB0", "ttyS0"}
        << QStringList{"ttyS0", "ttyUSB0", "ttyACM0", "rfcomm0", "ttyGS0"};
    QTest::newRow("phantoms, ptys and consoles get no number")
        << QStringList{"ttyS0", "!ttyS1", "!ttyS2",  "pts/3",  "ptmx",
                       "ttyp0", "tty1",   "console", "ttyUSB0"}
        << QStringList{"ttyS0", "ttyUSB0"};
    QTest::newRow("macOS pairs count once, as cu")
        << QStringList{"tty.usbserial-1410",
                       "cu.usbserial-1410",
                       "cu.usbmodem14201",
                       "tty.usbmodem14201",
                       "tty.Bluetooth-Incoming-Port",
                       "cu.Bluetooth-Incoming-Port",
                       "ttys003"}
        << QStringList{"cu.usbserial-1410", "cu.usbmodem14201", "cu.Bluetooth-Incoming-Port"};
    QTest::newRow("nothing") << QStringList{} << QStringList{};
}

void TestPortNumbers::order() {
    QFETCH(QStringList, reported);
    QFETCH(QStringList, expected);
    QStringList devices;
    for (int i = 0; i < expected.size(); ++i)
        devices << QStringLiteral("%1=/dev/%2").arg(i + 1).arg(expected.at(i));
    QCOMPARE(numbered(ports(reported)), devices);
}

void TestPortNumbers::mappingWins() {
    const QList<PortRecord> list = ports({"ttyUSB0", "ttyS0", "ttyACM0"});
    const PortNumber::Mappings env = environment({
        {"RS232_PORT_2", "/tmp/kalvex-link"},  // over ttyUSB0
        {"RS232_PORT_9", "/dev/pts/4"},        // past the end
        {"RS232_PORT_3", ""},                  // empty: not a mapping
        {"RS232_PORT_0", "/dev/zero-port"},    // not a port number
        {"RS232_PORT_256", "/dev/too-far"},
        {"RS232_PORT_02", "/dev/leading-zero"},
        {"RS232_PORT_X", "/dev/not-a-number"},
    });
    QCOMPARE(numbered(list, env),
             (QStringList{"1=/dev/ttyS0", "2=/tmp/kalvex-link", "3=/dev/ttyACM0", "9=/dev/pts/4"}));

    const QList<NumberedPort> entries = PortNumber::numberPorts(list, env);
    QVERIFY(entries.at(1).mapped && !entries.at(1).port);
    QCOMPARE(entries.at(1).hidden->systemLocation, QStringLiteral("/dev/ttyUSB0"));
    QVERIFY(entries.at(3).mapped && !entries.at(3).hidden);
    QVERIFY(!entries.at(0).mapped && entries.at(0).port);

    QCOMPARE(deviceFor(2, list, env), QStringLiteral("/tmp/kalvex-link"));
    QCOMPARE(deviceFor(3, list, env), QStringLiteral("/dev/ttyACM0"));
    QCOMPARE(deviceFor(9, list, env), QStringLiteral("/dev/pts/4"));
    QCOMPARE(deviceFor(4, list, env), std::nullopt);

    // The console reads its environment once, when it starts: a mapping
    // made later is not seen, one removed later stays.
    qputenv("RS232_PORT_200", "/tmp/kalvex-now");
    const auto atStart = PortDirectory::fromEnvironment();
    qunsetenv("RS232_PORT_200");
    QCOMPARE(atStart.lookUp(200)->device, QStringLiteral("/tmp/kalvex-now"));
}

void TestPortNumbers::numberPastTheEnd() {
    const QList<PortRecord> list = ports({"ttyS0", "ttyUSB0"});
    for (int n : {3, 4, 255, 0, -1, 256, 32767})
        QVERIFY2(!deviceFor(n, list, {}), qPrintable(QString::number(n)));
    QVERIFY(!deviceFor(1, {}, {}));
    QVERIFY(PortNumber::numberPorts({}, {}).isEmpty());
    // 300 reported ports: numbers stop at 255.
    QStringList many;
    for (int i = 0; i < 300; ++i) many << QStringLiteral("ttyUSB%1").arg(i);
    const QList<NumberedPort> entries = PortNumber::numberPorts(ports(many), {});
    QCOMPARE(entries.size(), 255);
    QCOMPARE(entries.last().device, QStringLiteral("/dev/ttyUSB254"));
}

void TestPortNumbers::windowsKeepsComNumbers() {
    using PortNumber::Scheme;
    const QList<PortRecord> list{
        {"COM10", "\\\\.\\COM10", "USB Serial Port", "FTDI", "A50285BI", false, {}},
        {"COM3", "\\\\.\\COM3", {}, {}, {}, false, {}},
        {"com1", "\\\\.\\COM1", {}, {}, {}, false, {}},
        {"COM0", {}, {}, {}, {}, false, {}},
        {"COM300", {}, {}, {}, {}, false, {}},
        {"LPT1", {}, {}, {}, {}, false, {}},
    };
    QStringList got;
    for (const NumberedPort &entry : PortNumber::numberPorts(list, {}, Scheme::ComNumber))
        got << QStringLiteral("%1=%2").arg(entry.number).arg(entry.device);
    QCOMPARE(got, (QStringList{"1=com1", "3=COM3", "10=COM10"}));
    // A number names COM<n> whether or not the system lists it.
    QCOMPARE(deviceFor(5, list, {}, Scheme::ComNumber), QStringLiteral("COM5"));
    QCOMPARE(deviceFor(5, list, environment({{"RS232_PORT_5", "COM7"}}), Scheme::ComNumber),
             QStringLiteral("COM7"));
}

void TestPortNumbers::builtInUartsOnEveryKernelLayout_data() {
    // The folder of each UART's device: before 6.5 the ports that firmware
    // does not describe sit on the serial8250 platform device itself, later
    // each on a port device of its own. ttyS1 and ttyS3 have no hardware.
    QTest::addColumn<QStringList>("folders");
    QTest::newRow("6.1") << QStringList{"pnp0/00:04", "platform/serial8250", "platform/serial8250",
                                        "platform/serial8250"};
    QTest::newRow("6.5 and later") << QStringList{
        "pnp0/00:04/00:04:0/00:04:0.0", "platform/serial8250/serial8250:0/serial8250:0.1",
        "platform/serial8250/serial8250:0/serial8250:0.2",
        "platform/serial8250/serial8250:0/serial8250:0.3"};
}

void TestPortNumbers::builtInUartsOnEveryKernelLayout() {
    QFETCH(QStringList, folders);
    SysfsTree tree;
    QVERIFY(tree.isValid());
    // The kernel ends every attribute with a newline.
    const QByteArray types[] = {"4\n", "0\n", "4\n", "0\n"};
    for (int i = 0; i < 4; ++i)
        tree.addPort(QStringLiteral("ttyS%1").arg(i), folders.at(i), types[i]);
    tree.addVirtual("tty0");
    tree.addVirtual("console");

    const QList<PortRecord> read = SysfsPorts::read(tree.roots());
    QStringList listed;
    for (const PortRecord &p : read) listed << (p.phantom ? "!" : "") + p.portName;
    QCOMPARE(listed, (QStringList{"ttyS0", "!ttyS1", "ttyS2", "!ttyS3"}));
    QCOMPARE(numbered(read),
             (QStringList{"1=" + tree.devPath("ttyS0"), "2=" + tree.devPath("ttyS2")}));
}

void TestPortNumbers::usbPortsDescribedByTheirUsbDevice() {
    SysfsTree tree;
    QVERIFY(tree.isValid());
    const QString hub = QStringLiteral("pci0000:00/0000:00:14.0/usb1");
    tree.attribute(hub + "/idVendor", "1d6b\n");
    tree.attribute(hub + "/serial", "0000:00:14.0\n");
    tree.attribute(hub + "/1-1/idVendor", "0403\n");
    tree.attribute(hub + "/1-1/product", "FT232R USB UART\n");
    tree.attribute(hub + "/1-1/manufacturer", "FTDI\n");
    tree.attribute(hub + "/1-1/serial", "A50285BI\n");
    tree.attribute(hub + "/1-1/1-1:1.0/bInterfaceClass", "ff\n");
    tree.addPort("ttyUSB0", hub + "/1-1/1-1:1.0/ttyUSB0");
    // A CDC device without a serial number: the hub's is not its own.
    tree.attribute(hub + "/1-2/idVendor", "2341\n");
    tree.attribute(hub + "/1-2/product", "Uno\n");
    tree.attribute(hub + "/1-2/manufacturer", "Arduino (www.arduino.cc)\n");
    tree.addPort("ttyACM0", hub + "/1-2/1-2:1.0");
    tree.addPort("ttyAMA0", "platform/soc/fe201000.serial", "32\n");
    tree.addVirtual("tty1");

    PtyDevice adapter, cdc;
    QVERIFY(adapter.isValid() && cdc.isValid());
    tree.addNode("ttyUSB0", adapter.slaveName());
    tree.addNode("ttyACM0", cdc.slaveName());
    tree.addNode("ttyAMA0");
    const QString byId = QStringLiteral("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    tree.addById(byId, "ttyUSB0");
    OpenWatch watch;
    QVERIFY(watch.watch(adapter.slaveName()) && watch.watch(cdc.slaveName()));

    const QList<PortRecord> read = SysfsPorts::read(tree.roots());
    QVERIFY(!watch.sawOpen());
    QCOMPARE(numbered(read),
             (QStringList{"1=" + tree.devPath("ttyAMA0"), "2=" + tree.devPath("ttyUSB0"),
                          "3=" + tree.devPath("ttyACM0")}));
    QMap<QString, PortRecord> byName;
    for (const PortRecord &p : read) byName.insert(p.portName, p);
    const PortRecord usb = byName.value("ttyUSB0");
    QCOMPARE((QStringList{usb.description, usb.manufacturer, usb.serialNumber}),
             (QStringList{"FT232R USB UART", "FTDI", "A50285BI"}));
    QCOMPARE(usb.byId, QStringList{tree.devPath("serial/by-id/" + byId)});
    const PortRecord acm = byName.value("ttyACM0");
    QCOMPARE((QStringList{acm.description, acm.manufacturer, acm.serialNumber}),
             (QStringList{"Uno", "Arduino (www.arduino.cc)", ""}));
    QVERIFY(acm.byId.isEmpty());
    const PortRecord uart = byName.value("ttyAMA0");
    QVERIFY(!uart.phantom && uart.description.isEmpty() && uart.serialNumber.isEmpty());
}

void TestPortNumbers::tooltipListsNumbersWithStates() {
    QList<PortRecord> list{
        {"ttyUSB1",
         "/dev/ttyUSB1",
         "FT232R USB UART",
         "FTDI",
         "A50285BI",
         false,
         {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"}},
        {"ttyS0", "/dev/ttyS0", {}, {}, {}, false, {}},
        {"ttyACM0", "/dev/ttyACM0", "Uno", "Arduino", {}, false, {}},
        {"ttyUSB0", "/dev/ttyUSB0", "CP2102", "CP2102", {}, false, {}},
    };
    const PortNumber::Mappings env = environment(
        {{"RS232_PORT_2", "/tmp/kalvex-port2"}, {"RS232_PORT_7", "/dev/serial/by-id/gone"}});
    QHash<QString, PortState> states;
    states.insert("/dev/ttyS0", {PortState::Free, 0, {}, {}});
    states.insert("/tmp/kalvex-port2", {PortState::OpenHere, 0, {}, {}});
    states.insert("/dev/ttyUSB1", {PortState::InUse, 4242, "picocom", {}});
    states.insert("/dev/ttyACM0", {PortState::NoPermission, 0, {}, "dialout"});
    states.insert("/dev/serial/by-id/gone", {PortState::Missing, 0, {}, {}});

    const QStringList lines =
        PortTip::text(PortNumber::numberPorts(list, env), states).split(u'\n');
    const QStringList expected{
        "Numery portów:",
        "1: /dev/ttyS0 — wolny",
        "2: /tmp/kalvex-port2 — przypisany (RS232_PORT_2, zamiast /dev/ttyUSB0) — otwarty w tym "
        "programie",
        "3: /dev/ttyUSB1 — FT232R USB UART, FTDI, nr seryjny A50285BI — "
        "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0 — zajęty przez inny "
        "program (picocom, PID 4242)",
        "4: /dev/ttyACM0 — Uno, Arduino — brak uprawnień: dołącz do grupy dialout i zaloguj się "
        "ponownie",
        "7: /dev/serial/by-id/gone — przypisany (RS232_PORT_7) — brak urządzenia",
        "Kolejność: wbudowane (ttyS…), USB (ttyUSB…), USB CDC (ttyACM…), pozostałe.",
    };
    QCOMPARE(lines, expected);

    // A holder whose name or process the system does not tell; a state the
    // system cannot tell (Windows) is left out.
    states.insert("/dev/ttyUSB1", {PortState::InUse, 0, {}, {}});
    states.insert("/dev/ttyS0", {PortState::Unknown, 0, {}, {}});
    const QString text = PortTip::text(PortNumber::numberPorts(list, env), states);
    QVERIFY(
        text.contains("3: /dev/ttyUSB1 — FT232R USB UART, FTDI, nr seryjny A50285BI — "
                      "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0 — "
                      "zajęty przez inny program\n"));
    QVERIFY(text.contains("\n1: /dev/ttyS0\n"));
}

void TestPortNumbers::tooltipWithoutPorts() {
    QCOMPARE(PortTip::text({}, {}), QStringLiteral("Nie znaleziono żadnego portu szeregowego."));
}

void TestPortNumbers::tooltipShowsTheAwaitedPort() {
    // Port 2 was an adapter that was pulled out; another adapter now comes
    // second. Number 2 still means the one waited for.
    const PortRecord pulled{"ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A1", false, {}};
    const NumberedPort awaited{2, "/dev/ttyUSB0", pulled, false, std::nullopt};
    const QList<PortRecord> now{port("ttyS0"), port("ttyUSB1")};
    QHash<QString, PortState> states;
    states.insert("/dev/ttyS0", {PortState::Free, 0, {}, {}});
    states.insert("/dev/ttyUSB1", {PortState::Free, 0, {}, {}});
    const QString waiting = QStringLiteral(
        "2: /dev/ttyUSB0 — FT232R USB UART, FTDI, nr seryjny A1 — czeka na ponowne podłączenie");
    const QString order = QStringLiteral(
        "Kolejność: wbudowane (ttyS…), USB (ttyUSB…), USB CDC (ttyACM…), pozostałe.");
    QCOMPARE(PortTip::text(PortNumber::numberPorts(now, {}), states, awaited).split(u'\n'),
             (QStringList{"Numery portów:", "1: /dev/ttyS0 — wolny", waiting, order}));
    QCOMPARE(PortTip::text({}, {}, awaited).split(u'\n'),
             (QStringList{"Numery portów:", waiting, order}));

    // A mapped port waits under its mapping.
    const PortNumber::Mappings env = environment({{"RS232_PORT_2", "/tmp/kalvex-port2"}});
    const NumberedPort mapped{2, "/tmp/kalvex-port2", std::nullopt, true, std::nullopt};
    QVERIFY(PortTip::text(PortNumber::numberPorts(now, env), {}, mapped)
                .contains("\n2: /tmp/kalvex-port2 — przypisany (RS232_PORT_2, zamiast "
                          "/dev/ttyUSB1) — czeka na ponowne podłączenie\n"));
}

void TestPortNumbers::hoveringShowsTheMappedPty() {
    PtyDevice pty;
    QVERIFY(pty.isValid());
    pty.mapToPort(2);
    ConsoleFixture c;
    auto *label = c.window()->findChild<QLabel *>("Label1");
    QVERIFY(label);
    const QString expected =
        QStringLiteral("2: %1 — przypisany (RS232_PORT_2").arg(pty.slaveName());
    for (QWidget *w : {static_cast<QWidget *>(label), static_cast<QWidget *>(c.box("Text7"))}) {
        QToolTip::hideText();
        QTRY_VERIFY(!QToolTip::isVisible());
        QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), w->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(w, &hover);
        QTRY_VERIFY(QToolTip::isVisible());
        QVERIFY2(QToolTip::text().contains(expected.toHtmlEscaped()), qPrintable(QToolTip::text()));
        QVERIFY(QToolTip::text().contains(QStringLiteral("wolny")));
    }

    // Opened here, and read again when the tooltip opens again.
    c.press("Command1");
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());
    QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), label->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(label, &hover);
    QTRY_VERIFY(QToolTip::isVisible());
    QVERIFY2(QToolTip::text().contains(QStringLiteral("otwarty w tym programie")),
             qPrintable(QToolTip::text()));
    QToolTip::hideText();
}

void TestPortNumbers::tooltipNeverOpensAPort() {
    // Opening a port toggles its modem lines; the tooltip only looks. The
    // system's own ports (here /dev/ttyS0 is the machine's console) are
    // watched, never opened, by the test.
    PtyDevice mapped;
    const PortDirectory ports({{3, mapped.slaveName()}});
    OpenWatch watch;
    QVERIFY(watch.watch(mapped.slaveName()));
    int watched = 1;
    for (const PortRecord &p : PortNumber::systemPorts())
        watched += watch.watch(p.systemLocation) ? 1 : 0;
    QVERIFY(!watch.sawOpen());

    const QString text = PortTip::current(ports);
    QVERIFY2(text.contains(mapped.slaveName()), qPrintable(text));
    QVERIFY2(!watch.sawOpen(), qPrintable(QStringLiteral("%1 ports watched").arg(watched)));

    // The watch itself works: an open is seen.
    const int fd = ::open(QFile::encodeName(mapped.slaveName()).constData(), O_RDWR | O_NOCTTY);
    QVERIFY(fd >= 0);
    ::close(fd);
    QVERIFY(watch.sawOpen());
    qunsetenv("RS232_PORT_3");
}

QTEST_MAIN(TestPortNumbers)
#include "tst_portnumbers.moc"
