// The DATA view's character store: pieces must join seamlessly whatever the
// edits, and memory must stay near two bytes a character and go back on clear.
#include <QRandomGenerator>
#include <QTest>

#include <utility>
#include <vector>

#include "textstore.h"

namespace {

constexpr qsizetype kPiece = TextStore::PieceSize;

QString sample(qsizetype size, int seed) {
    QString text(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) text[i] = QChar(char16_t(u'a' + (i * 7 + seed) % 26));
    return text;
}

// Everything a reader can see of the store matches the reference.
void compareWhole(const TextStore &store, const QString &expected) {
    QCOMPARE(store.size(), expected.size());
    QCOMPARE(store.toString(), expected);
    QString visited;
    store.visit(0, store.size(), [&visited](QStringView part) {
        visited += part;
        return true;
    });
    QCOMPARE(visited, expected);
}

}  // namespace

class TestTextStore : public QObject {
    Q_OBJECT

private slots:
    void appendsJoinAcrossPieces() {
        TextStore store;
        QString expected;
        // Chunk sizes that land just before, on and after piece boundaries.
        for (const qsizetype size : {qsizetype(1), kPiece - 2, qsizetype(1), qsizetype(1),
                                     qsizetype(3), 2 * kPiece + 5, qsizetype(1000)}) {
            const QString chunk = sample(size, int(expected.size()));
            store.append(chunk);
            expected += chunk;
        }
        compareWhole(store, expected);
        for (const qsizetype at :
             {qsizetype(0), kPiece - 1, kPiece, kPiece + 1, 3 * kPiece, expected.size() - 1})
            QCOMPARE(store.at(at), expected.at(at));
        // Slices across one and several boundaries, and clipped at the end.
        QCOMPARE(store.mid(kPiece - 3, 6), expected.mid(kPiece - 3, 6));
        QCOMPARE(store.mid(10, 3 * kPiece), expected.mid(10, 3 * kPiece));
        QCOMPARE(store.mid(expected.size() - 4, 100), expected.right(4));
        QCOMPARE(store.mid(expected.size(), 5), QString());
    }

    void visitStopsWhenAsked() {
        TextStore store;
        store.append(sample(3 * kPiece, 1));
        int parts = 0;
        store.visit(kPiece / 2, 2 * kPiece, [&parts](QStringView) { return ++parts < 2; });
        QCOMPARE(parts, 2);
    }

    void editsMatchPlainString() {
        QRandomGenerator random(77);
        TextStore store;
        QString expected = sample(3 * kPiece + 17, 3);
        store.append(expected);
        for (int round = 0; round < 400; ++round) {
            const qsizetype at = random.bounded(int(expected.size() + 1));
            // Mostly small edits; now and then one far larger than a piece,
            // which must be cut back into pieces.
            const qsizetype size = round % 40 == 0 ? 2 * kPiece + 3 : random.bounded(300);
            if (random.bounded(2) == 0) {
                const QString text = sample(size, round);
                store.insert(at, text);
                expected.insert(at, text);
            } else {
                store.remove(at, size);
                expected.remove(at, size);
            }
            QCOMPARE(store.size(), expected.size());
            if (!expected.isEmpty()) {
                const qsizetype probe = random.bounded(int(expected.size()));
                QCOMPARE(store.at(probe), expected.at(probe));
            }
        }
        compareWhole(store, expected);

        // Removing whole pieces and more, then growing again.
        store.remove(kPiece / 2, 2 * kPiece);
        expected.remove(kPiece / 2, 2 * kPiece);
        store.append(u"tail");
        expected += u"tail";
        compareWhole(store, expected);
        store.remove(0, store.size());
        compareWhole(store, QString());
        store.insert(0, u"again");
        compareWhole(store, QStringLiteral("again"));
    }

    // Taking a stretch out and putting it back gives the same text, wherever
    // the stretch begins and ends relative to the pieces.
    void takeAndPutBack_data() {
        QTest::addColumn<qsizetype>("position");
        QTest::addColumn<qsizetype>("length");
        QTest::newRow("a few characters") << qsizetype(10) << qsizetype(3);
        QTest::newRow("across one boundary") << kPiece - 2 << qsizetype(5);
        QTest::newRow("just under a piece") << kPiece / 2 << kPiece - 1;
        QTest::newRow("exactly a piece, on boundaries") << kPiece << kPiece;
        QTest::newRow("pieces, off boundaries") << kPiece / 3 << 2 * kPiece + 7;
        QTest::newRow("from the start") << qsizetype(0) << 3 * kPiece + 5;
        QTest::newRow("to the end") << kPiece + 9 << 4 * kPiece + 11 - (kPiece + 9);
        QTest::newRow("everything") << qsizetype(0) << 4 * kPiece + 11;
    }

