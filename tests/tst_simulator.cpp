#include "device.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {

// A device whose clock stands still until the test moves it.
struct FixedClockDevice {
    explicit FixedClockDevice(qint64 cardSize = Card::DefaultSize) : device(cardSize) {
        device.clock().setHostClock([this] { return host; });
    }
    QByteArray send(const QByteArray &bytes) { return device.receive(bytes); }

    qint64 host = 1'000'000;
    Device device;
};

}  // namespace

class TestSimulator : public QObject {
    Q_OBJECT

private slots:
    void replies_data();
    void replies();
    void lineEndings_data();
    void lineEndings();
    void anySplitOfTheInputGivesTheSameReplies();
    void overlongLineIsRefusedAndForgotten();
    void fullCard();
    void clearEmptiesTheCard();
    void clockRunsAndStampsWrites();
    void cardStates_data();
    void cardStates();
    void imageKeepsTheLines();
    void imageThatCannotBeUsedIsRefused();
    void preloadStopsWhenFull();
    void programServesOnPty();
};

// Each row runs on a fresh device of 1000 bytes holding "alpha" and "beta".
void TestSimulator::replies_data() {
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("DSTA") << QByteArray("DSTA") << QByteArray("OK CF READY\r\n");
    QTest::newRow("DSIZ") << QByteArray("DSIZ") << QByteArray("SIZE 1000\r\n");
    QTest::newRow("DFRE") << QByteArray("DFRE") << QByteArray("FREE 987\r\n");
    QTest::newRow("DCLR") << QByteArray("DCLR") << QByteArray("OK CLEARED\r\n");
    QTest::newRow("WRTE") << QByteArray("WRTETEKST DO ZAPISU") << QByteArray("OK 3\r\n");
    QTest::newRow("WRTE empty") << QByteArray("WRTE") << QByteArray("OK 3\r\n");
    QTest::newRow("REDL1") << QByteArray("REDL1") << QByteArray("alpha\r\n");
    QTest::newRow("REDL002") << QByteArray("REDL002") << QByteArray("beta\r\n");
    QTest::newRow("REDA") << QByteArray("REDA") << QByteArray("alpha\r\nbeta\r\nEND 2\r\n");
    QTest::newRow("SETT") << QByteArray("SETT17:07:15") << QByteArray("TIME 17:07:15\r\n");
    QTest::newRow("SETD") << QByteArray("SETD03-02") << QByteArray("DATE 03-02\r\n");
    QTest::newRow("SETD 29 Feb") << QByteArray("SETD29-02") << QByteArray("DATE 29-02\r\n");
    QTest::newRow("SETD 31 Dec") << QByteArray("SETD31-12") << QByteArray("DATE 31-12\r\n");

    const QByteArray unknown("ERR UNKNOWN COMMAND\r\n");
    QTest::newRow("lower case") << QByteArray("dsta") << unknown;
    QTest::newRow("short") << QByteArray("DST") << unknown;
    QTest::newRow("other") << QByteArray("XYZW") << unknown;
    QTest::newRow("blank first") << QByteArray(" DSTA") << unknown;

    const QByteArray bad("ERR BAD ARGUMENT\r\n");
    QTest::newRow("DSTA arg") << QByteArray("DSTA1") << bad;
    QTest::newRow("DSIZ blank") << QByteArray("DSIZ ") << bad;
    QTest::newRow("REDA arg") << QByteArray("REDA1") << bad;
    QTest::newRow("GETT arg") << QByteArray("GETT1") << bad;
    QTest::newRow("REDL none") << QByteArray("REDL") << bad;
    QTest::newRow("REDL letter") << QByteArray("REDLx") << bad;
    QTest::newRow("REDL blank") << QByteArray("REDL 1") << bad;
    QTest::newRow("REDL sign") << QByteArray("REDL-1") << bad;
    QTest::newRow("SETT one digit") << QByteArray("SETT7:07:15") << bad;
    QTest::newRow("SETT hour 24") << QByteArray("SETT24:00:00") << bad;
    QTest::newRow("SETT minute 60") << QByteArray("SETT17:60:00") << bad;
    QTest::newRow("SETT second 60") << QByteArray("SETT17:07:60") << bad;
    QTest::newRow("SETT hyphens") << QByteArray("SETT17-07-15") << bad;
    QTest::newRow("SETT empty") << QByteArray("SETT") << bad;
    QTest::newRow("SETD 30 Feb") << QByteArray("SETD30-02") << bad;
    QTest::newRow("SETD 31 Apr") << QByteArray("SETD31-04") << bad;
    QTest::newRow("SETD day 0") << QByteArray("SETD00-01") << bad;
    QTest::newRow("SETD month 13") << QByteArray("SETD01-13") << bad;
    QTest::newRow("SETD short") << QByteArray("SETD3-2") << bad;
    QTest::newRow("SETD trailing") << QByteArray("SETD03-02 ") << bad;

    const QByteArray noLine("ERR NO SUCH LINE\r\n");
    QTest::newRow("REDL0") << QByteArray("REDL0") << noLine;
    QTest::newRow("REDL3") << QByteArray("REDL3") << noLine;
    QTest::newRow("REDL huge") << QByteArray("REDL99999999999999999999999") << noLine;
}

