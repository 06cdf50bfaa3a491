// Saving the DATA view: the file is the view's text as it stands, received
// bytes written back as they came, in Windows-1250 or UTF-8; a character the
// code page lacks is never replaced; a save that fails or is cancelled
// changes no file and leaves nothing behind, and its last step cannot be
// cancelled; the view goes on changing while a snapshot of it is saved; the
// save and the receive log never take each other's file.
#include "codepage.h"
#include "consolefixture.h"
#include "datasaver.h"
#include "dataview.h"
#include "dataview_p.h"
#include "disksync.h"
#include "editingmodel.h"
#include "kalvexversion.h"
#include "receivelog.h"
#include "receivelogcontrol.h"
#include "saveprogressdialog.h"
#include "textencoder.h"
#include "textsavejob.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <errno.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using Encoding = TextEncoder::Encoding;
using Outcome = TextSaveJob::Result::Outcome;

// Every byte 0-255, lone CRs and LFs, CR LF, and Polish letters, as the
// device sends them (Windows-1250).
QByteArray receivedBytes() {
    QByteArray bytes =
        "OK \xb1\xe6\xea\xb3\xf1\xf3\x9c\x9f\xbf \xa5\xc6\xca\xa3\xd1\xd3\x8c\x8f\xaf\r\n"
        "lone CR\rlone LF\nCR LF\r\n";
    for (int byte = 0; byte < 256; ++byte) bytes += char(byte);
    return bytes;
}

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A model holding what the console holds: "DATA" CR LF, then received bytes.
std::unique_ptr<EditingModel> receivedText(const QByteArray &bytes) {
    auto model = std::make_unique<EditingModel>();
    model->setByteCharset(CodePage::charset());
    model->setText(u"DATA\r\n");
    model->appendReceivedBytes(bytes);
    return model;
}

TextSaveJob::Result save(const EditingModel &model, const QString &path, Encoding encoding) {
    TextSaveJob::Control control;
    return TextSaveJob::write(model.snapshot(), path, encoding, control);
}

// Mounts a tmpfs, when this process may (root, outside a container that
// forbids it); unmounted again by the destructor.
class Tmpfs {
public:
    Tmpfs(const QString &dir, const QString &options) : m_dir(dir) {
        m_mounted = geteuid() == 0 &&
                    QProcess::execute("mount", {"-t", "tmpfs", "-o", options, "tmpfs", dir}) == 0;
    }
    ~Tmpfs() {
        if (m_mounted)
            QProcess::execute("umount", {m_dir});
    }
    bool isMounted() const { return m_mounted; }
    bool remount(const QString &options) {
        return QProcess::execute("mount", {"-o", "remount," + options, m_dir}) == 0;
    }

private:
    QString m_dir;
    bool m_mounted = false;
};

}  // namespace

class TestDataSave : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void roundTrip_data();
    void roundTrip();
    void characterBeyondCodePageIsNeverReplaced();
    void failedSaveChangesNothing_data();
    void failedSaveChangesNothing();
    void cancelledSaveLeavesNothing();
    void viewGoesOnWhileItsSnapshotIsSaved();
    void timedSaveWritesEachLineWithItsTime();

    // The window.
    void failureIsShownAndViewKept();
    void characterBeyondCodePageOffersUtf8();
    void saveOverLiveLogIsRefused();
    void lastStepCannotBeCancelled();

private:
    QTemporaryDir m_dir;
};

void TestDataSave::initTestCase() {
    QVERIFY(m_dir.isValid());
    // A file beyond RLIMIT_FSIZE fails its write, as in the console.
    ::signal(SIGXFSZ, SIG_IGN);
}

void TestDataSave::roundTrip_data() {
    QTest::addColumn<bool>("edited");
    QTest::addColumn<int>("encoding");
    for (const bool edited : {false, true}) {
        const char *what = edited ? "edited" : "as received";
        QTest::addRow("Windows-1250, %s", what) << edited << int(Encoding::Windows1250);
        QTest::addRow("UTF-8, %s", what) << edited << int(Encoding::Utf8);
    }
}

void TestDataSave::roundTrip() {
    QFETCH(bool, edited);
    QFETCH(int, encoding);
    const QByteArray received = receivedBytes();
    const auto model = receivedText(received);
    // What the operator typed (Enter is CR LF) goes into the file too; a
    // stretch deleted does not.
    QByteArray windows1250 = "DATA\r\n" + received;
    if (edited) {
        model->setCaret(4);
        model->type(u"—żółw\r\n");
        model->select(10, 13);
        model->removeSelection();
        windows1250.insert(4, "\x97\xbf\xf3\xb3w\r\n");
        windows1250.remove(10, 3);
    }
    // Lines that stretch over several of the store's pieces.
    const QByteArray more(3 * TextStore::PieceSize + 17, 'x');
    model->appendReceivedBytes(more);
    windows1250 += more;

    const QString path = m_dir.filePath(QStringLiteral("round.txt"));
    const TextSaveJob::Result result = save(*model, path, Encoding(encoding));
    QCOMPARE(result.outcome, Outcome::Saved);
    const QByteArray file = readFile(path);
    if (Encoding(encoding) == Encoding::Windows1250)
        QVERIFY(file == windows1250);
    else
        QVERIFY(file == model->text().toUtf8());
}

