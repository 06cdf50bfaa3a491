// Fuzzing of the DATA view: any sequence of received chunks, clearing and
// typing keeps its text exactly what a plain string model says, and never
// crashes.
#include "codepage.h"
#include "dataview.h"

#include <QApplication>
#include <QTest>

#include <cstdint>
#include <cstdlib>

namespace {

QApplication *app = nullptr;
DataView *view = nullptr;

void check(const QString &expected) {
    if (view->text() != expected)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_dataview";
    static char *argv[] = {name, nullptr};
    app = new QApplication(argc, argv);
    view = new DataView;
    view->resize(400, 200);
    view->show();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    view->setText(QStringLiteral("DATA\r\n"));
    QString expected = QStringLiteral("DATA\r\n");

    size_t at = 0;
    while (at < size) {
        const uint8_t op = data[at++];
        const size_t length = qMin<size_t>(op >> 2, size - at);
        const auto *bytes = reinterpret_cast<const char *>(data + at);
        switch (op & 3) {
            case 0:
            case 1: {  // a received chunk, every byte value
                const QString chunk = CodePage::decode(bytes, qsizetype(length));
                view->appendReceived(chunk);
                expected += chunk;
                at += length;
                break;
            }
            case 2: {  // the operator types printable text at the end
                QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
                QString typed;
                for (size_t i = 0; i < length && i < 8; ++i)
                    typed.append(QChar(u'a' + bytes[i] % 26));
                if (length % 5 == 4) {
                    QTest::keyClick(view, Qt::Key_Return);
                    typed.prepend(QStringLiteral("\r\n"));
                }
                QTest::keyClicks(view, typed.mid(typed.startsWith(u'\r') ? 2 : 0));
                expected += typed;
                at += qMin<size_t>(length, 8);
                break;
            }
            case 3:  // clear
                if (length == 0) {
                    view->setText(QString());
                    expected.clear();
                }
                check(expected);
                break;
        }
    }
    check(expected);
    return 0;
}
