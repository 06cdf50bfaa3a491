#include "scenarios.h"

#include "baselineview.h"
#include "benchapplication.h"
#include "benchscale.h"
#include "floodwriter.h"
#include "procstats.h"
#include "profilewindow.h"
#include "ptydevice.h"
#include "replytracker.h"
#include "stallmeter.h"

#include "datasaver.h"
#include "dataview.h"
#include "dataview_p.h"
#include "findbox.h"
#include "form1.h"
#include "mscomm.h"
#include "receivelog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <functional>
#include <optional>
#include <vector>

namespace {

constexpr qint64 kNsPerS = 1'000'000'000;
constexpr qint64 kNsPerMs = 1'000'000;

qint64 deadlineAfter(double seconds) {
    return ProcStats::monotonicNs() + qint64(seconds * double(kNsPerS));
}

// Runs the window's event loop until `done` or the deadline; the loop is
// entered from outside any event, as the console's own is.
bool waitUntil(const std::function<bool()> &done, qint64 deadlineNs) {
    QTimer wake;  // so that a quiet loop still comes back to look
    wake.start(10);
    while (!done()) {
        if (ProcStats::monotonicNs() >= deadlineNs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void settle(int ms) {
    waitUntil([] { return false; }, ProcStats::monotonicNs() + qint64(ms) * kNsPerMs);
}

// Cost and memory noted each time the view has taken another step of bytes.
class Checkpoints {
public:
    explicit Checkpoints(qint64 step) : m_step(step), m_next(step) {}

    // Whether update() would note one: reading the process's CPU time is a
    // system call, which the console would otherwise pay for every chunk.
    bool due(qint64 consumed) const { return consumed >= m_next; }

    // Returns the resident memory when a checkpoint was noted, else -1.
    qint64 update(qint64 consumed, qint64 cpuNs, qint64 elapsedNs) {
        qint64 rss = -1;
        while (consumed >= m_next) {
            if (rss < 0)
                rss = ProcStats::rssKiB();
            m_points.append(QJsonArray{double(consumed), double(cpuNs) / kNsPerS, double(rss),
                                       double(elapsedNs) / kNsPerS});
            m_next += m_step;
        }
        return rss;
    }

    QJsonArray points() const { return m_points; }

private:
    qint64 m_step;
    qint64 m_next;
    QJsonArray m_points;
};

// A console with its window shown and port 2 open on a pty, the DATA view's
// frames watched.
class Session {
public:
    Session(BenchApplication &app, ConsoleRig::View view)
        : m_app(app), m_rig(view, ConsoleRig::portsWith(2, m_pty.slaveName())) {}
    ~Session() { m_app.watchFrames(nullptr, {}, {}); }

    bool start() {
        if (!m_pty.isValid())
            return fail(QStringLiteral("no pty"));
        if (!m_rig.show())
            return fail(QStringLiteral("the window was not exposed"));
        if (!m_rig.openPort())
            return fail(QStringLiteral("the port did not open"));
        m_app.watchFrames(
            m_rig.paintTarget(), [this] { m_replies.paintStarted(m_rig.consumed()); },
            [this](qint64 now) { m_replies.frameDone(now); });
        settle(300);
        return true;
    }

    ConsoleRig &rig() { return m_rig; }
    PtyDevice &pty() { return m_pty; }
    ReplyTracker &replies() { return m_replies; }
    QString error() const { return m_error; }

private:
    bool fail(const QString &error) {
        m_error = error;
        return false;
    }

    BenchApplication &m_app;
    PtyDevice m_pty;  // before the rig, whose port 2 it is
    ConsoleRig m_rig;
    ReplyTracker m_replies;
    QString m_error;
};

QJsonObject replyFigures(ReplyTracker &replies) {
    const ReplyTracker::Summary s = replies.summary(ProcStats::monotonicNs());
    return {{"count", s.count},
            {"unresolved", s.unresolved},
            {"medianMs", s.medianMs},
            {"p99Ms", s.p99Ms}};
}

// Floods the console with `stream`, as fast as it takes it, until all of it
// is in the view, the budget is spent or memory runs short. Every figure of
// the console's CPU leaves out the device's thread.
QJsonObject flood(Session &session, FloodStream stream, double budgetS, const BenchScale &scale,
                  FloodWriter &writer) {
    ConsoleRig &rig = session.rig();
    const qint64 total = stream.total();
    const qint64 base = rig.consumed();
    // Leave the machine room: stop before memory gets scarce.
    const qint64 available = ProcStats::availableKiB();
    const qint64 rssCapKiB = available > 0 ? available * 6 / 10 : qint64(8) << 20;
    auto cpuNs = [&writer] { return ProcStats::processCpuNs() - writer.cpuNs(); };

    const qint64 chunksBefore = rig.chunks();
    const qint64 rssBefore = ProcStats::rssKiB();
    Checkpoints checkpoints(scale.checkpointStep);
    StallMeter stall;
    bool done = false;
    bool overMemory = false;
    qint64 endNs = 0;
    qint64 endCpuNs = 0;

    ProfileWindow::begin();
    const qint64 startCpuNs = cpuNs();
    const qint64 startNs = ProcStats::monotonicNs();
    rig.setOnReceived([&] {
        const qint64 consumed = rig.consumed() - base;
        const bool last = consumed >= total && !done;
        if (!last && !checkpoints.due(consumed))
            return;
        const qint64 now = ProcStats::monotonicNs();
        const qint64 cpu = cpuNs();
        const qint64 rss = checkpoints.update(consumed, cpu - startCpuNs, now - startNs);
        if (rss > rssCapKiB)
            overMemory = true;
        if (last) {
            done = true;
            endNs = now;
            endCpuNs = cpu;
        }
    });
    stall.start();
    writer.start(std::move(stream));
    waitUntil([&] { return done || overMemory || writer.failed(); },
              startNs + qint64(budgetS * kNsPerS));
    ProfileWindow::end();
    if (!done) {
        endNs = ProcStats::monotonicNs();
        endCpuNs = cpuNs();
    }
    stall.stop();
    writer.stop();
    rig.setOnReceived({});
    const qint64 consumed = rig.consumed() - base;

    QString stop;
    if (!done)
        stop = overMemory        ? QStringLiteral("memory")
               : writer.failed() ? QStringLiteral("pty")
                                 : QStringLiteral("time");
    settle(300);
    return {{"bytes", double(total)},
            {"consumed", double(consumed)},
            {"written", double(writer.written())},
            {"chunks", double(rig.chunks() - chunksBefore)},
            {"seconds", double(endNs - startNs) / kNsPerS},
            {"cpuS", double(endCpuNs - startCpuNs) / kNsPerS},
            {"writerCpuS", double(writer.cpuNs()) / kNsPerS},
            {"stallMs", stall.longestMs()},
            {"complete", done},
            {"stoppedBy", stop},
            {"rssBeforeKiB", double(rssBefore)},
            {"rssAfterKiB", double(ProcStats::rssKiB())},
            {"checkpoints", checkpoints.points()}};
}

double budgetFor(ConsoleRig::View view, const BenchScale &scale) {
    return view == ConsoleRig::View::Baseline ? scale.baselineBudgetS : scale.oursBudgetS;
}

// Replies sent one at a time to a console doing nothing else, each after the
// previous one is on the screen and a short, irregular pause.
QJsonObject idle(Session &session, const BenchScale &scale) {
    const int fd = session.pty().masterFd();
    const qint64 deadline = deadlineAfter(budgetFor(session.rig().view(), scale));
    QRandomGenerator pauses(2024);
    qint64 offset = session.rig().consumed();
    for (int i = 0; i < scale.idleReplies && ProcStats::monotonicNs() < deadline; ++i) {
        const qint64 sentNs = ProcStats::monotonicNs();
        if (::write(fd, FloodStream::Reply, FloodStream::ReplyLength) != FloodStream::ReplyLength)
            return {{"error", "the pty refused a reply"}};
        offset += FloodStream::ReplyLength;
        session.replies().add(offset, sentNs);
        waitUntil([&] { return session.replies().waiting() == 0; }, deadlineAfter(1.0));
        settle(2 + int(pauses.bounded(5)));
    }
    return {{"replies", replyFigures(session.replies())}};
}

QJsonObject ordinaryFlood(Session &session, const BenchScale &scale) {
    FloodWriter writer(session.pty().masterFd(), &session.replies());
    QJsonObject result =
        flood(session, FloodStream(FloodStream::Shape::Lines, scale.floodBytes, scale.replyEvery),
              budgetFor(session.rig().view(), scale), scale, writer);
    result.insert("replies", replyFigures(session.replies()));
    // Everything kept: the view's text is its heading and then exactly the
    // bytes the device sent. Read once, after the memory was weighed.
    if (session.rig().view() == ConsoleRig::View::Ours && result.value("complete").toBool()) {
        const QString text = session.rig().viewText();
        const QString heading = QStringLiteral("DATA\r\n");
        const QByteArray received = text.mid(heading.size()).toLatin1();
        const bool kept =
            text.startsWith(heading) && received.size() == writer.written() &&
            streamHash(StreamHashSeed, received.constData(), received.size()) == writer.hash();
        result.insert("kept", kept);
    }
    return result;
}

// Files the benchmark writes go beside it, on the disk the build is on, not
// to a /tmp that may live in memory.
QTemporaryDir diskFolder() {
    return QTemporaryDir(QCoreApplication::applicationDirPath() +
                         QStringLiteral("/kalvex-bench-XXXXXX"));
}

// The ordinary flood with the receive log on, to a file on the disk; the
// log must then hold exactly the bytes the device sent.
QJsonObject loggedFlood(Session &session, const BenchScale &scale) {
    QTemporaryDir folder = diskFolder();
    const QString path = folder.filePath(QStringLiteral("received.log"));
    ReceiveLog *log = &session.rig().services().log;
    log->start(path, ReceiveLog::Existing::Replace);
    FloodWriter writer(session.pty().masterFd(), &session.replies());
    QJsonObject result =
        flood(session, FloodStream(FloodStream::Shape::Lines, scale.floodBytes, scale.replyEvery),
              budgetFor(session.rig().view(), scale), scale, writer);
    log->stop();
    if (result.value("complete").toBool()) {
        QFile file(path);
        const QByteArray logged = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        result.insert("logKept", logged.size() == writer.written() &&
                                     streamHash(StreamHashSeed, logged.constData(),
                                                logged.size()) == writer.hash());
    }
    return result;
}

// The ordinary flood with the receive times shown, the margin painted every
// frame (each received line has its time, shown or not); or without any
// time taken, as the console was before it kept them: what the times cost
// is the ordinary flood beside that one.
QJsonObject timedFlood(Session &session, const BenchScale &scale, bool timed) {
    auto *view = session.rig().dataView();
    if (!view)
        return {{"error", "no DATA view"}};
    view->setReceiveTimesShown(timed);
    DataViewPrivate::get(view)->model().setRecordingTimes(timed);
    FloodWriter writer(session.pty().masterFd(), &session.replies());
    QJsonObject result =
        flood(session, FloodStream(FloodStream::Shape::Lines, scale.floodBytes, scale.replyEvery),
              budgetFor(session.rig().view(), scale), scale, writer);
    // Lines received: all but the heading, and the last one unless a byte
    // of it came.
    const EditingModel &model = DataViewPrivate::get(view)->model();
    const qsizetype last = model.lineCount() - 1;
    result.insert("linesReceived", double(last - (model.line(last).length == 0 ? 1 : 0)));
    result.insert("timedLines", double(model.receiveTimes().count()));
    result.insert("timesBytes", double(model.receiveTimes().allocatedBytes()));
    return result;
}

QJsonObject longLine(Session &session, const BenchScale &scale) {
    FloodWriter writer(session.pty().masterFd());
    return flood(session, FloodStream(FloodStream::Shape::OneLine, scale.lineBytes),
                 budgetFor(session.rig().view(), scale), scale, writer);
}

// Ours: one flood past the top level, noting cost and memory on the way.
QJsonObject oursLevels(Session &session, const BenchScale &scale) {
    FloodWriter writer(session.pty().masterFd());
    return flood(session,
                 FloodStream(FloodStream::Shape::Lines, scale.topLevel + scale.levelWindow),
                 scale.oursBudgetS, scale, writer);
}

// The baseline holding `level` bytes: each append replaces the whole text,
// so a view that grew there chunk by chunk is in the same state as one whose
// text was replaced once. Then the flood runs until at least two chunks were
// appended and the probe time passed; the first chunk, whatever happened to
// wait, is left out of the cost.
QJsonObject baselineLevel(Session &session, qint64 level, const BenchScale &scale) {
    ConsoleRig &rig = session.rig();
    const qint64 rssBefore = ProcStats::rssKiB();
    const qint64 prefillStart = ProcStats::monotonicNs();
    if (level > 0)
        rig.baseline()->append(QString::fromLatin1(FloodStream::lines(level)));
    const double prefillS = double(ProcStats::monotonicNs() - prefillStart) / kNsPerS;
    settle(300);

    FloodWriter writer(session.pty().masterFd());
    auto cpuNs = [&writer] { return ProcStats::processCpuNs() - writer.cpuNs(); };
    const qint64 base = rig.consumed();
    const qint64 baseChunks = rig.chunks();
    qint64 firstBytes = -1, firstCpu = 0, firstNs = 0;
    qint64 lastBytes = 0, lastCpu = 0;
    bool done = false;
    rig.setOnReceived([&] {
        const qint64 now = ProcStats::monotonicNs();
        if (firstBytes < 0) {
            firstBytes = rig.consumed();
            firstCpu = cpuNs();
            firstNs = now;
            return;
        }
        lastBytes = rig.consumed();
        lastCpu = cpuNs();
        if (now - firstNs >= qint64(scale.baselineProbeS * kNsPerS))
            done = true;
    });
    writer.start(FloodStream(FloodStream::Shape::Lines, qint64(1) << 40));
    const bool finished = waitUntil([&] { return done; }, deadlineAfter(120));
    writer.stop();
    rig.setOnReceived({});
    settle(300);
    if (!finished && lastBytes == 0)
        return {{"error", "the baseline appended fewer than two chunks in 120 s"}};
    return {{"level", double(level)},
            {"prefillS", prefillS},
            {"probeBytes", double(lastBytes - firstBytes)},
            {"probeCpuS", double(lastCpu - firstCpu) / kNsPerS},
            {"probeChunks", double(rig.chunks() - baseChunks)},
            {"held", double(level + rig.consumed() - base)},
            {"rssBeforeKiB", double(rssBefore)},
            {"rssAfterKiB", double(ProcStats::rssKiB())}};
}

// Sends a key press and release to a widget, as the keyboard would.
void pressKey(QWidget *widget, int key, Qt::KeyboardModifiers modifiers = {}) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(widget, &release);
}

// The top level of the flood's lines, appended as the receive handler
// would, in chunks of 1 MB.
void holdTopLevel(DataView *view, const BenchScale &scale) {
    FloodStream stream(FloodStream::Shape::Lines, scale.topLevel);
    for (FloodPiece piece = stream.next(1 << 20); !piece.bytes.isEmpty();
         piece = stream.next(1 << 20))
        view->appendReceivedBytes(piece.bytes);
}

// The DATA view holding the top level, received as the flood's lines in
// chunks of bytes and a reply at the very end. Then, as the operator: find the reply
// from the start (any case, the default); select everything and delete it;
// undo that.
QJsonObject history(BenchApplication &app, Session &session, const BenchScale &scale) {
    ConsoleRig &rig = session.rig();
    auto *view = rig.dataView();
    if (!view)
        return {{"error", "no DATA view"}};
    DataViewPrivate *inside = DataViewPrivate::get(view);
    EditingModel &model = inside->model();
    const QString reply = QStringLiteral("ERR 7\r\n");
    holdTopLevel(view, scale);
    view->appendReceivedBytes(reply.toLatin1());
    const qint64 held = model.length();
    const qint64 textBytes = model.memoryUsed();
    settle(300);

    // Find: from asking to the match selected.
    model.setCaret(0);
    view->find();
    inside->findBox()->setText(QStringLiteral("err 7"));
    qint64 foundNs = 0;
    const QMetaObject::Connection found = QObject::connect(
        &model, &EditingModel::caretMoved, [&foundNs] { foundNs = ProcStats::monotonicNs(); });
    StallMeter stall;
    stall.start();
    const qint64 findNs = ProcStats::monotonicNs();
    pressKey(view, Qt::Key_F3);
    const bool foundIt = waitUntil([&] { return foundNs > 0; }, deadlineAfter(30));
    stall.stop();
    QObject::disconnect(found);
    const bool right =
        model.selectedText() == reply.left(5) && model.anchor() == held - reply.size();
    inside->findBox()->hide();
    settle(300);

    // Save: from asking to the file committed (synced and in its place), as
    // "Zapisz jako..." does once a file is chosen.
    QTemporaryDir folder = diskFolder();
    const QString savePath = folder.filePath(QStringLiteral("saved.txt"));
    auto *saver = view->findChild<DataSaver *>();
    if (!saver)
        return {{"error", "no DataSaver"}};
    std::optional<TextSaveJob::Result::Outcome> saved;
    const QMetaObject::Connection saving =
        QObject::connect(saver, &DataSaver::finished,
                         [&saved](TextSaveJob::Result::Outcome outcome) { saved = outcome; });
    StallMeter saveStall;
    saveStall.start();
    const qint64 saveNs = ProcStats::monotonicNs();
    saver->saveTo(savePath, DataSaver::Encoding::Windows1250);
    waitUntil([&] { return saved.has_value(); }, deadlineAfter(60));
    const qint64 savedNs = ProcStats::monotonicNs();
    saveStall.stop();
    QObject::disconnect(saving);
    const bool saveWhole = saved == TextSaveJob::Result::Outcome::Saved &&
                           QFileInfo(savePath).size() == model.length();
    QFile::remove(savePath);
    settle(300);

    // Everything selected and deleted with the keys; the history holds it.
    const qint64 rssBeforeDelete = ProcStats::rssKiB();
    pressKey(view, Qt::Key_A, Qt::ControlModifier);
    pressKey(view, Qt::Key_Delete);
    settle(300);
    const qint64 rssAfterDelete = ProcStats::rssKiB();
    const qint64 historyBytes = model.history().bytes();
    const bool emptied = model.length() == 0;

    // Ctrl+Z: from the key to the end of the frame that painted the text back.
    qint64 frameNs = 0;
    app.watchFrames(rig.paintTarget(), {}, [&frameNs](qint64 now) { frameNs = now; });
    const qint64 undoNs = ProcStats::monotonicNs();
    pressKey(view, Qt::Key_Z, Qt::ControlModifier);
    const qint64 undoneNs = ProcStats::monotonicNs();
    waitUntil([&] { return frameNs > undoneNs; }, deadlineAfter(30));
    app.watchFrames(nullptr, {}, {});
    const bool restored = model.length() == held;

    return {{"held", double(held)},
            {"textBytes", double(textBytes)},
            {"findMs", foundIt ? double(foundNs - findNs) / kNsPerMs : -1.0},
            {"findStallMs", stall.longestMs()},
            {"found", foundIt && right},
            {"saveMs", double(savedNs - saveNs) / kNsPerMs},
            {"saveStallMs", saveStall.longestMs()},
            {"saved", saveWhole},
            {"emptied", emptied},
            {"historyBytes", double(historyBytes)},
            {"rssBeforeDeleteKiB", double(rssBeforeDelete)},
            {"rssAfterDeleteKiB", double(rssAfterDelete)},
            {"undoKeyMs", double(undoneNs - undoNs) / kNsPerMs},
            {"undoMs", frameNs > undoneNs ? double(frameNs - undoNs) / kNsPerMs : -1.0},
            {"restored", restored}};
}

// The DATA view holding the top level, the operator back at its start: Ctrl+H
// shows the hex view, Ctrl+End its last row, each timed to the end of the
// frame that painted it. The hex view's memory is the resident set's growth
// across both.
QJsonObject hexView(BenchApplication &app, Session &session, const BenchScale &scale) {
    ConsoleRig &rig = session.rig();
    auto *view = rig.dataView();
    if (!view)
        return {{"error", "no DATA view"}};
    DataViewPrivate *inside = DataViewPrivate::get(view);
    EditingModel &model = inside->model();
    holdTopLevel(view, scale);
    const qint64 textBytes = model.memoryUsed();
    model.setCaret(0);
    settle(300);

    // From the key to the end of the next frame that painted the view.
    const auto untilPainted = [&](int key) {
        qint64 frameNs = 0;
        app.watchFrames(rig.paintTarget(), {}, [&frameNs](qint64 now) { frameNs = now; });
        const qint64 startNs = ProcStats::monotonicNs();
        pressKey(view, key, Qt::ControlModifier);
        const qint64 handledNs = ProcStats::monotonicNs();
        waitUntil([&] { return frameNs > handledNs; }, deadlineAfter(30));
        app.watchFrames(nullptr, {}, {});
        return frameNs > handledNs ? double(frameNs - startNs) / kNsPerMs : -1.0;
    };
    const qint64 rssBefore = ProcStats::rssKiB();
    StallMeter stall;
    stall.start();
    const double switchMs = untilPainted(Qt::Key_H);
    const double endMs = untilPainted(Qt::Key_End);
    settle(300);
    stall.stop();
    const qint64 rssAfter = ProcStats::rssKiB();
    const qsizetype rows = model.length() / HexRows::RowBytes + 1;
    const bool atEnd = view->isHexView() && model.caret() == model.length() &&
                       inside->firstVisibleLine() + inside->visibleLines() >= rows;
    return {{"held", double(model.length())},
            {"textBytes", double(textBytes)},
            {"switchMs", switchMs},
            {"endMs", endMs},
            {"stallMs", stall.longestMs()},
            {"hexBytes", double(qMax<qint64>(0, rssAfter - rssBefore) * 1024)},
            {"atEnd", atEnd}};
}

// The floor for the ordinary flood: the same writer and the same stream into
// a pty, drained by a bare reader as `head -c` drains it: blocking reads of
// the slave side in raw mode, the bytes thrown away, no window, no event
// loop. Its CPU is the reading thread's alone.
QJsonObject bareReader(const BenchScale &scale) {
    PtyDevice pty;
    if (!pty.isValid())
        return {{"error", "no pty"}};
    const int fd = ::open(pty.slaveName().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return {{"error", "the pty's slave side did not open"}};
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    // A read waits for at least one byte, or a second at most, so that a
    // writer that failed does not hang the run.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 10;
    tcsetattr(fd, TCSANOW, &tio);

    const qint64 total = scale.floodBytes;
    const qint64 deadline = deadlineAfter(scale.oursBudgetS);
    std::vector<char> buffer(64 * 1024);
    FloodWriter writer(pty.masterFd());
    qint64 consumed = 0;
    qint64 reads = 0;
    const qint64 startCpuNs = ProcStats::threadCpuNs();
    const qint64 startNs = ProcStats::monotonicNs();
    writer.start(FloodStream(FloodStream::Shape::Lines, total, scale.replyEvery));
    while (consumed < total && !writer.failed() && ProcStats::monotonicNs() < deadline) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n > 0) {
            consumed += n;
            ++reads;
        } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
            break;
        }
    }
    const qint64 endNs = ProcStats::monotonicNs();
    const qint64 endCpuNs = ProcStats::threadCpuNs();
    writer.stop();
    const double writerCpuS = double(writer.cpuNs()) / kNsPerS;
    ::close(fd);
    const bool complete = consumed >= total;
    return {{"bytes", double(total)},
            {"consumed", double(consumed)},
            {"reads", double(reads)},
            {"seconds", double(endNs - startNs) / kNsPerS},
            {"cpuS", double(endCpuNs - startCpuNs) / kNsPerS},
            {"writerCpuS", writerCpuS},
            {"complete", complete},
            {"stoppedBy", complete          ? ""
                          : writer.failed() ? "pty"
                                            : "time"}};
}

// Back after a replug. Port 2 is mapped to a link in a folder of its own,
// leading to a pty. The pty goes (its other side closed) and, once the
// console waits, a new one is put behind the link: the figure is the time
// from the link leading to the new device to the port being open again.
// Then the device stays away, and the console's CPU time over that wait is
// taken, the event loop left to sleep as it does in the console.
QJsonObject replug(const BenchScale &scale) {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("port2"));
    std::unique_ptr<PtyDevice> pty;
    // A new device behind the link; returns when the link led to it, or -1.
    auto plugIn = [&]() -> qint64 {
        pty = std::make_unique<PtyDevice>();
        pty->closeSlave();
        QFile::remove(link);
        const qint64 now = ProcStats::monotonicNs();
        return pty->isValid() && QFile::link(pty->slaveName(), link) ? now : -1;
    };
    if (plugIn() < 0)
        return {{"error", "no pty"}};
    // Two lines of the link's log for every round would drown the progress.
    QLoggingCategory::setFilterRules(
        QStringLiteral("kalvex.link.info=false\nkalvex.link.warning=false"));
    ConsoleRig rig(ConsoleRig::View::Ours, ConsoleRig::portsWith(2, link));
    if (!rig.show())
        return {{"error", "the window was not exposed"}};
    if (!rig.openPort())
        return {{"error", "the port did not open"}};
    const MSComm *comm = rig.window()->findChild<MSComm *>(QStringLiteral("MSComm1"));
    auto pullOut = [&] {
        pty->closeMaster();
        return waitUntil([comm] { return comm->awaitsDevice(); }, deadlineAfter(5));
    };

