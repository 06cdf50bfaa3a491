#pragma once

//
//  W A R N I N G
//  -------------
//
// This file is not part of the DATA view's API. It exists for the engine's
// own implementation and for its tests, which reach it through the
// kalvex_dataview_private target. It may change from version to version
// without notice, or even be removed.
//
// We mean it.
//

#include "textreader.h"

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// Which way a find goes from where it starts.
enum class FindDirection { Forward, Backward };

// Where a find found its text.
struct FindMatch {
    // Around: found only after going around the end of the text (or its
    // start, backward), behind where the find started.
    enum class Route { Direct, Around };

    qsizetype position = 0;
    qsizetype length = 0;
    Route route = Route::Direct;

    bool operator==(const FindMatch &) const = default;
};

// Finds a text in the DATA view's text, character for character, with or
// without regard to case. It reads the text span by span through
// TextReader::visit() and mid(), so a match may run across pieces, across a
// CR LF and across display breaks; a search never copies more than a needle's
// length of the text at a time.
//
// Each stretch is searched eight characters at a time (sixteen where the
// store holds them one byte a character) where VectorBlock compares a block
// in one instruction: a place is looked at only where both the needle's
// first and its last character stand (in any case that folds to them), as a
// filter over sixteen bytes at once. Elsewhere, and for needles whose first
// or last character folds from too many characters, Boyer-Moore-Horspool:
// the window's last character says how far the needle can move. Bytes are
// searched as they are held, through tables of what each byte stands for; a
// needle with a character that no byte stands for is not looked for in them
// at all.
class TextFinder {
public:
    TextFinder(QStringView needle, Qt::CaseSensitivity cs);

    qsizetype length() const { return m_needle.size(); }
    bool isEmpty() const { return m_needle.isEmpty(); }

    // The first match that starts in [from, to), or -1; the match may reach
    // past `to`.
    qsizetype findForward(const TextReader &text, qsizetype from, qsizetype to) const;
    // The last match that starts in [from, to), or -1.
    qsizetype findBackward(const TextReader &text, qsizetype from, qsizetype to) const;

private:
    enum class Match { First, Last };
    // The first (last) match in [from, to) of the text.
    qsizetype find(const TextReader &text, qsizetype from, qsizetype to, Match which) const;
    // Matches in one stretch of text, starting before `limit`.
    qsizetype scan(const TextSpan &stretch, qsizetype limit, Match which) const;
    template <typename Char>
    qsizetype scanLast(const Char *text, qsizetype limit) const;
    qsizetype scanOne(const char16_t *text, qsizetype limit) const;
    qsizetype scanOne(const uchar *text, qsizetype limit) const;
    qsizetype horspool(const char16_t *text, qsizetype limit) const;
    qsizetype horspool(const uchar *text, qsizetype limit) const;
    qsizetype filtered(const char16_t *text, qsizetype limit) const;
    qsizetype filtered(const uchar *text, qsizetype limit) const;
    bool matchesAt(const char16_t *text) const;
    bool matchesAt(const uchar *text) const;
    char16_t fold(char16_t c) const;

    // Every character that is (or folds to) one of the needle's.
    struct Variants {
        std::array<char16_t, 3> chars{};
        int count = 0;
    };
    Variants variantsOf(char16_t folded) const;

    // The same for bytes of a ByteCharset, made when a store of it is first
    // searched.
    struct ByteTables {
        const ByteCharset *charset = nullptr;
        bool possible = true;              // every needle character has a byte
        std::array<char16_t, 256> folded;  // what each byte stands for, folded
        std::array<quint32, 256> skip;
        std::array<uchar, 4> first{};
        std::array<uchar, 4> last{};
        int firstCount = 0;  // 0: too many to filter for
        int lastCount = 0;
    };
    void prepareBytes(const ByteCharset &charset) const;

    QString m_needle;  // case-folded when case does not matter
    bool m_fold;
    std::array<quint32, 256> m_skip{};  // by the low byte of a (folded) character
    Variants m_first;
    Variants m_last;
    mutable ByteTables m_bytes;
};
