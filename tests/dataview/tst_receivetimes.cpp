// Receive times of the DATA view: each received line has the time its first
// character came at, shown or not, typed lines have none, the times follow
// their lines through edits, undo and redo, and the margin that shows them
// is not text.
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QRandomGenerator>
#include <QTest>

#include <map>

#include "dataview_p.h"

namespace {

// The receive time of every displayed line, -1 for none.
QList<qint64> timesOf(const EditingModel &model) {
    QList<qint64> times;
    for (qsizetype line = 0; line < model.lineCount(); ++line)
        times << model.receiveTime(line).value_or(-1);
    return times;
}

}  // namespace

class TestReceiveTimes : public QObject {
    Q_OBJECT

private slots:
    void timeOfTheChunkWithTheLinesFirstCharacter() {
        EditingModel model;
        model.setText(u"DATA\r\n");
        model.appendReceived(u"OK 17\r\nOK 1", 100);  // a chunk that ends mid-line
        model.appendReceived(u"8\r\nEND\r", 200);
        model.appendReceived(u"\nX", 300);  // the CR LF parted between chunks
        model.appendReceived(u"\r", 400);
        model.appendReceived(u"Y\r\n", 500);
        QCOMPARE(timesOf(model), (QList<qint64>{-1, 100, 100, 200, 300, 500, -1}));

        // A typed line has none; a line broken for display shows its time
        // on its first part.
        model.setCaret(model.length());
        model.type(u"typed\r\n");
        model.appendReceived(QString(LineIndex::Limit + 10, u'a') + QStringLiteral("\r\n"), 600);
        QCOMPARE(timesOf(model), (QList<qint64>{-1, 100, 100, 200, 300, 500, -1, 600, -1, -1}));

        // A line the operator emptied takes the time of the bytes that fill
        // it, not the time of the text deleted.
        model.appendReceived(u"B", 700);
        model.select(model.length() - 1, model.length());
        model.removeSelection();
        model.appendReceived(u"C\r\n", 800);
        QCOMPARE(timesOf(model).mid(7), (QList<qint64>{600, -1, 800, -1}));

        // Not recording (a benchmark's comparison): lines have no time, and
        // those taken stay.
        model.setRecordingTimes(false);
        model.appendReceived(u"Z\r\n", 900);
        QCOMPARE(timesOf(model).mid(7), (QList<qint64>{600, -1, 800, -1, -1}));
    }

    void timesFollowEditsUndoAndRedo() {
        EditingModel model;
        model.appendReceived(u"A\r\n", 100);
        model.appendReceived(u"B\r\n", 200);
        model.appendReceived(u"C\r\n", 300);
        const QList<qint64> all{100, 200, 300, -1};

        // Deleting a line deletes its time; undo brings it back, whatever
        // was received in between.
        model.select(3, 6);
        model.removeSelection();
        QCOMPARE(timesOf(model), (QList<qint64>{100, 300, -1}));
        model.appendReceived(u"D\r\n", 400);
        model.undo();
        QCOMPARE(timesOf(model), (QList<qint64>{100, 200, 300, 400, -1}));
        model.redo();
        QCOMPARE(timesOf(model), (QList<qint64>{100, 300, 400, -1}));
        model.undo();

        // Backspace at the start of a line joins it to the line before,
        // whose time the joined line shows.
        model.setCaret(6);
        model.deleteBackward();
        QCOMPARE(model.text(), QStringLiteral("A\r\nBC\r\nD\r\n"));
        QCOMPARE(timesOf(model), (QList<qint64>{100, 200, 400, -1}));
        model.undo();
        QCOMPARE(timesOf(model), (QList<qint64>{100, 200, 300, 400, -1}));

        // Typing at the start of a line keeps its time there; Enter there
        // makes a line without one before it.
        model.setCaret(3);
        model.type(u"# ");
        model.setCaret(0);
        model.type(u"\r\n");
        QCOMPARE(model.text(), QStringLiteral("\r\nA\r\n# B\r\nC\r\nD\r\n"));
        QCOMPARE(timesOf(model), (QList<qint64>{-1, 100, 200, 300, 400, -1}));
        model.undo();
        model.undo();
        QCOMPARE(timesOf(model), (QList<qint64>{100, 200, 300, 400, -1}));
        QCOMPARE(model.text(), QStringLiteral("A\r\nB\r\nC\r\nD\r\n"));
    }

