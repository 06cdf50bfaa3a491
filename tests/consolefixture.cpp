#include "consolefixture.h"

#include "dataview.h"
#include "form1.h"
#include "mscomm.h"

#include <QApplication>
#include <QTest>

ConsoleFixture::ConsoleFixture(PortDirectory ports)
    : m_services(std::move(ports)), m_window(new Form1(m_services)) {
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window))
        qWarning("the main window was not exposed");
}

ConsoleFixture::~ConsoleFixture() {
    takeFailures();
    delete m_window;
}

MSComm *ConsoleFixture::comm() const {
    return m_window->findChild<MSComm *>("MSComm1");
}

DataView *ConsoleFixture::dataView() const {
    return m_window->findChild<DataView *>("Text3");
}

QAbstractButton *ConsoleFixture::button(const char *name) const {
    auto *b = m_window->findChild<QAbstractButton *>(name);
    Q_ASSERT_X(b, "ConsoleFixture", name);
    return b;
}

QLineEdit *ConsoleFixture::box(const char *name) const {
    auto *b = m_window->findChild<QLineEdit *>(name);
    Q_ASSERT_X(b, "ConsoleFixture", name);
    return b;
}

QStringList ConsoleFixture::takeFailures() {
    QStringList texts;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (!box || !box->isVisible())
            continue;
        texts << box->text();
        box->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return texts;
}
