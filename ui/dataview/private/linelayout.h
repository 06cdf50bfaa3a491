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

#include <QColor>
#include <QFont>
#include <QString>

#include <array>
#include <memory>
#include <vector>

class QPainter;
class QPointF;
class QTextLayout;

// One displayed line of the DATA view, laid out for painting and for mapping
// columns to x and back.
//
// Plain text is shaped by Qt; a TAB reaches the next tab stop; a character
// that a line cannot show as it is (a control character, or one that would
// end a line by itself) is drawn as its name in a coloured box, so it hides
// nothing and everything after it stays in place. Each character is one
// column; the caret stops between grapheme clusters.
//
// A line is shaped from its start in pieces of a few screen widths, only as
// far as it is drawn or asked about: a view following a flood of long lines
// shapes what is in sight, not thousands of characters a line. Until a line
// is shaped to its end, its width is an estimate at the average character
// width.
class LineLayout {
public:
    struct Fonts {
        QFont text;
        QFont mark;
        qreal tabWidth = 0;
        qreal charWidth = 1;  // for the width of what is not shaped yet
        int ascent = 0;       // where the baseline lies below the top of the line
    };
    struct Colours {
        QColor text, markText, markBackground, selectionText, selectionBackground;
    };

    LineLayout(const QString &text, const Fonts &fonts);
    ~LineLayout();

    static bool needsMark(QChar ch);
    // What a marked character's box shows: its ASCII name ("NUL", "ESC",
    // "DEL") or its code in hexadecimal.
    static QString markName(QChar ch);

    int length() const { return int(m_text.size()); }
    qreal width() const;
    // Whether the whole line is shaped, so that width() is exact.
    bool isComplete() const { return m_shaped == length(); }
    bool isMarked(int column) const;

    qreal xForColumn(int column) const;
    // The caret stop nearest to x.
    int columnAt(qreal x) const;
    int nextColumn(int column) const;
    int previousColumn(int column) const;

    // Draws the line with its top left corner at origin; columns [selectedFrom,
    // selectedTo) are shown selected. Only what lies between left and right
    // (in the line's own x) is drawn.
    void draw(QPainter *painter, const QPointF &origin, int lineHeight, int selectedFrom,
              int selectedTo, const Colours &colours, qreal left, qreal right) const;

private:
    enum class Kind { Text, Tab, Mark };
    struct Run {
        int from = 0;
        int to = 0;
        Kind kind = Kind::Text;
        qreal x = 0;
        qreal width = 0;
        std::unique_ptr<QTextLayout> layout;
    };

    // Shapes further until the runs reach past the column, or past x.
    void shapeTo(int column) const;
    void shapeToX(qreal x) const;
    void shapeNextRun() const;

    qsizetype runAt(int column) const;
    qsizetype runAtX(qreal x) const;

    QString m_text;
    Fonts m_fonts;
    // The shaped part: runs cover [0, m_shaped) and m_width of screen.
    mutable std::vector<Run> m_runs;
    mutable int m_shaped = 0;
    mutable qreal m_width = 0;
    mutable std::array<qreal, 0xA0> m_markWidths{};
};
