#include <QRandomGenerator>
#include <QTest>

#include <cstring>

#include "vectorblock.h"

// Every operation against a lane-by-lane reading of the same bytes. The
// suite is built twice: with the processor's instructions, and with the
// plain loops that stand in for them elsewhere (tst_vectorblock_scalar), so
// that the loops no build here runs day to day give the same answers.
namespace {

struct Lanes {
    uchar bytes[VectorBlock::Bytes];
    char16_t chars(int i) const {
        char16_t c;
        std::memcpy(&c, bytes + 2 * i, 2);
        return c;
    }
};

Lanes lanesOf(const VectorBlock &block) {
    Lanes lanes;
    block.store(lanes.bytes);
    return lanes;
}

// Bytes drawn mostly around the values the text's loops compare with: line
// ends, ASCII's top, and 0xFF.
Lanes randomLanes(QRandomGenerator &random) {
    static const uchar near[] = {0, 1, '\n', '\r', 14, 'a', 0x7F, 0x80, 0x81, 0xFE, 0xFF};
    Lanes lanes;
    for (uchar &byte : lanes.bytes)
        byte =
            random.bounded(2) ? near[random.bounded(int(sizeof near))] : uchar(random.bounded(256));
    return lanes;
}

unsigned byteMask(auto holds) {
    unsigned mask = 0;
    for (int i = 0; i < VectorBlock::Bytes; ++i) mask |= holds(i) ? 1u << i : 0;
    return mask;
}

unsigned charMask(auto holds) {
    unsigned mask = 0;
    for (int i = 0; i < VectorBlock::Chars; ++i) mask |= holds(i) ? 3u << (2 * i) : 0;
    return mask;
}

}  // namespace

class TestVectorBlock : public QObject {
    Q_OBJECT

private slots:
    void comparesAsLaneByLane() {
        QRandomGenerator random(34);
        for (int round = 0; round < 20000; ++round) {
            const Lanes a = randomLanes(random);
            const Lanes b = randomLanes(random);
            const VectorBlock x = VectorBlock::load(a.bytes);
            const VectorBlock y = VectorBlock::load(b.bytes);
            const uchar byte = b.bytes[0];
            const char16_t c = b.chars(0);
            QCOMPARE(x.mask(), byteMask([&](int i) { return a.bytes[i] >= 0x80; }));
            QCOMPARE(x.equal8(y).mask(), byteMask([&](int i) { return a.bytes[i] == b.bytes[i]; }));
            QCOMPARE(x.equal16(y).mask(),
                     charMask([&](int i) { return a.chars(i) == b.chars(i); }));
            QCOMPARE(x.equal8(VectorBlock::splat8(byte)).mask(),
                     byteMask([&](int i) { return a.bytes[i] == byte; }));
            QCOMPARE(x.equal16(VectorBlock::splat16(c)).mask(),
                     charMask([&](int i) { return a.chars(i) == c; }));
            QCOMPARE(x.atMost8(byte).mask(), byteMask([&](int i) { return a.bytes[i] <= byte; }));
            QCOMPARE(x.atMost16(c).mask(), charMask([&](int i) { return a.chars(i) <= c; }));
            const Lanes both = lanesOf(x & y);
            const Lanes either = lanesOf(x | y);
            for (int i = 0; i < VectorBlock::Bytes; ++i) {
                QCOMPARE(both.bytes[i], uchar(a.bytes[i] & b.bytes[i]));
                QCOMPARE(either.bytes[i], uchar(a.bytes[i] | b.bytes[i]));
            }
            if (const unsigned mask = x.equal8(y).mask(); mask != 0) {
                const int first = VectorBlock::firstByte(mask);
                QCOMPARE(a.bytes[first], b.bytes[first]);
                for (int i = 0; i < first; ++i) QVERIFY(a.bytes[i] != b.bytes[i]);
            }
        }
    }

    void widensAndNarrowsAsLaneByLane() {
        QRandomGenerator random(1250);
        for (int round = 0; round < 20000; ++round) {
            const Lanes a = randomLanes(random);
            const Lanes b = randomLanes(random);
            const VectorBlock x = VectorBlock::load(a.bytes);
            const Lanes low = lanesOf(x.widenLow8());
            const Lanes high = lanesOf(x.widenHigh8());
            for (int i = 0; i < VectorBlock::Chars; ++i) {
                QCOMPARE(low.chars(i), char16_t(a.bytes[i]));
                QCOMPARE(high.chars(i), char16_t(a.bytes[VectorBlock::Chars + i]));
            }
            // Back to bytes; a lane beyond a byte saturates as a signed
            // number does.
            const Lanes back = lanesOf(VectorBlock::narrow16(x.widenLow8(), x.widenHigh8()));
            QVERIFY(std::memcmp(back.bytes, a.bytes, VectorBlock::Bytes) == 0);
            const Lanes narrowed = lanesOf(VectorBlock::narrow16(x, VectorBlock::load(b.bytes)));
            for (int i = 0; i < VectorBlock::Bytes; ++i) {
                const char16_t c =
                    i < VectorBlock::Chars ? a.chars(i) : b.chars(i - VectorBlock::Chars);
                QCOMPARE(narrowed.bytes[i], uchar(c >= 0x8000 ? 0 : c > 0xFF ? 0xFF : c));
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestVectorBlock)
#include "tst_vectorblock.moc"
