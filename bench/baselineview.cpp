#include "baselineview.h"

#include "form1.h"
#include "module1.h"
#include "mscomm.h"

#include <QAbstractScrollArea>
#include <QPlainTextEdit>

BaselineView::BaselineView(Form1 *window)
    : QObject(window), m_comm(window->findChild<MSComm *>(QStringLiteral("MSComm1"))) {
    // Only what every DATA view has is relied on, whatever widget it is.
    auto *view = window->findChild<QWidget *>(QStringLiteral("Text3"));
    m_editor = new QPlainTextEdit(view->parentWidget());
    m_editor->setObjectName(QStringLiteral("BaselineText3"));
    m_editor->setGeometry(view->geometry());
    m_editor->setFont(view->font());
    m_editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_editor->setPlainText(view->property("text").toString());
    view->hide();
    m_editor->show();

    QObject::disconnect(m_comm, &MSComm::onComm, window, nullptr);
    connect(m_comm, &MSComm::onComm, this, &BaselineView::receive);
}

void BaselineView::append(const QString &text) {
    m_editor->setPlainText(m_editor->toPlainText() + text);
}

void BaselineView::receive() {
    if (m_comm->commEvent() != MSComm::ComEvReceive)
        return;
    m_comm->input(Module1::receiveBuffer);
    append(Module1::receiveBuffer.toString());
}
