// What the console does its own way on Windows: a COM port found again after
// a replug, Polish file names in saving and in the receive log, paths as long
// and as literal as Qt's files take them, the system's reason for a failure
// of the log, the save dialog in the documents. The port lists are checked on
// every system; the rest runs where the console does, and on Windows (under
// Wine in CI) meets the system's own file calls.
#include "codepage.h"
#include "editingmodel.h"
#include "fileerror.h"
#include "logsync.h"
#include "receivelog.h"
#include "replugwatch.h"
#include "savefiledialog.h"
#include "textsavejob.h"

#include <QDir>
#include <QFileDialog>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <mutex>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using PortNumber::NumberedPort;
using PortNumber::PortRecord;
using PortNumber::Scheme;

namespace {

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

PortRecord comPort(int n, const QString &serialNumber = {}) {
    return {QStringLiteral("COM%1").arg(n),
            QStringLiteral("\\\\.\\COM%1").arg(n),
            QStringLiteral("USB Serial Port"),
            QStringLiteral("FTDI"),
            serialNumber,
            false,
            {}};
}

// A folder and a file named with every Polish letter.
const QString kPolishName = QStringLiteral("Zażółć gęślą jaźń ĄĆĘŁŃÓŚŹŻ");

}  // namespace

class TestWindows : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void replugFindsTheSameComPort();
    void savesUnderPolishNames();
    void receiveLogUnderPolishNames();
    void receiveLogAtPathsAsQtTakesThem_data();
    void receiveLogAtPathsAsQtTakesThem();
    void logFailureGivesTheFailedCallsReason();
    void saveDialogOpensInDocuments();

private:
    QTemporaryDir m_dir;
};

void TestWindows::replugFindsTheSameComPort() {
    // An adapter with a serial number, on COM5 when it was pulled out.
    const NumberedPort awaited{5, QStringLiteral("COM5"), comPort(5, "A50285BI"), false, {}};
    const auto find = [&](const QList<PortRecord> &now) {
        return ReplugWatch::findAmong(awaited, awaited.device, now, Scheme::ComNumber);
    };
    // Back on another port: opened by its COM name, as the number opens it.
    QCOMPARE(find({comPort(3), comPort(7, "A50285BI")}), QStringLiteral("COM7"));
    QCOMPARE(find({comPort(5, "A50285BI")}), QStringLiteral("COM5"));
    // Another adapter under the old name is not the device.
    QCOMPARE(find({comPort(5, "FT0001")}), std::nullopt);

    // A port without a serial number comes back under its name, in either
    // form and any case, as a mapping may give it.
    const NumberedPort plain{12, QStringLiteral("COM12"), comPort(12), false, {}};
    for (const QString &path : {QStringLiteral("COM12"), QStringLiteral("\\\\.\\com12")})
        QCOMPARE(ReplugWatch::findAmong(plain, path, {comPort(1), comPort(12)}, Scheme::ComNumber),
                 QStringLiteral("COM12"));
    QCOMPARE(
        ReplugWatch::findAmong(plain, plain.device, {comPort(1), comPort(2)}, Scheme::ComNumber),
        std::nullopt);
}

void TestWindows::savesUnderPolishNames() {
    const QString folder = m_dir.filePath(kPolishName);
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + u'/' + kPolishName + QStringLiteral(".txt");
    EditingModel model;
    model.setByteCharset(CodePage::charset());
    model.setText(u"DATA\r\n");
    QByteArray received = "OK \xb1\xe6\xea\xb3\xf1\xf3\x9c\x9f\xbf\r\n";
    for (int byte = 0; byte < 256; ++byte) received += char(byte);
    model.appendReceivedBytes(received);

    // Twice: the second save replaces the first file whole.
    for (const QByteArray &more : {QByteArray("first"), QByteArray("second, longer")}) {
        model.appendReceivedBytes(more);
        received += more;
        TextSaveJob::Control control;
        const TextSaveJob::Result result =
            TextSaveJob::write(model.snapshot(), path, TextEncoder::Encoding::Windows1250, control);
        QVERIFY2(result.outcome == TextSaveJob::Result::Outcome::Saved,
                 qPrintable(result.failure.text()));
        QVERIFY(readFile(path) == "DATA\r\n" + received);
    }
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             QStringList{kPolishName + QStringLiteral(".txt")});
}

