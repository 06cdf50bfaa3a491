#include <QTest>
class TestCodePage : public QObject { Q_OBJECT };
QTEST_GUILESS_MAIN(TestCodePage)
#include "tst_codepage.moc"
