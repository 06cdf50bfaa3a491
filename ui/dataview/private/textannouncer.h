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

#include <QAccessible>
#include <QBasicTimer>
#include <QObject>
#include <QString>

class EditingModel;
class TextReader;

// Tells assistive technology what changed in the DATA view's text: received
// chunks and edits as text inserted and removed, and where the caret went,
// as changes of the view (the target). Changes are gathered and sent at
// most once a frame, so a flood of chunks is one insertion a frame, not one
// a chunk; a change longer than AnnouncedLimit characters is announced by
// its first AnnouncedLimit. Nothing is gathered while no assistive
// technology listens.
class TextAnnouncer : public QObject {
public:
    static constexpr qsizetype AnnouncedLimit = 4096;

    // Announces the changes of model's text as those of target, its parent.
    TextAnnouncer(QObject *target, const EditingModel *model);

    // Announcements go to handler instead of assistive technology, which
    // then need not listen (as with QAccessible::installUpdateHandler(),
    // which does not hear anything while no assistive technology listens);
    // nullptr goes back to assistive technology. Returns the one before.
    static QAccessible::UpdateHandler installUpdateHandler(QAccessible::UpdateHandler handler);
    // Whether anybody listens.
    static bool isListening();
    // Sends what is gathered now.
    void flush();
    // What the view shows: the model's text (as at first) or a reader of it.
    void setReader(const TextReader *reader);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void aboutToRemove(qsizetype position, qsizetype length);
    void textChanged(qsizetype position, qsizetype removed, qsizetype inserted);
    void caretMoved();
    void schedule();
    void announce(QAccessibleEvent *event);

    QObject *m_target;
    const EditingModel *m_model;
    const TextReader *m_reader;
    QBasicTimer m_timer;
    QString m_removed;  // what the edit under way takes out
    qsizetype m_insertedAt = -1;
    qsizetype m_inserted = 0;
    bool m_caretMoved = false;
    qsizetype m_announcedCaret = -1;
    qsizetype m_announcedAnchor = -1;
};