void TestWindows::receiveLogUnderPolishNames() {
    const QString path = m_dir.filePath(kPolishName + QStringLiteral(".log"));
    QByteArray chunk;
    for (int byte = 0; byte < 256; ++byte) chunk += char(byte);
    ReceiveLog log;
    QSignalSpy failed(&log, &ReceiveLog::failed);
    log.start(path, ReceiveLog::Existing::Replace);
    for (int i = 0; i < 3; ++i) log.append(chunk);
    // Handed to the system as it came, before the log stops.
    QVERIFY(readFile(path) == chunk + chunk + chunk);
    // Past the sync that runs at most once a second, and the one at the end.
    QTest::qWait(1200);
    log.append("end");
    log.stop();
    QVERIFY2(failed.isEmpty(),
             failed.isEmpty() ? "" : qPrintable(failed.first().at(0).value<FileFailure>().text()));
    QVERIFY(readFile(path) == chunk + chunk + chunk + "end");
}

void TestWindows::receiveLogAtPathsAsQtTakesThem_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    // Past Windows' 260 characters (MAX_PATH): Qt's files reach it through
    // the long-path form (\\?\).
    const QString deep(90, u'f');
    QTest::newRow("longer than 260 characters")
        << deep + u'/' + deep + u'/' + deep << QStringLiteral("capture.log");
    // Taken literally in that form; the ordinary one drops the space and
    // names another file.
    QTest::newRow("a name that ends in a space")
        << QStringLiteral(".") << QStringLiteral("capture.log ");
}

void TestWindows::receiveLogAtPathsAsQtTakesThem() {
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QVERIFY(QDir(m_dir.path()).mkpath(folder));
    const QString path = QDir::cleanPath(m_dir.filePath(folder) + u'/' + name);
    FileClaims claims;
    ReceiveLog log(&claims);
    QStringList failures;
    connect(&log, &ReceiveLog::failed, &log,
            [&failures](const FileFailure &failure) { failures << failure.text(); });
    log.start(path, ReceiveLog::Existing::Replace);
    log.append("first");
    // The log's claim knows its file by the path, as a save to it is refused.
    QVERIFY_THROWS_EXCEPTION(FileError, claims.check(path));
    // Past the check of the path that runs once a second.
    QTest::qWait(1500);
    log.append("second");
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    QVERIFY(log.isOn());
    log.stop();
    QCOMPARE(readFile(path), QByteArray("firstsecond"));
}

void TestWindows::logFailureGivesTheFailedCallsReason() {
    std::mutex mutex;
    QList<FileFailure> failures;
    LogSync sync([&](quint64, const FileFailure &failure) {
        const std::lock_guard lock(mutex);
        failures << failure;
    });
#ifdef Q_OS_WIN
    // A file open for reading only: Windows refuses to flush it to the disk.
    const QString path = m_dir.filePath(QStringLiteral("read-only.log"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    sync.follow(file.handle(), path);
    sync.written();
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const std::lock_guard lock(mutex);
            return !failures.isEmpty();
        }(),
        10000);
    QCOMPARE(failures.first().kind, FileFailure::Kind::Sync);
    QCOMPARE(failures.first().reason, qt_error_string(ERROR_ACCESS_DENIED));
#endif
    // A descriptor that is not open: the C runtime refuses to duplicate it.
    try {
        sync.follow(-1, m_dir.filePath(QStringLiteral("nowhere.log")));
        QFAIL("a descriptor that is not open was followed");
    } catch (const FileError &e) {
        QCOMPARE(e.reason(), QString::fromLocal8Bit(std::strerror(EBADF)));
    }
}

void TestWindows::saveDialogOpensInDocuments() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty() || !QDir(documents).exists())
        QSKIP("this system has no documents folder");
    QWidget window;
    QFileDialog *dialog =
        SaveFileDialog::open(&window, QStringLiteral("Zapisz"), {QStringLiteral("Tekst (*.txt)")},
                             QStringLiteral("txt"), SaveFileDialog::Existing::ConfirmReplace);
    QCOMPARE(QDir(dialog->directory()).canonicalPath(), QDir(documents).canonicalPath());
    dialog->close();
}

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
