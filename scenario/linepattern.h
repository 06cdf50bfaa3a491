#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

// A pattern for one received line: `*` stands for any run of characters,
// `?` for one character, and everything else for itself; `\*`, `\?` and
// `\\` are those characters themselves. A backslash before anything else is
// a backslash. The whole line must match, case and blanks included.
//
// Cost: compiling is one pass over the text; a match is linear in the line
// for a pattern with at most one `*`, and at worst the line's length times
// the pattern's otherwise (no backtracking beyond the last `*`).
class LinePattern {
public:
    LinePattern() = default;
    explicit LinePattern(const QString &text);

    // The pattern as written in the file.
    const QString &text() const { return m_text; }
    bool matches(QStringView line) const;

    // The pattern that matches exactly `line`: `*`, `?` and `\` escaped.
    static QString escape(QStringView line);

private:
    // A piece between two stars: literal characters, and `?` where `wild`
    // holds a 1 (one byte a character of `chars`).
    struct Piece {
        QString chars;
        QByteArray wild;
        bool matchesAt(QStringView line, qsizetype at) const;
    };

    QString m_text;
    QList<Piece> m_pieces;  // separated by stars
};
