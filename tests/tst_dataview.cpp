#include <QMimeData>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include <algorithm>
#include <memory>
#include <string_view>

#include "dataview.h"

using namespace std::literals;

namespace {

// Opens the clipboard hooks (copy, drag, paste, drop) to the tests.
class ProbeView : public DataView {
public:
    using DataView::createMimeDataFromSelection;
    using DataView::insertFromMimeData;
};

QString str(std::u16string_view s) {
    return QString::fromUtf16(s.data(), qsizetype(s.size()));
}

// Displayed lines the text should give: CR LF, lone CR and lone LF each end one.
int expectedLines(const QString &text) {
    return int(text.count(u'\r') + text.count(u'\n') - text.count(u"\r\n")) + 1;
}

bool isControl(QChar ch) {
    const char16_t c = ch.unicode();
    return (c < 0x20 && c != u'\r' && c != u'\n' && c != u'\t') || (c >= 0x7F && c <= 0x9F);
}

// Characters shown with a format of their own (a background).
int markedCount(const DataView &view) {
    int marked = 0;
    for (QTextBlock b = view.document()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().background().style() != Qt::NoBrush)
                marked += it.fragment().length();
    return marked;
}

void placeCaret(DataView &view, int block, int column, int toBlock = -1, int toColumn = 0) {
    QTextCursor c(view.document()->findBlockByNumber(block));
    c.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, column);
    if (toBlock >= 0)
        c.setPosition(view.document()->findBlockByNumber(toBlock).position() + toColumn,
                      QTextCursor::KeepAnchor);
    view.setTextCursor(c);
}

// Received stream with every kind of line end, controls and Windows-1250 letters.
const QString kStream =
    str(u"DSTA OK\r\nąęłśżźćńó ĄĘŁŚŻŹĆŃÓ €\r\r\nline\n\r\n\n\rx\0y\x01z\x1f\x7f\x81\t\r"
        u"\r\n\0\0\0end\r"sv);

}  // namespace

class TestDataView : public QObject {
    Q_OBJECT

private slots:
    void receive_data() {
        QTest::addColumn<QString>("initial");
        QTest::addColumn<bool>("viaProperty");
        QTest::addColumn<QStringList>("chunks");
        QTest::addColumn<QString>("expected");
        const QString data = QStringLiteral("DATA\r\n");
        QTest::newRow("one chunk") << data << false << QStringList{"OK\r"} << data + "OK\r";
        QTest::newRow("two chunks") << data << false << QStringList{"O", "K\r"} << data + "OK\r";
        QTest::newRow("empty chunks")
            << data << false << QStringList{"", "OK\r", ""} << data + "OK\r";
        QTest::newRow("designer property") << data << true << QStringList{"OK\r"} << data + "OK\r";
        QTest::newRow("after clear") << QString() << false << QStringList{"OK\r"} << "OK\r";
        QTest::newRow("CR LF split") << QString() << false << QStringList{"a\r", "\nb"} << "a\r\nb";
    }

    void receive() {
        QFETCH(QString, initial);
        QFETCH(bool, viaProperty);
        QFETCH(QStringList, chunks);
        QFETCH(QString, expected);
        DataView view;
        view.setText(QStringLiteral("old\rtext"));
        if (viaProperty)
            QVERIFY(view.setProperty("text", initial));
        else
            view.setText(initial);
        QCOMPARE(view.property("text").toString(), initial);
        for (const QString &chunk : chunks) view.appendReceived(chunk);
        QCOMPARE(view.text(), expected);
        QCOMPARE(view.blockCount(), expectedLines(expected));
    }

    void randomChunkingGivesSameView() {
        const QString expected = "DATA\r\n" + kStream;
        QRandomGenerator random(20240607);
        for (int round = 0; round < 300; ++round) {
            DataView view;
            view.setText(QStringLiteral("DATA\r\n"));
            qsizetype from = 0;
            while (from < kStream.size()) {
                qsizetype to = from + 1 + random.bounded(int(kStream.size() - from));
                // Every third round also cuts each CR LF in two.
                if (round % 3 == 0) {
                    const qsizetype crlf = kStream.indexOf(u"\r\n", from);
                    if (crlf >= 0 && crlf < to)
                        to = crlf + 1;
                }
                view.appendReceived(kStream.mid(from, to - from));
                from = to;
            }
            QCOMPARE(view.text(), expected);
            QCOMPARE(view.blockCount(), expectedLines(expected));
        }
    }