    void takeAndPutBack() {
        QFETCH(qsizetype, position);
        QFETCH(qsizetype, length);
        const QString whole = sample(4 * kPiece + 11, 5);
        TextStore store;
        store.append(whole);

        TextStore taken = store.take(position, length);
        compareWhole(taken, whole.mid(position, length));
        compareWhole(store, QString(whole).remove(position, length));
        // The rest still edits and grows as one text.
        store.insert(position, u"|");
        store.remove(position, 1);
        store.put(position, std::move(taken));
        QVERIFY(taken.isEmpty());
        compareWhole(store, whole);
        store.append(u"end");
        compareWhole(store, whole + "end");
    }

    void putIntoEmptyAndAtTheEnds() {
        TextStore source;
        const QString big = sample(2 * kPiece + 3, 9);
        source.append(big);
        TextStore store;
        store.put(0, source.take(0, big.size()));
        compareWhole(store, big);
        TextStore last = store.take(big.size() - 5, 5);
        store.put(0, std::move(last));
        const QString rotated = big.right(5) + big.left(big.size() - 5);
        compareWhole(store, rotated);
        TextStore first = store.take(0, kPiece + 1);
        store.put(store.size(), std::move(first));
        compareWhole(store, rotated.mid(kPiece + 1) + rotated.left(kPiece + 1));
    }

    // A long stretch moves its pieces: taking a large text out and putting
    // it back costs no second copy of it.
    void longStretchesMoveNotCopy() {
        TextStore store;
        const QString chunk = sample(1000, 1);
        for (int i = 0; i < 2 * 1024; ++i) store.append(chunk);
        const qsizetype before = store.allocatedBytes();
        TextStore taken = store.take(100, store.size() - 200);
        // At most the two cut pieces' parts are new.
        const qsizetype cut = 2 * kPiece * qsizetype(sizeof(QChar));
        QVERIFY2(taken.allocatedBytes() + store.allocatedBytes() <= before + cut,
                 qPrintable(QStringLiteral("%1 + %2 > %3")
                                .arg(taken.allocatedBytes())
                                .arg(store.allocatedBytes())
                                .arg(before)));
        QVERIFY(store.allocatedBytes() < cut);
    }

    void randomTakesAndPutsMatchPlainString() {
        QRandomGenerator random(31);
        TextStore store;
        QString expected = sample(5 * kPiece, 2);
        store.append(expected);
        std::vector<std::pair<qsizetype, TextStore>> held;
        std::vector<QString> heldText;
        for (int round = 0; round < 300; ++round) {
            if (held.empty() || random.bounded(2) == 0) {
                const qsizetype at = random.bounded(int(expected.size() + 1));
                const qsizetype size = qMin<qsizetype>(
                    random.bounded(3) == 0 ? random.bounded(int(2 * kPiece)) : random.bounded(40),
                    expected.size() - at);
                held.emplace_back(at, store.take(at, size));
                heldText.push_back(expected.mid(at, size));
                expected.remove(at, size);
            } else {
                // Put back the last taken, as undo does, at a fresh place.
                const qsizetype at = random.bounded(int(expected.size() + 1));
                store.put(at, std::move(held.back().second));
                expected.insert(at, heldText.back());
                held.pop_back();
                heldText.pop_back();
            }
            QCOMPARE(store.size(), expected.size());
        }
        compareWhole(store, expected);
    }

    // Removing the whole first piece and part of the next leaves a text
    // whose first piece starts at 0 again.
    void removingTheFirstPieceKeepsTheRest() {
        const QString whole = sample(3 * kPiece, 4);
        TextStore store;
        store.append(whole);
        store.remove(0, kPiece + 10);
        compareWhole(store, whole.mid(kPiece + 10));
        QCOMPARE(store.at(kPiece), whole.at(2 * kPiece + 10));
    }

    void memoryStaysNearTwoBytesACharacterAndClearFreesIt() {
        TextStore store;
        const QString chunk = sample(1000, 0);
        for (int i = 0; i < 10 * 1024; ++i) store.append(chunk);
        const double perCharacter = double(store.allocatedBytes()) / double(store.size());
        QVERIFY2(perCharacter >= 2.0 && perCharacter < 2.05,
                 qPrintable(QString::number(perCharacter)));

        store.clear();
        QCOMPARE(store.size(), 0);
        QCOMPARE(store.allocatedBytes(), 0);
        store.append(u"OK\r");
        compareWhole(store, QStringLiteral("OK\r"));
    }
};

QTEST_APPLESS_MAIN(TestTextStore)
#include "tst_textstore.moc"
