// The DATA view's line index: however the text arrives or is edited, its
// lines must be the ones a fresh cut of the whole text gives.
#include <QRandomGenerator>
#include <QTest>

#include <vector>

#include "lineindex.h"
#include "textstore.h"

namespace {

constexpr int kLimit = LineIndex::Limit;

struct Line {
    qsizetype start;
    int length;
    LineEnd end;
    bool operator==(const Line &) const = default;
};

char endName(LineEnd end) {
    return "NCLRB"[int(end)];
}

// The lines of a text, cut in one pass that looks ahead for the LF of a CR LF.
std::vector<Line> cut(const QString &text) {
    std::vector<Line> lines;
    qsizetype start = 0;
    int length = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch == u'\r' || ch == u'\n') {
            const bool crlf = ch == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n';
            lines.push_back({start, length,
                             crlf          ? LineEnd::CrLf
                             : ch == u'\r' ? LineEnd::Cr
                                           : LineEnd::Lf});
            i += crlf ? 1 : 0;
            start = i + 1;
            length = 0;
            continue;
        }
        if (length == kLimit || (length == kLimit - 1 && ch.isHighSurrogate())) {
            lines.push_back({start, length, LineEnd::Break});
            start = i;
            length = 0;
        }
        ++length;
    }
    lines.push_back({start, length, LineEnd::None});
    return lines;
}

std::vector<Line> linesOf(const LineIndex &index) {
    std::vector<Line> lines;
    for (qsizetype i = 0; i < index.lineCount(); ++i)
        lines.push_back({index.lineStart(i), index.lineLength(i), index.lineEnd(i)});
    return lines;
}

QString describe(const std::vector<Line> &lines) {
    QString out;
    for (const Line &l : lines)
        out += QStringLiteral("%1+%2%3 ").arg(l.start).arg(l.length).arg(endName(l.end));
    return out;
}

// One edit applied alike to the store, its index and the plain model.
void edit(TextStore &store, LineIndex &index, QString &text, qsizetype from, qsizetype removed,
          const QString &inserted) {
    store.remove(from, removed);
    store.insert(from, inserted);
    text.replace(from, removed, inserted);
    index.replace(store, from, removed, inserted.size());
}

void compareLines(const LineIndex &index, const QString &text) {
    const std::vector<Line> expected = cut(text);
    const std::vector<Line> actual = linesOf(index);
    if (actual != expected)
        QFAIL(qPrintable("got " + describe(actual).left(400) + "\nwant " +
                         describe(expected).left(400)));
    QCOMPARE(index.textLength(), text.size());
}

// Every position maps to the line that holds it or whose line end it is.
void compareLineAt(const LineIndex &index, const QString &text) {
    const std::vector<Line> lines = cut(text);
    size_t line = 0;
    for (qsizetype position = 0; position <= text.size(); ++position) {
        while (line + 1 < lines.size() && lines[line + 1].start <= position) ++line;
        QCOMPARE(index.lineAt(position), qsizetype(line));
    }
}

// Text rich in what the index must get right: every kind of line end, long
// runs that need display breaks, and surrogate pairs.
QString randomText(QRandomGenerator &random, int size) {
    QString text;
    while (text.size() < size) {
        switch (random.bounded(10)) {
            case 0:
                text += u'\r';
                break;
            case 1:
                text += u'\n';
                break;
            case 2:
                text += u"\r\n";
                break;
            case 3:
                text += QString(random.bounded(kLimit - 3, kLimit + 3), u'x');
                break;
            case 4:
                text += QStringView(u"\U0001F600");
                break;
            default:
                text += QString(random.bounded(1, 80), QChar(u'a' + random.bounded(26)));
        }
    }
    return text;
}

}  // namespace

class TestLineIndex : public QObject {
    Q_OBJECT

private slots:
    void lines_data() {
        QTest::addColumn<QStringList>("chunks");
        QTest::addColumn<QString>("expected");  // length and end of each line
        const QString full(kLimit, u'x');
        QTest::newRow("empty") << QStringList{} << "0N";
        QTest::newRow("worked example") << QStringList{"DATA\r\n", "O", "K\r"} << "4C 2R 0N";
        QTest::newRow("CR LF split between chunks") << QStringList{"a\r", "\nb"} << "1C 1N";
        QTest::newRow("lone CR then CR LF") << QStringList{"\r\r\n"} << "0R 0C 0N";
        QTest::newRow("LF CR is two line ends") << QStringList{"\n\r"} << "0L 0R 0N";
        QTest::newRow("CR, other chunk, LF") << QStringList{"\r", "", "\n", "\n"} << "0C 0L 0N";
        QTest::newRow("exactly the limit keeps its CR LF")
            << QStringList{full, "\r\n"} << QStringLiteral("%1C 0N").arg(kLimit);
        QTest::newRow("one past the limit")
            << QStringList{full + "y"} << QStringLiteral("%1B 1N").arg(kLimit);
        QTest::newRow("twice the limit")
            << QStringList{full, full} << QStringLiteral("%1B %1N").arg(kLimit);
        QTest::newRow("pair kept whole at the limit")
            << QStringList{full.left(kLimit - 1), QStringLiteral("\U0001F600")}
            << QStringLiteral("%1B 2N").arg(kLimit - 1);
        QTest::newRow("pair just inside the limit")
            << QStringList{full.left(kLimit - 2) + QStringLiteral("\U0001F600") + "z"}
            << QStringLiteral("%1B 1N").arg(kLimit);
    }

