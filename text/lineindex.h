#pragma once

#include <QByteArrayView>
#include <QStringView>
#include <QtGlobal>

#include <vector>

class TextStore;

// How a displayed line ends. Break is a line cut for display only; None is
// the last line, which is still open.
enum class LineEnd : quint8 { None, CrLf, Lf, Cr, Break };

// Which characters end a line, the rule LineIndex keeps, for a pass over a
// text in order that keeps no index (a save, a paste): CR LF, a lone CR and a
// lone LF each end one line. Costs a compare and a flag a character.
class LineEndScan {
public:
    enum class Char : quint8 {
        Text,     // not a line end
        End,      // a line end begins: a CR, or an LF after anything but a CR
        EndRest,  // the LF of a CR LF, whose CR ended the line
    };

    static constexpr char16_t Cr = u'\r';
    static constexpr char16_t Lf = u'\n';
    static constexpr bool isLineEnd(char16_t c) { return c == Cr || c == Lf; }

    // The next character of the text.
    Char next(char16_t c) {
        const Char kind = c == Cr || (c == Lf && !m_afterCr) ? Char::End
                          : c == Lf                          ? Char::EndRest
                                                             : Char::Text;
        m_afterCr = c == Cr;
        return kind;
    }

private:
    bool m_afterCr = false;
};

// The displayed lines of a text. CR LF, a lone CR and a lone LF each end one
// line, also when the CR and the LF came in separate appends; a line without
// a line end is cut every Limit characters (one character earlier rather
// than between the halves of a surrogate pair). The lines are a function of
// the text alone, so an edit only has to look at the lines around it.
//
// Each line costs two bytes: its length and how it ends. Where a line starts
// is summed from a checkpoint kept every GroupSize lines.
class LineIndex {
public:
    static constexpr int Limit = 4096;

    LineIndex();

    void clear();
    // The text grew by these characters at its end: as characters, or as
    // bytes of a ByteCharset (whose line ends are the ASCII ones).
    void append(QStringView text);
    void append(QByteArrayView bytes);
    // In `text`, `removed` characters at `from` were replaced by `inserted`
    // characters; the store already holds the new text.
    void replace(const TextStore &text, qsizetype from, qsizetype removed, qsizetype inserted);

    qsizetype lineCount() const { return qsizetype(m_lines.size()); }
    qsizetype textLength() const { return m_openStart + lineLength(lineCount() - 1); }
    qsizetype lineStart(qsizetype line) const;
    // Characters shown on the line, without its line end.
    int lineLength(qsizetype line) const { return m_lines[line] >> EndBits; }
    LineEnd lineEnd(qsizetype line) const { return LineEnd(m_lines[line] & EndMask); }
    static int endLength(LineEnd end);
    // The line holding the character at `position`, or whose line end it is;
    // the text's length gives the last line. A position where a display
    // break falls belongs to the line after the break.
    qsizetype lineAt(qsizetype position) const;
    // The greatest lineLength() of all lines.
    int longestLine() const;

    qsizetype allocatedBytes() const;

private:
    struct Scanner;

    static constexpr int EndBits = 3;
    static constexpr quint16 EndMask = (1 << EndBits) - 1;
    static constexpr qsizetype GroupSize = 64;
    static_assert(Limit < (1 << (16 - EndBits)));

    static quint16 pack(int length, LineEnd end) { return quint16(length << EndBits | int(end)); }
    template <typename Char>
    void appendRun(const Char *text, qsizetype size);
    int lineTotal(qsizetype line) const { return lineLength(line) + endLength(lineEnd(line)); }
    void rebuildGroupsFrom(qsizetype line);

    std::vector<quint16> m_lines;  // the last one is the open line
    std::vector<qsizetype> m_groupStarts;
    qsizetype m_openStart = 0;
    mutable int m_longest = 0;
    mutable bool m_longestKnown = true;
};
