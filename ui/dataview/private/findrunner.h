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

#include <QObject>
#include <QPointer>

class EditingModel;
class FindBox;
class FindSearch;
class QWidget;

// The operator's finds in the DATA view: the find box in the view's window,
// a search from the selection on (or back from it) that runs in slices, the
// match selected and brought into sight, and the box told how it went. An
// edit behind a running search begins it again; received text only adds to
// what it searches.
class FindRunner : public QObject {
    Q_OBJECT

public:
    FindRunner(EditingModel *model, QWidget *view);

    // Opens the find box, with the selected text to find when it is short.
    void open();
    // Searches for the box's text from the selection on, or back from it;
    // opens the box when there is nothing to find yet.
    void run(FindDirection direction);

    // The find box, once it was opened.
    FindBox *box() const;

private:
    void textChanged(qsizetype position, qsizetype removed, qsizetype inserted);
    void found(const FindMatch &match);
    void notFound();

    EditingModel *m_model;
    QWidget *m_view;
    FindSearch *m_search;
    QPointer<FindBox> m_box;
};