    void lines() {
        QFETCH(QStringList, chunks);
        QFETCH(QString, expected);
        LineIndex index;
        QString text;
        for (const QString &chunk : chunks) {
            index.append(chunk);
            text += chunk;
        }
        QStringList got;
        for (qsizetype i = 0; i < index.lineCount(); ++i)
            got << QString::number(index.lineLength(i)) + endName(index.lineEnd(i));
        QCOMPARE(got.join(u' '), expected);
        compareLines(index, text);
        compareLineAt(index, text);
    }

    void randomChunkingMatchesOneCut() {
        QRandomGenerator random(4242);
        for (int round = 0; round < 30; ++round) {
            const QString text = randomText(random, 40000);
            LineIndex index;
            for (qsizetype from = 0; from < text.size();) {
                const qsizetype size = qMin<qsizetype>(random.bounded(1, 3000), text.size() - from);
                index.append(QStringView(text).mid(from, size));
                from += size;
            }
            compareLines(index, text);
            if (round < 3)
                compareLineAt(index, text);
        }
    }

    // Received bytes are cut as the characters they stand for: runs of
    // plain bytes of every length around the sixteen looked at together,
    // bytes just above CR, and chunks that split CR LF.
    void receivedBytesMatchOneCut() {
        QRandomGenerator random(515);
        for (int round = 0; round < 30; ++round) {
            QByteArray bytes;
            while (bytes.size() < 40000) {
                const int kind = random.bounded(8);
                if (kind == 0)
                    bytes += "\r\n";
                else if (kind == 1)
                    bytes += random.bounded(2) ? '\r' : '\n';
                else if (kind == 2)
                    bytes += QByteArray(random.bounded(kLimit - 20, kLimit + 20), 'x');
                else
                    for (int i = random.bounded(1, 40); i > 0; --i)
                        bytes += char(random.bounded(2) ? 0x0E + random.bounded(242)
                                                        : random.bounded(0x0D));
            }
            LineIndex index;
            for (qsizetype from = 0; from < bytes.size();) {
                const qsizetype size = qMin<qsizetype>(random.bounded(1, 300), bytes.size() - from);
                index.append(QByteArrayView(bytes).sliced(from, size));
                from += size;
            }
            compareLines(index, QString::fromLatin1(bytes));
        }
    }

    void editsMatchOneCut() {
        QRandomGenerator random(99);
        TextStore store;
        LineIndex index;
        QString text = randomText(random, 30000);
        store.append(text);
        index.append(text);
        const QStringList pieces = {
            "\r", "\n", "\r\n", "ab", QString(kLimit / 2, u'y'), QStringLiteral("\U0001F600")};
        for (int round = 0; round < 1500; ++round) {
            const qsizetype from = random.bounded(int(text.size() + 1));
            const qsizetype removed = qMin<qsizetype>(
                random.bounded(3) == 0 ? random.bounded(kLimit + 10) : random.bounded(3),
                text.size() - from);
            const QString inserted =
                random.bounded(3) == 0 ? QString() : pieces.at(random.bounded(int(pieces.size())));
            edit(store, index, text, from, removed, inserted);
            compareLines(index, text);
        }
        compareLineAt(index, text);
    }

    // Large inserts and removals, as undoing a large edit makes them.
    void largeEditsMatchOneCut() {
        QRandomGenerator random(123);
        TextStore store;
        LineIndex index;
        QString text = randomText(random, 50000);
        store.append(text);
        index.append(text);
        for (int round = 0; round < 40; ++round) {
            const qsizetype from = random.bounded(int(text.size() + 1));
            const qsizetype removed =
                round % 2 ? qMin<qsizetype>(random.bounded(30000), text.size() - from) : 0;
            const QString inserted = round % 2 ? QString() : randomText(random, 20000);
            edit(store, index, text, from, removed, inserted);
            compareLines(index, text);
        }
        compareLineAt(index, text);
    }

    void editsAcrossManyLines() {
        // Enough lines for many index groups, edited near group edges.
        TextStore store;
        LineIndex index;
        QString text;
        for (int i = 0; i < 1000; ++i) text += QStringLiteral("line %1\r\n").arg(i);
        store.append(text);
        index.append(text);
        QRandomGenerator random(5);
        for (int round = 0; round < 200; ++round) {
            const qsizetype line = random.bounded(int(index.lineCount()));
            const qsizetype from = index.lineStart(line) + random.bounded(3);
            const qsizetype removed = qMin<qsizetype>(random.bounded(40), text.size() - from);
            const QString inserted = round % 2 ? QStringLiteral("\r\nnew\r") : QString();
            edit(store, index, text, from, removed, inserted);
        }
        compareLines(index, text);
        compareLineAt(index, text);
    }

    void longestLineFollowsEdits() {
        TextStore store;
        LineIndex index;
        const QString text = "ab\r\n" + QString(300, u'x') + "\r\n" + QString(100, u'y');
        store.append(text);
        index.append(text);
        QCOMPARE(index.longestLine(), 300);
        index.append(QString(kLimit * 2, u'z'));
        QCOMPARE(index.longestLine(), kLimit);
        // Cutting the long lines away leaves the 300 as the longest again.
        const qsizetype from = index.lineStart(2);
        store.remove(from, store.size() - from);
        index.replace(store, from, text.size() + 2 * kLimit - from, 0);
        QCOMPARE(index.longestLine(), 300);
        store.insert(4, u"\r\n");
        index.replace(store, 4, 0, 2);
        QCOMPARE(index.longestLine(), 300);
        index.clear();
        QCOMPARE(index.longestLine(), 0);
        QCOMPARE(index.lineCount(), 1);
    }
};

QTEST_APPLESS_MAIN(TestLineIndex)
#include "tst_lineindex.moc"
