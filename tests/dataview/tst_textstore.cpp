// The DATA view's character store: pieces must join seamlessly whatever the
// edits, and memory must stay near two bytes a character and go back on clear.
#include <QRandomGenerator>
#include <QTest>

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