void TestDataSave::characterBeyondCodePageIsNeverReplaced() {
    const auto model = receivedText("first\r\nsecond\r\n");
    model->setCaret(15);  // "se|cond"
    model->type(u"Ω😀");
    const QString path = m_dir.filePath(QStringLiteral("beyond.txt"));
    writeFile(path, "before");

    const TextSaveJob::Result result = save(*model, path, Encoding::Windows1250);
    QCOMPARE(result.outcome, Outcome::Unencodable);
    QCOMPARE(result.position, 15);
    QCOMPARE(result.line, 3);  // "DATA", "first", "second"
    QCOMPARE(result.column, 3);
    QCOMPARE(result.character, QStringLiteral("Ω"));
    QCOMPARE(readFile(path), QByteArray("before"));

    // UTF-8 holds both, the surrogate pair too.
    QCOMPARE(save(*model, path, Encoding::Utf8).outcome, Outcome::Saved);
    QCOMPARE(readFile(path), model->text().toUtf8());
}

void TestDataSave::failedSaveChangesNothing_data() {
    QTest::addColumn<QString>("cause");
    QTest::newRow("read-only folder") << "read-only";
    QTest::newRow("folder gone") << "gone";
    QTest::newRow("disk full (tmpfs)") << "tmpfs";
    QTest::newRow("file size limit") << "limit";
}

void TestDataSave::failedSaveChangesNothing() {
    QFETCH(QString, cause);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("folder"));
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + QStringLiteral("/data.txt");
    const QByteArray before = "what was there before";
    const auto model = receivedText(QByteArray(2 << 20, 'y'));

    std::unique_ptr<Tmpfs> mount;
    rlimit limit{};
    if (cause == QLatin1String("read-only")) {
        if (geteuid() == 0) {
            // Root writes into any folder; only a read-only mount stops it.
            mount = std::make_unique<Tmpfs>(folder, QStringLiteral("size=1m"));
            if (!mount->isMounted())
                QSKIP("root, and no tmpfs can be mounted here");
            writeFile(path, before);
            QVERIFY(mount->remount(QStringLiteral("ro")));
        } else {
            writeFile(path, before);
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        }
    } else if (cause == QLatin1String("gone")) {
        QVERIFY(QDir(folder).removeRecursively());
    } else if (cause == QLatin1String("tmpfs")) {
        mount = std::make_unique<Tmpfs>(folder, QStringLiteral("size=256k"));
        if (!mount->isMounted())
            QSKIP("no tmpfs can be mounted here (not root, or a container)");
        writeFile(path, before);
    } else {
        writeFile(path, before);
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &limit), 0);
        rlimit small = limit;
        small.rlim_cur = 256 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    }

    const TextSaveJob::Result result = save(*model, path, Encoding::Windows1250);
    if (cause == QLatin1String("limit"))
        setrlimit(RLIMIT_FSIZE, &limit);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(result.outcome, Outcome::Failed);
    // The system's own reason, whichever write it came with.
    QVERIFY2(
        !result.failure.reason.isEmpty() && result.failure.reason != QLatin1String("Unknown error"),
        qPrintable(result.failure.reason));
    if (cause == QLatin1String("gone")) {
        QVERIFY(!QFileInfo::exists(folder));
    } else {
        QCOMPARE(readFile(path), before);
        // No temporary file left beside it.
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("data.txt")});
    }
}

void TestDataSave::cancelledSaveLeavesNothing() {
    const auto model = receivedText(QByteArray(4 << 20, 'z'));
    const QString folder = m_dir.filePath(QStringLiteral("cancel"));
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + QStringLiteral("/data.txt");
    const QString existing = folder + QStringLiteral("/old.txt");
    writeFile(existing, "old");

    // An empty view: no part is written, and only the check before the last
    // step sees the cancel.
    EditingModel empty;
    for (const auto &[text, target] : {std::pair(model->snapshot(), path),
                                       {model->snapshot(), existing},
                                       {empty.snapshot(), existing}}) {
        TextSaveJob job(text, target, Encoding::Windows1250);
        QSignalSpy finished(&job, &TextSaveJob::finished);
        QVERIFY(job.cancel());
        job.start();
        QVERIFY(finished.wait(10000));
        QCOMPARE(job.result().outcome, Outcome::Cancelled);
    }
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("old.txt")});
    QCOMPARE(readFile(existing), QByteArray("old"));
}