    // The blocks against a plain map of positions to times, through random
    // appends, takes and inserts (with and without line breaks) over gaps
    // of every size, so that blocks fill, split and join.
    void blocksAgreeWithAPlainMap() {
        using Breaks = ReceiveTimes::LineBreaks;
        QRandomGenerator random(27);
        ReceiveTimes times;
        std::map<qsizetype, qint64> plain;
        qsizetype length = 0;
        struct Taken {
            ReceiveTimes times;
            std::map<qsizetype, qint64> plain;
            qsizetype length;
            Breaks breaks;
        };
        std::vector<Taken> taken;
        for (int round = 0; round < 4000; ++round) {
            Breaks breaks = random.bounded(2) ? Breaks::Some : Breaks::None;
            const int op = random.bounded(10);
            if (op < 5 || length == 0) {
                const qsizetype gap = random.bounded(8) ? random.bounded(1, 200) : 70'000;
                length += gap;
                times.append(length - 1, round * 1000LL);
                plain[length - 1] = round * 1000LL;
            } else if (op < 8) {
                const qsizetype p = random.bounded(length);
                const qsizetype n = random.bounded(1, int(qMin<qsizetype>(length - p, 5000)) + 1);
                // [p, p + n) with a line break, (p, p + n] without.
                const qsizetype shift = breaks == Breaks::Some ? 0 : 1;
                std::map<qsizetype, qint64> out, kept;
                for (const auto &[at, ms] : plain) {
                    if (at >= p + shift && at < p + n + shift)
                        out[at - p] = ms;
                    else
                        kept[at >= p + n + shift ? at - n : at] = ms;
                }
                plain = std::move(kept);
                length -= n;
                taken.push_back({times.take(p, n, breaks), std::move(out), n, breaks});
            } else if (!taken.empty()) {
                // Text taken out goes back in, anywhere, with its times.
                Taken held = std::move(taken.back());
                taken.pop_back();
                const qsizetype n = held.length;
                breaks = held.breaks;
                const qsizetype shift = breaks == Breaks::Some ? 0 : 1;
                const qsizetype p = random.bounded(length + 1);
                std::map<qsizetype, qint64> moved;
                for (const auto &[at, ms] : plain) moved[at >= p + shift ? at + n : at] = ms;
                for (const auto &[at, ms] : held.plain) moved[p + at] = ms;
                plain = std::move(moved);
                length += n;
                times.insert(p, n, breaks, std::move(held.times));
            }
            QCOMPARE(times.count(), qsizetype(plain.size()));
        }
        for (const auto &[at, ms] : plain) QCOMPARE(times.at(at), std::optional<qint64>(ms));
    }

    // A time is a record of when the bytes came, taken whether the margin
    // is shown or not. Shown, the times take a margin; the text, copying and
    // what assistive technology reads are as without them.
    void takenWhileHiddenAndTheMarginIsNotText() {
        DataView view;
        view.resize(600, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.setText(QStringLiteral("DATA\r\n"));
        DataViewPrivate &d = *DataViewPrivate::get(&view);
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        view.appendReceivedBytes("OK 16\r\n");
        const qint64 after = QDateTime::currentMSecsSinceEpoch();
        const QRect hidden = d.cursorRect(6);
        QTest::keyClick(&view, Qt::Key_T, Qt::ControlModifier);
        QVERIFY(view.receiveTimesShown());
        const std::optional<qint64> first = d.model().receiveTime(1);
        QVERIFY(first && *first >= before && *first <= after);
        view.appendReceivedBytes("OK 17\r\n");
        QVERIFY(d.model().receiveTime(2) >= first);
        QVERIFY(d.cursorRect(6).left() > hidden.left() + 50);
        QCOMPARE(d.positionAt(d.cursorRect(8).center()), 8);

        QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
        const QString text = QStringLiteral("DATA\r\nOK 16\r\nOK 17\r\n");
        QCOMPARE(QApplication::clipboard()->text(), text);
        QCOMPARE(d.reader().mid(0, 100), text);
    }
};

QTEST_MAIN(TestReceiveTimes)
#include "tst_receivetimes.moc"