    void controlCharactersAreMarkedNotHidden() {
        DataView view;
        view.setText(QString());
        const QString received =
            str(u"A\0B\x01"
                u"C\x7F D\x81\x9F E\tF"sv);
        view.appendReceived(received);
        QCOMPARE(view.text(), received);
        const QString shown = view.document()->firstBlock().text();
        QCOMPARE(shown.size(), received.size());
        for (qsizetype i = 0; i < received.size(); ++i) {
            QTextCursor at(view.document());
            at.setPosition(int(i) + 1);
            const bool marked = at.charFormat().background().style() != Qt::NoBrush;
            QCOMPARE(marked, isControl(received.at(i)));
            if (marked)
                QVERIFY2(shown.at(i).isPrint(), qPrintable(QString::number(i)));
            else
                QCOMPARE(shown.at(i), received.at(i));
        }

        // A real control picture is text, not a mark, also right after a mark.
        const QString pictures = str(u"\0␀␁"sv);
        view.setText(pictures);
        QCOMPARE(view.text(), pictures);
        QCOMPARE(markedCount(view), 1);
    }

    void longLinesAreBrokenForDisplayOnly() {
        DataView view;
        view.setText(QStringLiteral("DATA\r\n"));
        QString line;
        for (int i = 0; line.size() < 5 * 1024 * 1024; ++i) line += QChar(u'a' + i % 26);
        view.appendReceived(line);
        view.appendReceived(QStringLiteral("ąę\r\nok"));
        QCOMPARE(view.text(), "DATA\r\n" + line + "ąę\r\nok");
        QVERIFY(view.blockCount() > line.size() / DataView::DisplayLineLimit);
        for (QTextBlock b = view.document()->begin(); b.isValid(); b = b.next())
            QVERIFY(b.length() - 1 <= DataView::DisplayLineLimit);
    }

    void operatorEditing_data() {
        // keys: "\n" Enter, "\b" Backspace, "\x7f" Delete, other characters typed.
        QTest::addColumn<QString>("initial");
        QTest::addColumn<int>("block");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("expected");
        const QString wide(DataView::DisplayLineLimit, u'x');
        QTest::newRow("type, then a chunk") << "DATA\r\n"
                                            << 1 << 0 << "ab\nc"
                                            << "DATA\r\nab\r\nc";
        QTest::newRow("enter in LF line") << "a1\nb" << 0 << 1 << "\n"
                                          << "a\r\n1\nb";
        QTest::newRow("enter in CR line") << "ab\rc" << 0 << 1 << "\n"
                                          << "a\r\nb\rc";
        QTest::newRow("backspace joins") << "x\ry\nz" << 1 << 0 << "\b"
                                         << "xy\nz";
        QTest::newRow("delete joins") << "x\r\ny\rz" << 0 << 1 << "\x7f"
                                      << "xy\rz";
        QTest::newRow("delete mark") << str(u"a\0b"sv) << 0 << 2 << "\b"
                                     << "ab";
        QTest::newRow("type after mark") << str(u"a\0"sv) << 0 << 2 << "x" << str(u"a\0x"sv);
        QTest::newRow("type before mark") << str(u"a\0b"sv) << 0 << 1 << "x" << str(u"ax\0b"sv);
        QTest::newRow("join display break") << wide + "yz" << 1 << 0 << "\b" << wide + "yz";
    }