void TestDataSave::viewGoesOnWhileItsSnapshotIsSaved() {
    const QByteArray received(64 * TextStore::PieceSize + 5, 'r');
    const auto model = receivedText(received);
    const QString path = m_dir.filePath(QStringLiteral("snapshot.txt"));
    TextSaveJob job(model->snapshot(), path, Encoding::Windows1250);
    QSignalSpy finished(&job, &TextSaveJob::finished);
    job.start();
    // Every kind of change, to pieces the thread may be reading right now.
    for (int round = 0; round < 200 && finished.isEmpty(); ++round) {
        model->appendReceivedBytes(QByteArray(4096, 'n'));
        model->setCaret(round * 97 % model->length());
        model->type(u"typed");
        model->select(10, 2000);
        model->removeSelection();
        model->undo();
    }
    model->setText(QString());
    QVERIFY(finished.wait(10000) || finished.size() == 1);
    QCOMPARE(job.result().outcome, Outcome::Saved);
    QVERIFY(readFile(path) == "DATA\r\n" + received);
}

// Each line, as the DATA view's lines end (CR LF, lone CR, lone LF), with
// the time its first byte came and a tab in front; a line without a time
// (the heading, a line the operator typed) with the tab alone. The text is
// written as the Windows-1250 save writes it.
void TestDataSave::timedSaveWritesEachLineWithItsTime() {
    const qint64 first = QDateTime(QDate(2026, 3, 2), QTime(23, 59, 59, 995)).toMSecsSinceEpoch();
    const qint64 second = first + 7;  // past midnight, local time
    auto model = receivedText({});
    model->appendReceivedBytes("OK 17\r\nOK \xb3", first);  // the next line is cut mid-way
    model->appendReceivedBytes("8\r\nlone CR\rlone LF\n\r", second);
    model->setCaret(model->length());
    model->type(u"typed");
    model->appendReceivedBytes("\r\nlast", second + 1'000);
    const auto at = [](qint64 ms) {
        return QDateTime::fromMSecsSinceEpoch(ms)
            .toString(QStringLiteral("HH:mm:ss.zzz"))
            .toLatin1();
    };
    const QByteArray expected = "\tDATA\r\n" + at(first) + "\tOK 17\r\n" + at(first) +
                                "\tOK \xb3"
                                "8\r\n" +
                                at(second) + "\tlone CR\r" + at(second) + "\tlone LF\n" +
                                at(second) + "\t\r" + "\ttyped\r\n" + at(second + 1'000) + "\tlast";
    const QString path = m_dir.filePath(QStringLiteral("timed.txt"));
    TextSaveJob::Control control;
    const TextSaveJob::Result result =
        TextSaveJob::write(model->snapshot(), path, Encoding::Windows1250, control,
                           TextSaveJob::Lines::WithReceiveTimes);
    QCOMPARE(result.outcome, Outcome::Saved);
    QCOMPARE(readFile(path), expected);
}

void TestDataSave::failureIsShownAndViewKept() {
    ConsoleFixture c;
    auto *saver = c.dataView()->findChild<DataSaver *>();
    QVERIFY(saver);
    QCOMPARE(saver->action()->shortcut(), QKeySequence(QKeySequence::Save));
    c.dataView()->appendReceivedBytes("OK\r\n");
    const QString before = c.dataView()->text();

    QSignalSpy finished(saver, &DataSaver::finished);
    saver->saveTo(m_dir.filePath(QStringLiteral("no such folder/data.txt")), Encoding::Windows1250);
    QVERIFY(finished.wait(10000));
    QMessageBox *box = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *b = qobject_cast<QMessageBox *>(w); b && b->isVisible())
            box = b;
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), QString::fromUtf8(KalvexVersion::kProgramTitle));
    QCOMPARE(box->icon(), QMessageBox::Critical);
    QVERIFY2(box->text().contains(QStringLiteral("no such folder/data.txt")) &&
                 box->text().contains(qt_error_string(ENOENT)),
             qPrintable(box->text()));
    QCOMPARE(c.takeFailures().size(), 1);
    QCOMPARE(c.dataView()->text(), before);
}