void TestSimulator::replies() {
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    FixedClockDevice d(1000);
    QVERIFY(d.device.card().append("alpha"));
    QVERIFY(d.device.card().append("beta"));
    QCOMPARE(d.send(command + '\r'), reply);
}

void TestSimulator::lineEndings_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("reply");

    const QByteArray ready("OK CF READY\r\n");
    QTest::newRow("CR") << QByteArray("DSTA\r") << ready;
    QTest::newRow("CR LF") << QByteArray("DSTA\r\n") << ready;
    QTest::newRow("LF") << QByteArray("DSTA\n") << ready;
    QTest::newRow("empty lines") << QByteArray("\r\r\n\n\r\nDSTA\r\n\r") << ready;
    QTest::newRow("no end yet") << QByteArray("DSTA") << QByteArray();
    QTest::newRow("two commands") << QByteArray("DSTA\nDSIZ\r\n")
                                  << QByteArray("OK CF READY\r\nSIZE 1048576\r\n");
    QTest::newRow("8-bit text") << QByteArray("WRTEza\xbf\xf3\xb3\xe6\rREDL1\r")
                                << QByteArray("OK 1\r\nza\xbf\xf3\xb3\xe6\r\n");
}

void TestSimulator::lineEndings() {
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, reply);
    FixedClockDevice d;
    QCOMPARE(d.send(input), reply);
}

void TestSimulator::anySplitOfTheInputGivesTheSameReplies() {
    const QByteArray input("SETT10:00:00\r\nWRTFx\rREDL1\nWRTEabc\r\nREDA\r");
    FixedClockDevice whole;
    const QByteArray expected = whole.send(input);
    QCOMPARE(expected, QByteArray("TIME 10:00:00\r\nOK 1\r\n") + whole.device.card().line(1) +
                           "\r\nOK 2\r\n" + whole.device.card().line(1) + "\r\nabc\r\nEND 2\r\n");

    for (qsizetype cut = 1; cut < input.size(); ++cut) {
        FixedClockDevice split;
        QByteArray out = split.send(input.left(cut));
        out += split.send(input.mid(cut));
        QVERIFY2(out == expected, qPrintable(QStringLiteral("cut at %1").arg(cut)));
    }

    FixedClockDevice bytewise;
    QByteArray out;
    for (const char c : input) out += bytewise.send(QByteArray(1, c));
    QCOMPARE(out, expected);
}

void TestSimulator::overlongLineIsRefusedAndForgotten() {
    FixedClockDevice d;
    const QByteArray longest = "WRTE" + QByteArray(Device::MaxLineLength - 4, 'a');
    QCOMPARE(d.send(longest + '\r'), QByteArray("OK 1\r\n"));
    QCOMPARE(d.device.card().line(1).size(), Device::MaxLineLength - 4);

    // Sent in two pieces, so the overflow must survive between feeds.
    const QByteArray tooLong = longest + 'b';
    QCOMPARE(d.send(tooLong.left(600)), QByteArray());
    QCOMPARE(d.send(tooLong.mid(600) + "\rDSTA\r"),
             QByteArray("ERR LINE TOO LONG\r\nOK CF READY\r\n"));
    QCOMPARE(d.device.card().lineCount(), 1);
}

