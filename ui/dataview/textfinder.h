#pragma once

#include <QString>
#include <QStringView>

#include <array>

class TextStore;

// Finds a text in the DATA view's text, character for character, with or
// without regard to case. It reads the text piece by piece through
// TextStore::visit() and mid(), so a match may run across pieces, across a
// CR LF and across display breaks; a search never copies more than a needle's
// length of the text at a time.
//
// Each stretch is searched eight characters at a time where the processor
// has SSE2: a place is looked at only where both the needle's first and its
// last character stand (in any case that folds to them), as a filter over
// sixteen bytes at once. Elsewhere, and for needles whose first or last
// character folds from more than three characters, Boyer-Moore-Horspool:
// the window's last character says how far the needle can move.
class TextFinder {
public:
    TextFinder(QStringView needle, Qt::CaseSensitivity cs);

    qsizetype length() const { return m_needle.size(); }
    bool isEmpty() const { return m_needle.isEmpty(); }

    // The first match that starts in [from, to), or -1; the match may reach
    // past `to`.
    qsizetype findForward(const TextStore &text, qsizetype from, qsizetype to) const;
    // The last match that starts in [from, to), or -1.
    qsizetype findBackward(const TextStore &text, qsizetype from, qsizetype to) const;

private:
    // The first (last) match in [from, to) of the text.
    qsizetype find(const TextStore &text, qsizetype from, qsizetype to, bool last) const;
    // Matches in one stretch of text, starting before `limit`.
    qsizetype scan(QStringView stretch, qsizetype limit, bool last) const;
    qsizetype scanOne(const char16_t *text, qsizetype limit) const;
    qsizetype horspool(const char16_t *text, qsizetype limit) const;
    qsizetype filtered(const char16_t *text, qsizetype limit) const;
    bool matchesAt(const char16_t *text) const;
    char16_t fold(char16_t c) const;

    // Every character that is (or folds to) one of the needle's.
    struct Variants {
        std::array<char16_t, 3> chars{};
        int count = 0;
    };
    Variants variantsOf(char16_t folded) const;

    QString m_needle;  // case-folded when case does not matter
    bool m_fold;
    std::array<quint32, 256> m_skip{};  // by the low byte of a (folded) character
    Variants m_first;
    Variants m_last;
};
