#include <QTest>
class TestMSComm : public QObject { Q_OBJECT };
QTEST_GUILESS_MAIN(TestMSComm)
#include "tst_mscomm.moc"
