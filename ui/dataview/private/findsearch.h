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

#include "textfinder.h"

#include <QBasicTimer>
#include <QObject>

#include <optional>

// A search through the view's text on the window's thread, in slices of a
// few milliseconds, so that reception and painting go on during it: from an
// origin to the end (or back to the start), then around from the other end
// to the origin. Text received meanwhile is searched too.
class FindSearch : public QObject {
    Q_OBJECT

public:
    explicit FindSearch(const TextReader *text, QObject *parent = nullptr);

    // Forward: the first match starting at origin or after it, else the
    // first in the text. Backward: the last match starting before origin,
    // else the last in the text.
    void start(const TextFinder &finder, qsizetype origin, FindDirection direction);
    bool isRunning() const { return m_timer.isActive(); }
    FindDirection direction() const { return m_direction; }
    // How long a slice may hold the window's thread; a frame unless set.
    void setSliceTime(int ms) { m_sliceMs = ms; }

signals:
    // The search is over: one of these.
    void found(const FindMatch &match);
    void notFound();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    // Searches one slice; true when the search is over.
    bool step();
    // Ends the search with the match at `position`, or with none.
    void finish(std::optional<qsizetype> position);

    const TextReader *m_text;
    std::optional<TextFinder> m_finder;
    QBasicTimer m_timer;
    qsizetype m_origin = 0;
    FindDirection m_direction = FindDirection::Forward;
    bool m_wrapped = false;
    qsizetype m_next = 0;   // where the next slice begins (forward) or ends (backward)
    qsizetype m_bound = 0;  // where this round ends
    int m_sliceMs;
};
