// kalvex-sim: plays the data logger on a pseudo-terminal or a serial port,
// so that the console can be tried and tested without the hardware.

#include "device.h"
#include "kalvexversion.h"
#include "simserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>

namespace {

const char Description[] =
    R"(Plays the data logger (a CompactFlash card behind a small controller) on a
serial line, for the RS232 Kalvex console. By default it creates a
pseudo-terminal and prints the path of its slave side, the port to open, as
the first line on standard output.

A command ends with CR; CR LF or a bare LF end it too, empty lines are
ignored. Every reply line ends with CR LF. Mnemonics are upper case.

  Command        Reply
  DSTA           OK CF READY
  DSIZ           SIZE <card size in bytes>
  DFRE           FREE <free bytes>  (a stored line uses its bytes + 2)
  DCLR           OK CLEARED  (every line is erased)
  WRTE<text>     OK <n>  (<text> stored as line n, bytes as sent)
  WRTF<text>     OK <n>  (stores "dd-mm hh:mm:ss <text>", the device's clock)
  REDL<n>        the stored line n
  REDA           every stored line, then END <number of lines>
  SETThh:mm:ss   TIME hh:mm:ss
  SETDdd-mm      DATE dd-mm  (day-month: SETD03-02 is 3 February)
  GETT           TIME hh:mm:ss
  GETD           DATE dd-mm

  Errors
  ERR UNKNOWN COMMAND   not one of the twelve mnemonics
  ERR BAD ARGUMENT      argument where none belongs, REDL without digits,
                        a time or date of the wrong shape or out of range
  ERR NO SUCH LINE      REDL<n> with no line n stored
  ERR CARD FULL         WRTE/WRTF line does not fit; nothing stored
  ERR LINE TOO LONG     more than 1024 bytes before the CR; nothing done
  ERR NO CARD           --card missing: the eight disk commands (D*, WRT*, RED*)
  ERR CARD FAILURE      --card failing: the same eight commands

The clock runs from the host's local time; SETT and SETD shift it. The
calendar keeps no year: 29-02 is always valid and 31-12 is followed by 01-01.
Argument errors are reported before card errors.)";

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the event loop, so that the program cleans up.
void quitOnSignals(QCoreApplication *app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, &QCoreApplication::quit);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

// Control and 8-bit bytes as \xNN, so that the log stays readable.
QByteArray printable(const QByteArray &bytes) {
    QByteArray out;
    for (const char c : bytes) {
        const auto u = uchar(c);
        if (u >= 0x20 && u < 0x7f)
            out += c;
        else
            out += "\\x" + QByteArray::number(u, 16).rightJustified(2, '0');
    }
    return out;
}

void trace(const QByteArray &command, const QByteArray &reply) {
    const QList<QByteArray> lines = reply.split('\n');
    QByteArray first = lines.first();
    first.chop(first.endsWith('\r') ? 1 : 0);
    // split() leaves an empty piece after the last LF.
    const qsizetype more = lines.size() - 2;
    std::fprintf(stderr, "> %s\n< %s", printable(command).constData(),
                 printable(first).constData());
    if (more > 0)
        std::fprintf(stderr, " (+%lld lines)", static_cast<long long>(more));
    std::fputc('\n', stderr);
}

int fail(const QString &message) {
    std::fprintf(stderr, "kalvex-sim: %s\n", qPrintable(message));
    return 2;
}

}  // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kalvex-sim"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(KalvexVersion::kVersion));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(Description));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption linkOption(
        "link", "Also make a symbolic link PATH to the pseudo-terminal (e.g. for RS232_PORT_2).",
        "PATH");
    const QCommandLineOption deviceOption(
        "device", "Serve on this serial port (9600 8N1) instead of a pseudo-terminal.", "PORT");
    const QCommandLineOption fastOption("fast", "Send replies at full speed, not at 9600 baud.");
    const QCommandLineOption sizeOption("card-size", "Card size in bytes (default 1048576).",
                                        "BYTES", QString::number(Card::DefaultSize));
    const QCommandLineOption preloadOption(
        "preload", "Store N generated lines (\"LINE 000001 ...\", 60 bytes) at start.", "N", "0");
    const QCommandLineOption cardOption("card", "Card state: ready (default), missing or failing.",
                                        "STATE", "ready");
    const QCommandLineOption chunksOption(
        "chunks", "Send replies in small random pieces with short random gaps.");
    const QCommandLineOption imageOption(
        "image", "Keep the card's lines in FILE: loaded at start, written after every change.",
        "FILE");
    const QCommandLineOption quietOption("quiet", "Do not log commands and replies on stderr.");
    parser.addOptions({linkOption, deviceOption, fastOption, sizeOption, preloadOption, cardOption,
                       chunksOption, imageOption, quietOption});
    parser.process(app);

    bool ok = false;
    const qint64 cardSize = parser.value(sizeOption).toLongLong(&ok);
    if (!ok || cardSize < 0)
        return fail("--card-size needs a number of bytes");
    const qsizetype preload = parser.value(preloadOption).toLongLong(&ok);
    if (!ok || preload < 0)
        return fail("--preload needs a number of lines");
    const QString cardState = parser.value(cardOption);
    if (cardState != "ready" && cardState != "missing" && cardState != "failing")
        return fail("--card is ready, missing or failing");
    if (parser.isSet(deviceOption) && parser.isSet(linkOption))
        return fail("--link applies to the pseudo-terminal only");

    Device device(cardSize);
    if (cardState == "missing")
        device.card().setState(Card::State::Missing);
    else if (cardState == "failing")
        device.card().setState(Card::State::Failing);
    if (parser.isSet(imageOption)) {
        QString error;
        if (!device.card().attachImage(parser.value(imageOption), &error))
            return fail(error);
    }
    if (device.card().preload(preload) < preload)
        std::fprintf(stderr, "kalvex-sim: the card is full after %lld lines\n",
                     static_cast<long long>(device.card().lineCount()));
    const bool quiet = parser.isSet(quietOption);
    if (!quiet)
        device.setTrace(trace);

    SimServer server(&device, {parser.isSet(fastOption), parser.isSet(chunksOption)});
    QString error;
    QString port;
    if (parser.isSet(deviceOption)) {
        port = parser.value(deviceOption);
        if (!server.openSerial(port, &error))
            return fail(error);
    } else {
        port = server.openPty(&error);
        if (port.isEmpty())
            return fail(error);
    }
    const QString linkPath = parser.value(linkOption);
    if (!linkPath.isEmpty()) {
        // Replace a link left behind by an earlier run, never a real file.
        if (QFileInfo(linkPath).isSymLink())
            QFile::remove(linkPath);
        if (!QFile::link(port, linkPath))
            return fail(QStringLiteral("cannot make the link %1").arg(linkPath));
    }
    // The first line is for scripts: they read it to learn the port, so the
    // link must exist by then.
    std::printf("%s\n", qPrintable(port));
    std::fflush(stdout);

    if (!quiet)
        std::fprintf(stderr, "kalvex-sim: serving on %s, card %lld bytes, %lld lines\n",
                     qPrintable(port), static_cast<long long>(device.card().size()),
                     static_cast<long long>(device.card().lineCount()));

    quitOnSignals(&app);
    const int status = app.exec();

    if (!linkPath.isEmpty() && QFileInfo(linkPath).symLinkTarget() == port)
        QFile::remove(linkPath);
    return status;
}