    void operatorEditing() {
        QFETCH(QString, initial);
        QFETCH(int, block);
        QFETCH(int, column);
        QFETCH(QString, keys);
        QFETCH(QString, expected);
        DataView view;
        view.setText(initial);
        placeCaret(view, block, column);
        for (QChar key : keys) {
            if (key == u'\n')
                QTest::keyClick(&view, Qt::Key_Return);
            else if (key == u'\b')
                QTest::keyClick(&view, Qt::Key_Backspace);
            else if (key == u'\x7f')
                QTest::keyClick(&view, Qt::Key_Delete);
            else
                QTest::keyClick(&view, key.toLatin1());
        }
        // A chunk goes after everything, typing included.
        view.appendReceived(QStringLiteral("OK\r"));
        expected += u"OK\r";
        QCOMPARE(view.text(), expected);
        QCOMPARE(markedCount(view),
                 int(std::count_if(expected.begin(), expected.end(), isControl)));
    }

    void pasteKeepsCharactersAndMakesLineBreaksCrLf() {
        ProbeView view;
        view.setText(QStringLiteral("ab"));
        placeCaret(view, 0, 1);
        QMimeData pasted;
        pasted.setText(
            str(u"1\0\x01"
                u"2\n3\r4\r\n5"sv));
        view.insertFromMimeData(&pasted);
        QCOMPARE(view.text(), str(u"a1\0\x01"
                                  u"2\r\n3\r\n4\r\n5b"sv));
        QCOMPARE(markedCount(view), 2);
        QCOMPARE(view.textCursor().position(),
                 view.document()->findBlockByNumber(3).position() + 1);
    }

    void copyGivesCharactersAsReceived() {
        ProbeView view;
        const QString wide(DataView::DisplayLineLimit, u'e');
        const QString received = "a\r\nb\r" + str(u"c\0d"sv) + wide + "f\ng";
        view.setText(received);
        // Blocks: "a" CR LF, "b" CR, "c␀d" + e… display break, "eee" + "f" LF, "g".
        QCOMPARE(view.blockCount(), 5);
        auto copied = [&view] {
            return std::unique_ptr<QMimeData>(view.createMimeDataFromSelection())->text();
        };
        view.selectAll();
        QCOMPARE(copied(), received);
        placeCaret(view, 0, 1, 2, 2);
        QCOMPARE(copied(), str(u"\r\nb\rc\0"sv));
        placeCaret(view, 2, 1, 3, 4);
        QCOMPARE(copied(), str(u"\0d"sv) + wide + "f");
        placeCaret(view, 2, 1, 2, 2);
        QCOMPARE(copied(), str(u"\0"sv));
    }

    void scrolling_data() {
        QTest::addColumn<QString>("operatorAction");
        QTest::addColumn<bool>("follows");
        QTest::newRow("at end") << "none" << true;
        QTest::newRow("scrolled up") << "scroll" << false;
        QTest::newRow("caret placed") << "caret" << false;
        QTest::newRow("selection to end") << "select end" << false;
    }

    void scrolling() {
        QFETCH(QString, operatorAction);
        QFETCH(bool, follows);
        DataView view;
        view.resize(300, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QScrollBar *bar = view.verticalScrollBar();
        view.setText(QString());
        for (int i = 0; i < 200; ++i) view.appendReceived(QStringLiteral("line %1\r\n").arg(i));
        QVERIFY(bar->maximum() > 100);
        QCOMPARE(bar->value(), bar->maximum());

        if (operatorAction == "scroll")
            bar->setValue(bar->maximum() - 50);
        else if (operatorAction == "caret")
            placeCaret(view, 198, 2);
        else if (operatorAction == "select end")
            placeCaret(view, 195, 0, 200, 0);
        const int value = bar->value();
        const int maximum = bar->maximum();
        const int anchor = view.textCursor().anchor();
        const int position = view.textCursor().position();

        for (int i = 0; i < 100; ++i) view.appendReceived(QStringLiteral("more %1\r\n").arg(i));
        QVERIFY(bar->maximum() > maximum);
        QCOMPARE(bar->value(), follows ? bar->maximum() : value);
        if (!follows && operatorAction != "scroll") {
            QCOMPARE(view.textCursor().anchor(), anchor);
            QCOMPARE(view.textCursor().position(), position);
        }
    }
};

QTEST_MAIN(TestDataView)
#include "tst_dataview.moc"