void TestSimulator::fullCard() {
    // 12 bytes: one line of 10 bytes plus its CR LF fills it exactly.
    FixedClockDevice d(12);
    QCOMPARE(d.send("WRTE0123456789a\r"), QByteArray("ERR CARD FULL\r\n"));
    QCOMPARE(d.send("WRTE0123456789\r"), QByteArray("OK 1\r\n"));
    QCOMPARE(d.send("DFRE\r"), QByteArray("FREE 0\r\n"));
    QCOMPARE(d.send("WRTE\r"), QByteArray("ERR CARD FULL\r\n"));
    QCOMPARE(d.send("WRTFx\r"), QByteArray("ERR CARD FULL\r\n"));
    QCOMPARE(d.send("REDA\r"), QByteArray("0123456789\r\nEND 1\r\n"));
}

void TestSimulator::clearEmptiesTheCard() {
    FixedClockDevice d(100);
    d.send("WRTEone\rWRTEtwo\r");
    QCOMPARE(d.send("DCLR\rREDA\rDFRE\rREDL1\r"),
             QByteArray("OK CLEARED\r\nEND 0\r\nFREE 100\r\nERR NO SUCH LINE\r\n"));
    // Numbering starts again from 1.
    QCOMPARE(d.send("WRTEthree\rREDA\r"), QByteArray("OK 1\r\nthree\r\nEND 1\r\n"));
}

void TestSimulator::clockRunsAndStampsWrites() {
    FixedClockDevice d;
    QCOMPARE(d.send("SETT23:59:58\rSETD31-12\rWRTFfirst\r"),
             QByteArray("TIME 23:59:58\r\nDATE 31-12\r\nOK 1\r\n"));
    QCOMPARE(d.device.card().line(1), QByteArray("31-12 23:59:58 first"));

    d.host += 2;
    QCOMPARE(d.send("GETT\rGETD\rWRTFsecond\r"),
             QByteArray("TIME 00:00:00\r\nDATE 01-01\r\nOK 2\r\n"));
    QCOMPARE(d.device.card().line(2), QByteArray("01-01 00:00:00 second"));

    // Setting the date keeps the time running, setting the time keeps the date.
    d.host += 3;
    QCOMPARE(d.send("SETD28-02\rGETT\r"), QByteArray("DATE 28-02\r\nTIME 00:00:03\r\n"));
    QCOMPARE(d.send("SETT23:59:59\rGETD\r"), QByteArray("TIME 23:59:59\r\nDATE 28-02\r\n"));
    d.host += 1;
    QCOMPARE(d.send("GETD\r"), QByteArray("DATE 29-02\r\n"));
    d.host += 86400;
    QCOMPARE(d.send("GETD\rGETT\r"), QByteArray("DATE 01-03\r\nTIME 00:00:00\r\n"));

    // A refused setting leaves the clock alone.
    QCOMPARE(d.send("SETT25:00:00\rSETD31-06\rGETT\rGETD\r"),
             QByteArray("ERR BAD ARGUMENT\r\nERR BAD ARGUMENT\r\nTIME 00:00:00\r\nDATE 01-03\r\n"));
}

void TestSimulator::cardStates_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<QByteArray>("error");
    QTest::newRow("missing") << int(Card::State::Missing) << QByteArray("ERR NO CARD\r\n");
    QTest::newRow("failing") << int(Card::State::Failing) << QByteArray("ERR CARD FAILURE\r\n");
}

void TestSimulator::cardStates() {
    QFETCH(int, state);
    QFETCH(QByteArray, error);
    FixedClockDevice d(100);
    d.device.card().append("kept");
    d.device.card().setState(Card::State(state));

    for (const char *command : {"DSTA", "DSIZ", "DFRE", "DCLR", "WRTEx", "WRTFx", "REDL1", "REDA"})
        QCOMPARE(d.send(QByteArray(command) + '\r'), error);
    QCOMPARE(d.device.card().lineCount(), 1);

    // The clock lives in the controller, not on the card; argument errors
    // come first.
    QCOMPARE(d.send("SETT12:00:00\rGETT\rREDLx\rXXXX\r"),
             QByteArray("TIME 12:00:00\r\nTIME 12:00:00\r\nERR BAD ARGUMENT\r\n"
                        "ERR UNKNOWN COMMAND\r\n"));
}

