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

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QObject>

// The pace at which the DATA view's screen follows its text. Chunks only
// mark the text as changed; the screen is brought up to date at once after
// a quiet spell and at most once a frame while text streams in. During a
// stream the vertical scroll bar, whose range and painting cost most, waits
// up to BarMs for its turn: the view follows the end without it.
class FramePacer : public QObject {
    Q_OBJECT

public:
    // One frame: the screen catches up with the text, and changes reach
    // assistive technology, at most this often; a find holds the window's
    // thread at most this long at a time.
    static constexpr int FrameMs = 8;
    // While text streams in, the vertical scroll bar is brought up to date
    // (and painted) at most this often.
    static constexpr int BarMs = 50;

    // Whether a frame brings the vertical scroll bar up to date too, or
    // leaves it for barDue().
    enum class Bar { Now, Later };
    Q_ENUM(Bar)

    explicit FramePacer(QObject *parent = nullptr);

    // The text changed: frameDue() comes at once after a quiet spell, or at
    // the next frame while text streams in.
    void schedule();
    // The screen, or the vertical scroll bar, was brought up to date.
    void synced();
    void barSynced();

signals:
    void frameDue(FramePacer::Bar bar);
    // The time of a bar that a frame left behind has come.
    void barDue();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    QBasicTimer m_frameTimer;
    QBasicTimer m_barTimer;
    QElapsedTimer m_sinceFrame;
    QElapsedTimer m_sinceBar;
    bool m_streaming = false;  // the frame due comes within a frame of the last one
};