void TestDataSave::characterBeyondCodePageOffersUtf8() {
    ConsoleFixture c;
    auto *saver = c.dataView()->findChild<DataSaver *>();
    EditingModel &model = DataViewPrivate::get(c.dataView())->model();
    model.setCaret(model.length());
    model.type(u"aΩ");
    const QString path = m_dir.filePath(QStringLiteral("offer.txt"));

    QSignalSpy finished(saver, &DataSaver::finished);
    saver->saveTo(path, Encoding::Windows1250);
    QVERIFY(finished.wait(10000));
    QMessageBox *box = nullptr;
    QTRY_VERIFY((box = c.window()->findChild<QMessageBox *>()) && box->isVisible());
    QVERIFY2(box->text().contains(QStringLiteral("„Ω” (U+03A9) w wierszu 2, kolumnie 2")),
             qPrintable(box->text()));
    QVERIFY(!QFileInfo::exists(path));
    qobject_cast<QPushButton *>(box->defaultButton())->click();  // "Zapisz w UTF-8"
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.last().at(0).value<Outcome>(), Outcome::Saved);
    QCOMPARE(readFile(path), QByteArray("DATA\r\naΩ").replace("Ω", "\xce\xa9"));
}

void TestDataSave::saveOverLiveLogIsRefused() {
    ConsoleFixture c;
    auto *saver = c.dataView()->findChild<DataSaver *>();
    ReceiveLog *log = c.receiveLog();
    const QString path = m_dir.filePath(QStringLiteral("live.log"));
    const QString symlink = m_dir.filePath(QStringLiteral("live-symlink.txt"));
    const QString hardLink = m_dir.filePath(QStringLiteral("live-hardlink.txt"));
    c.dataView()->findChild<ReceiveLogControl *>()->start(path, ReceiveLog::Existing::Append);
    QVERIFY(log->isOn());
    log->append("before|");
    QVERIFY(QFile::link(path, symlink));
    QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(hardLink).constData()),
             0);

    for (const QString &target : {path, symlink, hardLink}) {
        saver->saveTo(target, Encoding::Windows1250);
        QVERIFY(!saver->isSaving());
        QMessageBox *box = nullptr;
        QTRY_VERIFY((box = c.window()->findChild<QMessageBox *>()) && box->isVisible());
        QVERIFY2(box->text().contains(QStringLiteral("Do tego pliku są zapisywane odbierane dane")),
                 qPrintable(box->text()));
        if (target != hardLink) {
            box->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            continue;
        }
        // "Wybierz inną nazwę...": the file dialog, in the same folder.
        qobject_cast<QPushButton *>(box->defaultButton())->click();
        QFileDialog *dialog = nullptr;
        QTRY_VERIFY((dialog = c.window()->findChild<QFileDialog *>()) && dialog->isVisible());
        QCOMPARE(dialog->directory().absolutePath(), QFileInfo(path).absolutePath());
        dialog->reject();
    }
    log->append("after");
    QCOMPARE(readFile(path), QByteArray("before|after"));
}

void TestDataSave::lastStepCannotBeCancelled() {
    ConsoleFixture c;
    auto *saver = c.dataView()->findChild<DataSaver *>();
    c.dataView()->appendReceivedBytes("OK\r\n");
    const QString path = m_dir.filePath(QStringLiteral("last-step.txt"));
    writeFile(path, "old");
    DiskSync::hold();  // a slow stick
    auto released = qScopeGuard([] { DiskSync::release(); });
    QSignalSpy finished(saver, &DataSaver::finished);
    saver->saveTo(path, Encoding::Windows1250);

    QPointer<SaveProgressDialog> dialog;
    QTRY_VERIFY((dialog = c.window()->findChild<SaveProgressDialog *>()) && dialog->isVisible() &&
                dialog->showsLastStep());
    QVERIFY(DiskSync::isWaiting());
    QVERIFY2(dialog->labelText().contains(QStringLiteral("Nie można go już przerwać")),
             qPrintable(dialog->labelText()));
    auto *cancel = dialog->findChild<QPushButton *>();
    QVERIFY(cancel && cancel->text() == QStringLiteral("Anuluj") && !cancel->isEnabled());
    // The operator tries all the same.
    QTest::keyClick(dialog, Qt::Key_Escape);
    dialog->close();
    QVERIFY(dialog->isVisible());
    // Nor may the receive log take the file meanwhile.
    c.dataView()->findChild<ReceiveLogControl *>()->start(path, ReceiveLog::Existing::Append);
    QVERIFY(!c.receiveLog()->isOn());
    QStringList refusals = c.takeFailures();
    QCOMPARE(refusals.size(), 1);
    QVERIFY2(refusals.first().contains(QStringLiteral("jest właśnie zapisywany widok DATA")),
             qPrintable(refusals.first()));

    DiskSync::release();
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.first().at(0).value<Outcome>(), Outcome::Saved);
    QCOMPARE(readFile(path), QByteArray("DATA\r\nOK\r\n"));
    QTRY_VERIFY(!dialog);
}

QTEST_MAIN(TestDataSave)
#include "tst_datasave.moc"