void TestSimulator::imageKeepsTheLines() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("card.img");
    const auto fileBytes = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("unreadable");
    };

    {
        FixedClockDevice d(100);
        QString error;
        QVERIFY2(d.device.card().attachImage(path, &error), qPrintable(error));
        QCOMPARE(fileBytes(), QByteArray());
        QCOMPARE(d.send("WRTEone\rWRTE\xb3\xf3\x64\xbc\r"), QByteArray("OK 1\r\nOK 2\r\n"));
        QCOMPARE(fileBytes(), QByteArray("one\r\n\xb3\xf3\x64\xbc\r\n"));
    }
    {
        FixedClockDevice d(100);
        QString error;
        QVERIFY2(d.device.card().attachImage(path, &error), qPrintable(error));
        QCOMPARE(d.send("REDA\rDFRE\r"),
                 QByteArray("one\r\n\xb3\xf3\x64\xbc\r\nEND 2\r\nFREE 89\r\n"));
        d.send("DCLR\r");
        QCOMPARE(fileBytes(), QByteArray());
    }

    // A file written by hand with bare LFs loads too.
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("a\nb\n");
    }
    FixedClockDevice d(100);
    QString error;
    QVERIFY2(d.device.card().attachImage(path, &error), qPrintable(error));
    QCOMPARE(d.send("REDA\r"), QByteArray("a\r\nb\r\nEND 2\r\n"));
}

void TestSimulator::imageThatCannotBeUsedIsRefused() {
    QTemporaryDir dir;
    const QString path = dir.filePath("big.img");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("0123456789\r\n0123456789\r\n");  // 24 bytes
    }
    Card card(23);
    QVERIFY(card.append("x"));
    QString error;
    QVERIFY(!card.attachImage(path, &error));
    QVERIFY(error.contains("24"));
    QCOMPARE(card.lineCount(), 1);
    // Not attached: a change must not overwrite the file.
    QVERIFY(card.append("y"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.size(), 24);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write .*card.img"));
    QVERIFY(!card.attachImage(dir.filePath("no/such/dir/card.img"), &error));
    QVERIFY(card.imagePath().isEmpty());
}

void TestSimulator::preloadStopsWhenFull() {
    QTemporaryDir dir;
    const QString path = dir.filePath("card.img");
    Card card(62 * 3 + 61);
    QString error;
    QVERIFY2(card.attachImage(path, &error), qPrintable(error));
    QCOMPARE(card.preload(10), 3);
    QCOMPARE(QFileInfo(path).size(), 62 * 3);
    QCOMPARE(card.line(1).size(), 60);
    QVERIFY(card.line(1).startsWith("LINE 000001 "));
    QVERIFY(card.line(3).startsWith("LINE 000003 "));
    QCOMPARE(card.freeBytes(), 61);
}

void TestSimulator::programServesOnPty() {
    QTemporaryDir dir;
    const QString link = dir.filePath("port");
    QProcess sim;
    sim.start(KALVEX_SIM_PATH, {"--fast", "--quiet", "--link", link});
    QVERIFY(sim.waitForStarted());
    QVERIFY(sim.waitForReadyRead(5000));
    const QString path = QString::fromLocal8Bit(sim.readLine().trimmed());
    QVERIFY(path.startsWith("/dev/"));
    QCOMPARE(QFileInfo(link).symLinkTarget(), path);

    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY);
    QVERIFY2(fd >= 0, strerror(errno));
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    QCOMPARE(::write(fd, "DSTA\r", 5), ssize_t(5));

    QByteArray reply;
    QDeadlineTimer deadline(5000);
    while (!reply.endsWith("\r\n") && !deadline.hasExpired()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0) {
            char buf[64];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0)
                reply.append(buf, n);
        }
    }
    ::close(fd);
    QCOMPARE(reply, QByteArray("OK CF READY\r\n"));

    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
}

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