    QJsonArray reopenMs;
    for (int i = 0; i < scale.replugRuns; ++i) {
        if (!pullOut())
            return {{"error", "the console did not wait for the device"}};
        settle(200);
        const qint64 back = plugIn();
        if (back < 0)
            return {{"error", "no pty"}};
        if (!waitUntil([comm] { return comm->portOpen(); }, deadlineAfter(5)))
            return {{"error", "the device was not reopened within 5 s"}};
        reopenMs.append(double(ProcStats::monotonicNs() - back) / kNsPerMs);
    }

    if (!pullOut())
        return {{"error", "the console did not wait for the device"}};
    const qint64 startNs = ProcStats::monotonicNs();
    const qint64 startCpuNs = ProcStats::processCpuNs();
    QEventLoop loop;
    QTimer::singleShot(int(scale.replugWaitS * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    const double waitS = double(ProcStats::monotonicNs() - startNs) / kNsPerS;
    const double cpuS = double(ProcStats::processCpuNs() - startCpuNs) / kNsPerS;
    const bool stillWaiting = comm->awaitsDevice() && !comm->portOpen();
    return {{"reopenMs", reopenMs},
            {"waitS", waitS},
            {"waitCpuS", cpuS},
            {"stillWaiting", stillWaiting}};
}

}  // namespace

QJsonObject runScenario(BenchApplication &app, const QString &name, ConsoleRig::View view,
                        qint64 level, const BenchScale &scale) {
    if (name == QLatin1String("bare"))
        return bareReader(scale);
    if (name == QLatin1String("replug"))
        return replug(scale);
    Session session(app, view);
    if (!session.start())
        return {{"error", session.error()}};
    if (name == QLatin1String("idle"))
        return idle(session, scale);
    if (name == QLatin1String("flood"))
        return ordinaryFlood(session, scale);
    if (name == QLatin1String("floodlog"))
        return loggedFlood(session, scale);
    if (name == QLatin1String("floodtimes") || name == QLatin1String("floodnotimes"))
        return timedFlood(session, scale, name == QLatin1String("floodtimes"));
    if (name == QLatin1String("hexview"))
        return hexView(app, session, scale);
    if (name == QLatin1String("line"))
        return longLine(session, scale);
    if (name == QLatin1String("history"))
        return history(app, session, scale);
    if (name == QLatin1String("levels"))
        return view == ConsoleRig::View::Ours ? oursLevels(session, scale)
                                              : baselineLevel(session, level, scale);
    return {{"error", "unknown scenario " + name}};
}
