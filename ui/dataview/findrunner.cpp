#include "findrunner.h"

#include "editingmodel.h"
#include "findbox.h"
#include "findsearch.h"
#include "lineindex.h"

#include <QWidget>

#include <algorithm>

namespace {

// A selection this short and on one line is offered as the text to find.
constexpr qsizetype kFindFromSelection = 256;

}  // namespace

FindRunner::FindRunner(EditingModel *model, QWidget *view)
    : QObject(view), m_model(model), m_view(view), m_search(new FindSearch(model, this)) {
    connect(m_model, &EditingModel::textChanged, this, &FindRunner::textChanged);
    connect(m_search, &FindSearch::found, this, &FindRunner::found);
    connect(m_search, &FindSearch::notFound, this, &FindRunner::notFound);
}

void FindRunner::open() {
    if (!m_box) {
        m_box = new FindBox(m_view->window());
        connect(m_box, &FindBox::findRequested, this, &FindRunner::run);
    }
    const qsizetype selected = m_model->selectionEnd() - m_model->selectionStart();
    if (selected > 0 && selected <= kFindFromSelection) {
        const QString text = m_model->selectedText();
        // One line only: the find box's field holds no line end.
        if (std::none_of(text.cbegin(), text.cend(),
                         [](QChar c) { return LineEndScan::isLineEnd(c.unicode()); }))
            m_box->setText(text);
    }
    m_box->show();
    m_box->raise();
    m_box->activateWindow();
    m_box->focusText();
}

void FindRunner::run(FindDirection direction) {
    if (!m_box || m_box->text().isEmpty()) {
        open();
        return;
    }
    const TextFinder finder(m_box->text(), m_box->caseSensitivity());
    const qsizetype origin =
        direction == FindDirection::Backward ? m_model->selectionStart() : m_model->selectionEnd();
    m_search->start(finder, origin, direction);
}

FindBox *FindRunner::box() const {
    return m_box;
}

void FindRunner::textChanged(qsizetype position, qsizetype removed, qsizetype inserted) {
    // Received text only adds to what is searched; any other change moves
    // what the search has passed, so it begins again.
    if (m_search->isRunning() && (removed > 0 || position + inserted != m_model->length()))
        run(m_search->direction());
}

void FindRunner::found(const FindMatch &match) {
    if (!m_box)
        return;
    m_model->select(match.position, match.position + match.length);
    m_box->showFound(m_search->direction(), match.route);
}

void FindRunner::notFound() {
    if (m_box)
        m_box->showNotFound();
}
