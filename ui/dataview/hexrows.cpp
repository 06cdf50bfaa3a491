#include "hexrows.h"

#include <algorithm>

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";
constexpr char16_t kReplacement = 0xFFFD;

// What the characters column shows for a character: itself, or a dot for
// one that shows nothing (a control character, a format character).
char16_t shownAs(char16_t c) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || !QChar(c).isPrint())
        return u'.';
    return c;
}

}  // namespace

HexRows::HexRows(const TextReader &text) : m_text(text) {}

qsizetype HexRows::rowCount() const {
    return (m_text.length() + RowBytes - 1) / RowBytes;
}

int HexRows::offsetDigits() const {
    int digits = 8;
    for (qsizetype last = m_text.length() >> 32; last > 0; last >>= 4) ++digits;
    return digits;
}

HexRows::Row HexRows::row(qsizetype number) const {
    Row row;
    row.number = number;
    const qsizetype start = number * RowBytes;
    // One character before and after, for surrogate pairs at the edges.
    const qsizetype from = qMax<qsizetype>(0, start - 1);
    const qsizetype to = qMin(m_text.length(), start + RowBytes + 1);
    if (start >= to)
        return row;
    std::array<char16_t, RowBytes + 2> chars{};
    std::array<int, RowBytes + 2> bytes{};
    qsizetype at = 0;
    m_text.visit(from, to - from, [&](const TextSpan &span) {
        for (qsizetype i = 0; i < span.size(); ++i, ++at) {
            if (span.isWide()) {
                chars[at] = span.chars()[i];
                bytes[at] = span.charset().byteOf(chars[at]);
            } else {
                bytes[at] = span.bytes()[i];
                chars[at] = span.charset().character(span.bytes()[i]);
            }
        }
        return true;
    });
    const qsizetype first = start - from;  // where the row's own characters begin
    row.count = int(qMin<qsizetype>(RowBytes, m_text.length() - start));
    for (int i = 0; i < row.count; ++i) {
        Cell &cell = row.cells[i];
        const qsizetype k = first + i;
        const char16_t c = chars[k];
        cell.byte = bytes[k];
        cell.shownLength = 1;
        if (QChar::isHighSurrogate(c) && k + 1 < at && QChar::isLowSurrogate(chars[k + 1])) {
            if (i + 1 < RowBytes) {
                cell.shown[0] = c;
                cell.shown[1] = chars[k + 1];
                cell.shownLength = 2;
            } else {
                cell.shown[0] = kReplacement;
            }
        } else if (QChar::isLowSurrogate(c) && k > 0 && QChar::isHighSurrogate(chars[k - 1])) {
            // Shown with its first half, unless the row begins with it.
            cell.shown[0] = kReplacement;
            cell.shownLength = i == 0 ? 1 : 0;
        } else if (QChar::isSurrogate(c)) {
            cell.shown[0] = kReplacement;
        } else {
            cell.shown[0] = shownAs(c);
        }
    }
    return row;
}

QString HexRows::hexText(const Cell &cell) {
    if (cell.byte < 0)
        return QStringLiteral("--");
    const QChar digits[] = {QChar(kDigits[cell.byte >> 4]), QChar(kDigits[cell.byte & 0xF])};
    return QString(digits, 2);
}

void HexRows::appendRow(QString &out, qsizetype number) const {
    const Row row = this->row(number);
    const int digits = offsetDigits();
    const qsizetype offset = number * RowBytes;
    for (int d = digits - 1; d >= 0; --d) out += QChar(kDigits[(offset >> (4 * d)) & 0xF]);
    out += u"  ";
    for (int i = 0; i < RowBytes; ++i) {
        out += i < row.count ? hexText(row.cells[i]) : QStringLiteral("  ");
        out += i == 7 ? u"  " : u" ";
    }
    out += u" |";
    for (int i = 0; i < row.count; ++i)
        out.append(reinterpret_cast<const QChar *>(row.cells[i].shown), row.cells[i].shownLength);
    out += u'|';
}

QString HexRows::rowText(qsizetype number) const {
    QString out;
    out.reserve(rowWidth());
    appendRow(out, number);
    return out;
}

QString HexRows::rowsText(qsizetype from, qsizetype to) const {
    QString out;
    if (to <= from)
        return out;
    const qsizetype first = from / RowBytes;
    const qsizetype last = (to - 1) / RowBytes;
    out.reserve((last - first + 1) * (rowWidth() + 1));
    for (qsizetype number = first; number <= last; ++number) {
        appendRow(out, number);
        out += u'\n';
    }
    return out;
}

qsizetype HexRows::rowsPosition(qsizetype textPosition) const {
    const qsizetype n = m_text.length();
    textPosition = qBound<qsizetype>(0, textPosition, n);
    if (textPosition == n && n % RowBytes == 0)
        return length();  // after the last row
    return textPosition / RowBytes * (rowWidth() + 1) + hexColumn(int(textPosition % RowBytes));
}

qsizetype HexRows::textPosition(qsizetype rowsPosition) const {
    const qsizetype rows = rowCount();
    if (rows == 0)
        return 0;
    const qsizetype stride = rowWidth() + 1;
    rowsPosition = qBound<qsizetype>(0, rowsPosition, length());
    const qsizetype number = qMin(rows - 1, rowsPosition / stride);
    const int column = int(rowsPosition - number * stride);
    int index = 0;
    if (column >= charColumn(0)) {
        index = qMin(RowBytes, column - charColumn(0));
    } else if (column >= hexColumn(0)) {
        // A byte's hex and the space after it.
        const int k = column - hexColumn(0);
        index = qMin(RowBytes, (k >= 24 ? k - 1 : k) / 3);
    }
    return qMin(m_text.length(), number * RowBytes + index);
}

qsizetype HexRows::length() const {
    const qsizetype rows = rowCount();
    if (rows == 0)
        return 0;
    const qsizetype lastCount = m_text.length() - (rows - 1) * RowBytes;
    return (rows - 1) * (rowWidth() + 1) + charColumn(int(lastCount)) + 1;
}

QString HexRows::mid(qsizetype position, qsizetype length) const {
    const qsizetype total = this->length();
    position = qBound<qsizetype>(0, position, total);
    length = qBound<qsizetype>(0, length, total - position);
    if (length == 0)
        return QString();
    const qsizetype stride = rowWidth() + 1;
    const qsizetype first = position / stride;
    const qsizetype last = (position + length - 1) / stride;
    QString rows;
    for (qsizetype number = first; number <= last; ++number) {
        appendRow(rows, number);
        rows += u'\n';
    }
    return rows.mid(position - first * stride, length);
}

void HexRows::visit(qsizetype position, qsizetype length, const SpanVisitor &visit) const {
    TextStore text;
    text.append(mid(position, length));
    text.visit(0, text.size(), visit);
}

TextLine HexRows::lineAt(qsizetype position) const {
    const qsizetype rows = rowCount();
    if (rows == 0)
        return {};
    const qsizetype stride = rowWidth() + 1;
    const qsizetype number = std::clamp<qsizetype>(position / stride, 0, rows - 1);
    const bool last = number == rows - 1;
    const int width = last ? int(this->length() - number * stride) : rowWidth();
    return {number, number * stride, width, last ? LineEnd::None : LineEnd::Lf};
}
