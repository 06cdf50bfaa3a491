#include "receivetimes.h"

#include <QDateTime>

#include <algorithm>
#include <limits>

namespace {

constexpr qint64 kMsPerMinute = 60'000;

qint64 floorDiv(qint64 a, qint64 b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

}  // namespace

ReceiveTimes::Block ReceiveTimes::makeBlock(qsizetype position, qint64 ms) {
    Block block;
    block.start = position;
    block.times = new Times;
    block.times->base = ms;
    return block;
}

bool ReceiveTimes::fits(const Block &block, qsizetype position, qint64 ms) {
    const qint64 fromBase = ms - block.times->base;
    return block.size() < BlockSize && position - block.start <= 0xFFFF &&
           fromBase >= std::numeric_limits<qint32>::min() &&
           fromBase <= std::numeric_limits<qint32>::max();
}

void ReceiveTimes::add(Block &block, qsizetype position, qint64 ms) {
    Times *times = block.times.data();
    times->offsets.push_back(quint16(position - block.start));
    times->fromBase.push_back(qint32(ms - times->base));
}

void ReceiveTimes::append(qsizetype position, qint64 ms) {
    Q_ASSERT(m_blocks.empty() || position >= m_blocks.back().last());
    if (!m_blocks.empty() && position == m_blocks.back().last()) {
        // The time there goes.
        Times *times = m_blocks.back().times.data();
        times->offsets.pop_back();
        times->fromBase.pop_back();
        if (times->offsets.empty())
            m_blocks.pop_back();
    }
    if (m_blocks.empty() || !fits(m_blocks.back(), position, ms)) {
        if (!m_blocks.empty()) {
            // A block that is full keeps no spare room.
            Times *full = m_blocks.back().times.data();
            full->offsets.shrink_to_fit();
            full->fromBase.shrink_to_fit();
        }
        m_blocks.push_back(makeBlock(position, ms));
    }
    add(m_blocks.back(), position, ms);
}

std::optional<qint64> ReceiveTimes::at(qsizetype position) const {
    // The first block that reaches position.
    const auto block = std::partition_point(m_blocks.begin(), m_blocks.end(),
                                            [&](const Block &b) { return b.last() < position; });
    if (block == m_blocks.end() || block->start > position)
        return std::nullopt;
    const std::vector<quint16> &offsets = block->times->offsets;
    const auto found =
        std::lower_bound(offsets.begin(), offsets.end(), quint16(position - block->start));
    if (found == offsets.end() || block->start + *found != position)
        return std::nullopt;
    return block->time(found - offsets.begin());
}

qsizetype ReceiveTimes::split(qsizetype position) {
    const auto found = std::partition_point(m_blocks.begin(), m_blocks.end(),
                                            [&](const Block &b) { return b.last() < position; });
    const qsizetype index = found - m_blocks.begin();
    if (found == m_blocks.end() || found->start >= position)
        return index;
    // The times at and after position go to a block of their own.
    const Block &whole = *found;
    const std::vector<quint16> &offsets = whole.times->offsets;
    const qsizetype cut =
        std::lower_bound(offsets.begin(), offsets.end(), quint16(position - whole.start)) -
        offsets.begin();
    Block tail = makeBlock(whole.position(cut), whole.time(cut));
    tail.times->offsets.reserve(whole.size() - cut);
    tail.times->fromBase.reserve(whole.size() - cut);
    for (qsizetype i = cut; i < whole.size(); ++i) add(tail, whole.position(i), whole.time(i));
    Times *head = m_blocks[index].times.data();
    head->offsets.resize(cut);
    head->fromBase.resize(cut);
    head->offsets.shrink_to_fit();
    head->fromBase.shrink_to_fit();
    m_blocks.insert(m_blocks.begin() + index + 1, std::move(tail));
    return index + 1;
}

void ReceiveTimes::shiftFrom(qsizetype block, qsizetype by) {
    for (auto it = m_blocks.begin() + block; it != m_blocks.end(); ++it) it->start += by;
}

void ReceiveTimes::mergeAt(qsizetype block) {
    if (block <= 0 || block >= qsizetype(m_blocks.size()))
        return;
    Block &before = m_blocks[block - 1];
    const Block &after = m_blocks[block];
    if (before.size() + after.size() > BlockSize || after.last() - before.start > 0xFFFF)
        return;
    for (qsizetype i = 0; i < after.size(); ++i) {
        if (!fits(before, after.position(i), after.time(i)))
            return;  // (a time out of the first's range: nothing was added)
    }
    for (qsizetype i = 0; i < after.size(); ++i) add(before, after.position(i), after.time(i));
    m_blocks.erase(m_blocks.begin() + block);
}

ReceiveTimes ReceiveTimes::take(qsizetype position, qsizetype length, LineBreaks breaks) {
    ReceiveTimes taken;
    if (m_blocks.empty() || length <= 0)
        return taken;
    // [position, end) with a line break, (position, end] without.
    const qsizetype from = breaks == LineBreaks::Some ? position : position + 1;
    const qsizetype first = split(from);
    const qsizetype last = split(from + length);
    taken.m_blocks.assign(std::make_move_iterator(m_blocks.begin() + first),
                          std::make_move_iterator(m_blocks.begin() + last));
    for (Block &block : taken.m_blocks) block.start -= position;
    m_blocks.erase(m_blocks.begin() + first, m_blocks.begin() + last);
    shiftFrom(first, -length);
    mergeAt(first);
    return taken;
}

void ReceiveTimes::insert(qsizetype position, qsizetype length, LineBreaks breaks,
                          ReceiveTimes &&times) {
    if (length <= 0 || (m_blocks.empty() && times.m_blocks.empty()))
        return;
    const qsizetype at = split(breaks == LineBreaks::Some ? position : position + 1);
    shiftFrom(at, length);
    for (Block &block : times.m_blocks) block.start += position;
    const qsizetype count = qsizetype(times.m_blocks.size());
    m_blocks.insert(m_blocks.begin() + at, std::make_move_iterator(times.m_blocks.begin()),
                    std::make_move_iterator(times.m_blocks.end()));
    times.clear();
    mergeAt(at + count);
    mergeAt(at);
}

qsizetype ReceiveTimes::count() const {
    qsizetype n = 0;
    for (const Block &block : m_blocks) n += block.size();
    return n;
}

qsizetype ReceiveTimes::allocatedBytes() const {
    qsizetype bytes = qsizetype(m_blocks.capacity() * sizeof(Block));
    for (const Block &block : m_blocks) {
        bytes += qsizetype(sizeof(Times) + block.times->offsets.capacity() * sizeof(quint16) +
                           block.times->fromBase.capacity() * sizeof(qint32));
    }
    return bytes;
}

void ReceiveTimes::clear() {
    std::vector<Block>().swap(m_blocks);
}

QString ReceiveTimes::text(qint64 ms) {
    // The local hour and minute of the minute last asked about.
    thread_local qint64 cachedMinute = std::numeric_limits<qint64>::min();
    thread_local int hour = 0;
    thread_local int minute = 0;
    const qint64 minuteOf = floorDiv(ms, kMsPerMinute);
    if (minuteOf != cachedMinute) {
        const QTime local = QDateTime::fromMSecsSinceEpoch(minuteOf * kMsPerMinute).time();
        hour = local.hour();
        minute = local.minute();
        cachedMinute = minuteOf;
    }
    const int inMinute = int(ms - minuteOf * kMsPerMinute);
    const int values[] = {hour, minute, inMinute / 1000};
    QString out(12, Qt::Uninitialized);
    QChar *to = out.data();
    for (int i = 0; i < 3; ++i) {
        *to++ = QChar(u'0' + values[i] / 10);
        *to++ = QChar(u'0' + values[i] % 10);
        *to++ = i < 2 ? QChar(u':') : QChar(u'.');
    }
    const int milliseconds = inMinute % 1000;
    *to++ = QChar(u'0' + milliseconds / 100);
    *to++ = QChar(u'0' + milliseconds / 10 % 10);
    *to = QChar(u'0' + milliseconds % 10);
    return out;
}
