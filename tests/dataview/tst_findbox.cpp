// Finding text in the DATA view as the operator does: Ctrl+F, the find box
// of the view's window, Enter, F3 and Shift+F3, the match selected and in
// sight, and the box's notes; the box closes with Escape and with its
// window, and keeps nothing alive.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#include "dataview_p.h"
#include "findbox.h"

namespace {

// The console's main window in small: a window holding the view.
struct Window {
    QWidget window;
    DataView *view = new DataView(&window);

    Window() {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(view);
        window.resize(500, 300);
        window.show();
        view->setFocus();
    }

    DataViewPrivate &inside() const { return *DataViewPrivate::get(view); }
    EditingModel &model() const { return inside().model(); }
    FindBox *box() const { return inside().findBox(); }
    QLineEdit *findText() const { return box()->findChild<QLineEdit *>("findText"); }
    QString status() const { return box()->findChild<QLabel *>("status")->text(); }

    // Ctrl+F in the view, the text typed (or, with line breaks, pasted)
    // into the box, Enter.
    void find(const QString &text) {
        QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(box() && box()->isVisible());
        findText()->selectAll();
        if (text.contains(u'\r'))
            findText()->insert(text);
        else
            QTest::keyClicks(findText(), text);
        QTest::keyClick(findText(), Qt::Key_Return);
    }
};

QString received() {
    QString text = QStringLiteral("DATA\r\nOK CF READY\r\n");
    for (int i = 0; i < 300; ++i) text += QStringLiteral("LINE %1 OK\r\n").arg(i);
    return text + QStringLiteral("ERR 7\r\nOK\r\nerr 8\r\n");
}

}  // namespace

class TestFindBox : public QObject {
    Q_OBJECT

private slots:
    void boxBelongsToTheWindowAndSpeaksPolish() {
        Window w;
        w.view->setText(received());
        w.model().setCaret(6, 8);  // "OK" selected
        QTest::keyClick(w.view, Qt::Key_F, Qt::ControlModifier);
        FindBox *box = w.box();
        QVERIFY(box);
        QCOMPARE(box->parentWidget(), &w.window);
        QVERIFY(box->isVisible());
        QVERIFY(!box->isModal());
        QVERIFY(!box->testAttribute(Qt::WA_QuitOnClose));
        QCOMPARE(box->windowTitle(), QStringLiteral("Znajdź"));
        QCOMPARE(box->findChild<QPushButton *>("findNext")->text(),
                 QStringLiteral("Znajdź następny"));
        QCOMPARE(box->findChild<QPushButton *>("findPrevious")->text(),
                 QStringLiteral("Znajdź poprzedni"));
        QCOMPARE(box->findChild<QCheckBox *>("matchCase")->text(),
                 QStringLiteral("Uwzględniaj wielkość liter"));
        // The short selection is what to find.
        QCOMPARE(w.findText()->text(), QStringLiteral("OK"));

        // Escape closes it; Ctrl+F brings the same box back.
        QTest::keyClick(w.findText(), Qt::Key_Escape);
        QVERIFY(!box->isVisible());
        w.view->find();
        QCOMPARE(w.box(), box);
        QVERIFY(box->isVisible());
    }

    void findNextPreviousAndAround() {
        QClipboard *clipboard = QApplication::clipboard();
        Window w;
        w.view->setText(received());
        w.model().setCaret(0);
        const qsizetype err7 = received().indexOf(u"ERR 7");
        const qsizetype err8 = received().indexOf(u"err 8");

        // Any case by default; the match is selected and in sight.
        w.find(QStringLiteral("err"));
        QTRY_COMPARE(w.model().selectedText(), QStringLiteral("ERR"));
        QCOMPARE(w.model().anchor(), err7);
        const QRect match = w.inside().cursorRect(err7);
        QVERIFY(w.view->viewport()->rect().contains(match.center()));
        QCOMPARE(w.status(), QString());
        QTest::keyClick(w.view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), QStringLiteral("ERR"));

        // F3 in the view goes on, then around with a note.
        QTest::keyClick(w.view, Qt::Key_F3);
        QTRY_COMPARE(w.model().anchor(), err8);
        QTest::keyClick(w.view, Qt::Key_F3);
        QTRY_COMPARE(w.model().anchor(), err7);
        QCOMPARE(w.status(), QStringLiteral("Doszło do końca, szukano od początku"));
        // Shift+F3 goes back, around the start.
        QTest::keyClick(w.view, Qt::Key_F3, Qt::ShiftModifier);
        QTRY_COMPARE(w.model().anchor(), err8);
        QCOMPARE(w.status(), QStringLiteral("Doszło do początku, szukano od końca"));
        // F3 in the box itself too.
        QVERIFY(QTest::qWaitForWindowActive(w.box()));
        QTest::keyClick(w.findText(), Qt::Key_F3, Qt::ShiftModifier);
        QTRY_COMPARE(w.model().anchor(), err7);
        QCOMPARE(w.status(), QString());

        // Case that matters.
        w.box()->findChild<QCheckBox *>("matchCase")->setChecked(true);
        w.model().setCaret(0);
        w.find(QStringLiteral("err"));
        QTRY_COMPARE(w.model().anchor(), err8);
        w.find(QStringLiteral("ERR 8"));
        QTRY_COMPARE(w.status(), QStringLiteral("Nie znaleziono"));
        QCOMPARE(w.model().anchor(), err8);  // the selection stays
    }

    // A match across a CR LF, found in a read-only view.
    void findsAcrossLineEndsInReadOnlyView() {
        Window w;
        w.view->setText(received());
        w.view->setReadOnly(true);
        w.model().setCaret(0);
        w.find(QStringLiteral("OK\r\nLINE 1 "));
        QTRY_COMPARE(w.model().selectedText(), QStringLiteral("OK\r\nLINE 1 "));
    }

    void closesWithItsWindow() {
        auto *w = new Window;
        w->view->setText(received());
        w->view->find();
        QPointer<FindBox> box = w->box();
        QVERIFY(box->isVisible());
        w->window.close();
        QVERIFY(!box->isVisible());
        delete w;
        QVERIFY(box.isNull());
    }
};

QTEST_MAIN(TestFindBox)
#include "tst_findbox.moc"
