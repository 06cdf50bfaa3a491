// The DATA view's character store: pieces must join seamlessly whatever the
// edits, whether they hold one byte or two a character; memory must stay
// near one byte a character for text the charset covers, and go back on
// clear.
#include <QRandomGenerator>
#include <QTest>

#include <utility>
#include <vector>

#include "testcharsets.h"
#include "textstore.h"

namespace {

using TestCharsets::cyrillic;

constexpr qsizetype kPiece = TextStore::PieceSize;

QString sample(qsizetype size, int seed) {
    QString text(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) text[i] = QChar(char16_t(u'a' + (i * 7 + seed) % 26));
    return text;
}

// Mostly ASCII, now and then a character beyond it: one that Latin-1 has,
// one the test's Cyrillic charset has, one no charset has, a surrogate pair.
QString mixedSample(qsizetype size, int seed) {
    QString text = sample(size, seed);
    const char16_t beyond[] = {u'é', u'Ж', u'Ω', 0xD83D, 0xDE00};
    for (qsizetype i = seed % 97; i + 1 < size; i += 97 + seed % 13) {
        const int pick = int((i + seed) % 5);
        text[i] = QChar(beyond[pick == 4 ? 3 : pick]);
        if (pick == 3) {  // the pair, whole
            text[i] = QChar(beyond[3]);
            text[i + 1] = QChar(beyond[4]);
        }
    }
    return text;
}

// Everything a reader can see of the store matches the reference. Through
// COMPARE_WHOLE, which ends the test at the first difference.
void compareWhole(const TextStore &store, const QString &expected) {
    QCOMPARE(store.size(), expected.size());
    QCOMPARE(store.toString(), expected);
    QString visited;
    QString byCharacter;
    store.visit(0, store.size(), [&](const TextSpan &span) {
        span.appendTo(visited);
        for (qsizetype i = 0; i < span.size(); ++i) byCharacter += span.at(i);
        return true;
    });
    QCOMPARE(visited, expected);
    QCOMPARE(byCharacter, expected);
}

#define COMPARE_WHOLE(store, expected)  \
    do {                                \
        compareWhole(store, expected);  \
        if (QTest::currentTestFailed()) \
            return;                     \
    } while (false)

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
        COMPARE_WHOLE(store, expected);
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
        int spans = 0;
        store.visit(kPiece / 2, 2 * kPiece, [&spans](const TextSpan &) { return ++spans < 2; });
        QCOMPARE(spans, 2);
    }

    // Pieces of one byte a character and of two, side by side and switching
    // as edits put in and take out characters beyond the charset.
    void editsMatchPlainString_data() {
        QTest::addColumn<bool>("mixed");
        QTest::addColumn<bool>("latin1");
        QTest::newRow("ASCII") << false << true;
        QTest::newRow("mixed, Latin-1") << true << true;
        QTest::newRow("mixed, Cyrillic") << true << false;
    }

    void editsMatchPlainString() {
        QFETCH(bool, mixed);
        QFETCH(bool, latin1);
        const auto make = mixed ? mixedSample : sample;
        QRandomGenerator random(77);
        TextStore store(latin1 ? ByteCharset::latin1() : cyrillic());
        QString expected = make(3 * kPiece + 17, 3);
        store.append(expected);
        for (int round = 0; round < 400; ++round) {
            const qsizetype at = random.bounded(int(expected.size() + 1));
            // Mostly small edits; now and then one far larger than a piece,
            // which must be cut back into pieces.
            const qsizetype size = round % 40 == 0 ? 2 * kPiece + 3 : random.bounded(300);
            if (random.bounded(2) == 0) {
                const QString text = make(size, round);
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
        COMPARE_WHOLE(store, expected);

        // Removing whole pieces and more, then growing again.
        store.remove(kPiece / 2, 2 * kPiece);
        expected.remove(kPiece / 2, 2 * kPiece);
        store.append(u"tail");
        expected += u"tail";
        COMPARE_WHOLE(store, expected);
        store.remove(0, store.size());
        COMPARE_WHOLE(store, QString());
        store.insert(0, u"again");
        COMPARE_WHOLE(store, QStringLiteral("again"));
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
        COMPARE_WHOLE(taken, whole.mid(position, length));
        COMPARE_WHOLE(store, QString(whole).remove(position, length));
        // The rest still edits and grows as one text.
        store.insert(position, u"|");
        store.remove(position, 1);
        store.put(position, std::move(taken));
        QVERIFY(taken.isEmpty());
        COMPARE_WHOLE(store, whole);
        store.append(u"end");
        COMPARE_WHOLE(store, whole + "end");
    }

    void putIntoEmptyAndAtTheEnds() {
        TextStore source;
        const QString big = sample(2 * kPiece + 3, 9);
        source.append(big);
        TextStore store;
        store.put(0, source.take(0, big.size()));
        COMPARE_WHOLE(store, big);
        TextStore last = store.take(big.size() - 5, 5);
        store.put(0, std::move(last));
        const QString rotated = big.right(5) + big.left(big.size() - 5);
        COMPARE_WHOLE(store, rotated);
        TextStore first = store.take(0, kPiece + 1);
        store.put(store.size(), std::move(first));
        COMPARE_WHOLE(store, rotated.mid(kPiece + 1) + rotated.left(kPiece + 1));
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
        TextStore store(cyrillic());
        QString expected = mixedSample(5 * kPiece, 2);
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
        COMPARE_WHOLE(store, expected);
    }

    // Removing the whole first piece and part of the next leaves a text
    // whose first piece starts at 0 again.
    void removingTheFirstPieceKeepsTheRest() {
        const QString whole = sample(3 * kPiece, 4);
        TextStore store;
        store.append(whole);
        store.remove(0, kPiece + 10);
        COMPARE_WHOLE(store, whole.mid(kPiece + 10));
        QCOMPARE(store.at(kPiece), whole.at(2 * kPiece + 10));
    }

    void memoryStaysNearOneByteACharacterAndClearFreesIt() {
        TextStore store;
        const QString chunk = sample(1000, 0);
        for (int i = 0; i < 10 * 1024; ++i) store.append(chunk);
        const double perCharacter = double(store.allocatedBytes()) / double(store.size());
        QVERIFY2(perCharacter >= 1.0 && perCharacter < 1.05,
                 qPrintable(QString::number(perCharacter)));

        store.clear();
        QCOMPARE(store.size(), 0);
        QCOMPARE(store.allocatedBytes(), 0);
        store.append(u"OK\r");
        COMPARE_WHOLE(store, QStringLiteral("OK\r"));
    }

    // Received bytes are kept as they came and read through the charset's
    // table, every value of them, in chunks of any size.
    void receivedBytesAreKeptAndReadThroughTheCharset() {
        TextStore store(cyrillic());
        QByteArray all;
        for (int b = 0; b < 256; ++b) all.append(char(b));
        QString expected;
        for (int round = 0; round < 3 * kPiece / 256 + 3; ++round) {
            store.append(QByteArrayView(all).sliced(round % 7));
            store.append(QByteArrayView(all).first(round % 7));
        }
        // The same stream decoded by hand.
        for (int round = 0; round < 3 * kPiece / 256 + 3; ++round) {
            const QByteArray bytes = all.sliced(round % 7) + all.first(round % 7);
            for (const char b : bytes) {
                const uchar u = uchar(b);
                expected += QChar(char16_t(u < 0x80 ? u : 0x400 + u - 0x80));
            }
        }
        COMPARE_WHOLE(store, expected);
        QCOMPARE(store.wideCharacters(), 0);
        // Room for one more piece at the end, no more.
        QVERIFY(store.allocatedBytes() < store.size() * 102 / 100 + kPiece);
    }

    // One character beyond the charset makes its own piece two bytes a
    // character, no other; once it is gone the piece is one byte again.
    void aCharacterBeyondTheCharsetWidensOnlyItsPiece() {
        TextStore store;
        const QString text = sample(4 * kPiece, 1);
        store.append(text);
        const qsizetype narrow = store.allocatedBytes();
        const qsizetype at = 2 * kPiece + 100;
        store.insert(at, u"Ω");
        COMPARE_WHOLE(store, QString(text).insert(at, u'Ω'));
        QCOMPARE(store.wideCharacters(), kPiece + 1);
        // That piece doubled, with the room an insert into it gets.
        QVERIFY2(store.allocatedBytes() < narrow + kPiece * 5 / 4,
                 qPrintable(QString::number(store.allocatedBytes() - narrow)));

        // A character the charset has does not widen a piece of bytes, nor
        // does it narrow one with Ω still in it.
        store.insert(10, u"é");
        store.insert(at + 2, u"é");
        QCOMPARE(store.wideCharacters(), kPiece + 2);
        store.remove(at + 1, 1);  // the Ω
        QCOMPARE(store.wideCharacters(), 0);
        COMPARE_WHOLE(store, QString(text).insert(at, u'é').insert(10, u'é'));
    }

    // Typed text beyond the charset goes into a piece of two bytes; what is
    // received after it begins a piece of one byte again.
    void bytesReceivedAfterAWidePieceStartTheirOwn() {
        TextStore store;
        store.append(QByteArrayView("OK\r\n"));
        store.append(u"Ω typed");
        store.append(QByteArrayView("received\r\n"));
        COMPARE_WHOLE(store, QStringLiteral("OK\r\nΩ typedreceived\r\n"));
        QCOMPARE(store.wideCharacters(), 7);
        store.append(u"é");  // into the piece of bytes
        QCOMPARE(store.wideCharacters(), 7);
        COMPARE_WHOLE(store, QStringLiteral("OK\r\nΩ typedreceived\r\né"));
    }

    // Taking out and putting back moves pieces of either kind as they are.
    void largeTakesKeepEachPieceItsKind() {
        TextStore store;
        QString text = sample(5 * kPiece, 2);
        text[3 * kPiece + 5] = u'Ω';
        store.append(text);
        QCOMPARE(store.wideCharacters(), kPiece);
        TextStore taken = store.take(kPiece / 2, 4 * kPiece);
        // Cut at its start and end, the wide piece is whole inside.
        QCOMPARE(taken.wideCharacters(), kPiece);
        QCOMPARE(store.wideCharacters(), 0);
        store.put(kPiece / 2, std::move(taken));
        COMPARE_WHOLE(store, text);
        QCOMPARE(store.wideCharacters(), kPiece);
    }

    void anotherCharsetKeepsTheCharacters() {
        TextStore store;
        const QString text = QStringLiteral("é and e") + sample(kPiece, 3);
        store.append(text);
        QCOMPARE(store.wideCharacters(), 0);
        store.setCharset(cyrillic());
        COMPARE_WHOLE(store, text);
        // é has no byte in the Cyrillic charset: its piece is wide now.
        QVERIFY(store.wideCharacters() > 0);
    }
};

QTEST_APPLESS_MAIN(TestTextStore)
#include "tst_textstore.moc"
