#include "scenariowindow.h"

#include "ui_scenariowindow.h"

#include "failurebox.h"
#include "kalvexversion.h"
#include "mscomm.h"
#include "runreport.h"
#include "savefiledialog.h"
#include "scenarioerror.h"
#include "scenariolog.h"
#include "scenariorunner.h"
#include "steplistmodel.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// The list of a recording catches up this often.
constexpr int kRecordingShownMs = 200;

QString filter() {
    return ScenarioWindow::tr("Scenariusze testu (*.txt)");
}

}  // namespace

ScenarioWindow::ScenarioWindow(Console console, QWidget *parent)
    : QWidget(parent, Qt::Window),
      ui(new Ui::ScenarioWindow),
      m_console(std::move(console)),
      m_model(new StepListModel(this)),
      m_runner(new ScenarioRunner(
          [comm = m_console.comm](const QString &message) { comm->setOutput(message); }, this)) {
    ui->setupUi(this);
    ui->stepsView->setModel(m_model);
    QHeaderView *header = ui->stepsView->horizontalHeader();
    for (const int column :
         {StepListModel::ResultColumn, StepListModel::LineColumn, StepListModel::TimeColumn})
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    header->resizeSection(StepListModel::CommandColumn, 200);
    // A row a line of text, so that many steps are in sight.
    ui->stepsView->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_recordingShown.setSingleShot(true);
    m_recordingShown.setInterval(kRecordingShownMs);

    // Routing.
    connect(ui->openButton, &QAbstractButton::clicked, this, &ScenarioWindow::chooseFile);
    connect(ui->runButton, &QAbstractButton::clicked, this, &ScenarioWindow::run);
    connect(ui->stopButton, &QAbstractButton::clicked, this, &ScenarioWindow::stop);
    connect(ui->recordButton, &QAbstractButton::clicked, this, &ScenarioWindow::setRecording);
    connect(ui->saveButton, &QAbstractButton::clicked, this, &ScenarioWindow::chooseSaveFile);
    connect(m_runner, &ScenarioRunner::stepStarted, this, &ScenarioWindow::stepStarted);
    connect(m_runner, &ScenarioRunner::stepFinished, this, &ScenarioWindow::stepFinished);
    connect(m_runner, &ScenarioRunner::finished, this, &ScenarioWindow::runFinished);
    connect(m_console.comm, &MSComm::deviceLost, m_runner, &ScenarioRunner::portFailed);
    connect(&m_recordingShown, &QTimer::timeout, this, &ScenarioWindow::showRecording);
    showState();
}

ScenarioWindow::~ScenarioWindow() {
    // The console may be on its way out: a run ends without a word to it.
    m_runner->disconnect(this);
    m_runner->stop();
    delete ui;
}

void ScenarioWindow::receive(const QByteArray &bytes) {
    m_runner->receive(bytes);
    if (m_recorder.isRecording()) {
        m_recorder.received(bytes);
        if (!m_recordingShown.isActive())
            m_recordingShown.start();
    }
}

void ScenarioWindow::commandSent(const QByteArray &bytes) {
    if (!m_recorder.isRecording())
        return;
    m_recorder.commandSent(bytes);
    showRecording();
}

QString ScenarioWindow::describe(const ScenarioError &error) {
    using Kind = ScenarioError::Kind;
    const int line = error.line();
    const QString &detail = error.detail();
    switch (error.kind()) {
        case Kind::Unreadable:
            return tr("Nie można odczytać pliku: %1").arg(detail);
        case Kind::TooLarge:
            return tr("Plik jest większy niż %1 MiB.").arg(detail);
        case Kind::NotUtf8:
            return tr("Wiersz %1 nie jest zapisany w UTF-8.").arg(line);
        case Kind::UnknownLine:
            return tr("Wiersz %1: „%2” nie jest poleceniem (>), oczekiwaną linią (< lub <<), "
                      "timeout, wait ani komentarzem (#).")
                .arg(line)
                .arg(detail);
        case Kind::BadNumber:
            return tr("Wiersz %1: %2 wymaga liczby milisekund od 0 do %3.")
                .arg(line)
                .arg(detail)
                .arg(Scenario::kLongestMs);
        case Kind::CommandTooLong:
            return tr("Wiersz %1: polecenie ma %2 bajtów, a urządzenie przyjmuje najwyżej %3 "
                      "przed CR.")
                .arg(line)
                .arg(detail)
                .arg(Scenario::kLongestCommand);
        case Kind::NotInCodePage:
            return tr("Wiersz %1: polecenie zawiera znak %2, którego nie ma w Windows-1250.")
                .arg(line)
                .arg(detail);
        case Kind::ExpectBeforeCommand:
            return tr("Wiersz %1: oczekiwana linia przed pierwszym poleceniem (>).").arg(line);
        case Kind::NoCommand:
            return tr("W pliku nie ma żadnego polecenia (>).");
    }
    return {};
}

bool ScenarioWindow::load(const QString &path) {
    try {
        QByteArray bytes;
        const Scenario scenario = Scenario::read(path, &bytes);
        m_fileName = path;
        showScenario(scenario, QString::fromUtf8(bytes));
        return true;
    } catch (const ScenarioError &e) {
        qCWarning(lcScenario).noquote() << path + QStringLiteral(": ") + e.what();
        showFailure(this, tr("Nie można wczytać scenariusza\n%1\n\n%2")
                              .arg(QDir::toNativeSeparators(path), describe(e)));
        return false;
    }
}

bool ScenarioWindow::saveTo(const QString &path) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(m_text.toUtf8()) >= 0 && file.commit()) {
        m_fileName = path;
        showState();
        return true;
    }
    qCWarning(lcScenario).noquote() << path + QStringLiteral(": ") + file.errorString();
    showFailure(this, tr("Nie można zapisać scenariusza\n%1\n\n%2")
                          .arg(QDir::toNativeSeparators(path), file.errorString()));
    return false;
}

void ScenarioWindow::chooseFile() {
    auto *dialog = new QFileDialog(this, tr("Otwórz scenariusz testu"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilters({filter(), tr("Wszystkie pliki (*)")});
    const QString folder = m_fileName.isEmpty()
                               ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                               : QFileInfo(m_fileName).absolutePath();
    dialog->setDirectory(folder.isEmpty() ? QDir::homePath() : folder);
    connect(dialog, &QFileDialog::fileSelected, this, &ScenarioWindow::load);
    dialog->open();
}

void ScenarioWindow::chooseSaveFile() {
    QFileDialog *dialog = SaveFileDialog::open(
        this, tr("Zapisz scenariusz testu"), {filter(), tr("Wszystkie pliki (*)")},
        QStringLiteral("txt"), SaveFileDialog::Existing::ConfirmReplace,
        m_fileName.isEmpty() ? QString() : QFileInfo(m_fileName).absolutePath());
    connect(dialog, &QFileDialog::fileSelected, this, &ScenarioWindow::saveTo);
}

void ScenarioWindow::showScenario(const Scenario &scenario, const QString &text) {
    m_text = text;
    m_model->setScenario(scenario);
    ui->detailLabel->clear();
    showSummary();
    showState();
}

void ScenarioWindow::run() {
    if (m_runner->isRunning() || m_recorder.isRecording() || m_model->rowCount() == 0)
        return;
    if (!m_console.openPort())
        return;
    m_model->clearResults();
    ui->detailLabel->clear();
    m_console.setCommandsEnabled(false);
    ui->progressBar->setRange(0, m_model->rowCount());
    ui->progressBar->setValue(0);
    showState();
    m_runner->start(m_model->scenario());
}

void ScenarioWindow::stop() {
    if (m_recorder.isRecording())
        setRecording(false);
    m_runner->stop();
}

void ScenarioWindow::setRecording(bool on) {
    if (on == m_recorder.isRecording() || m_runner->isRunning()) {
        showState();
        return;
    }
    if (on) {
        m_recorder.start(
            tr("# Nagranie RS232 Kalvex %1, %2: polecenia (>) i odebrane linie (<) dokładnie.\n"
               "# Czas, datę lub licznik, które za drugim razem będą inne, zastąp znakiem *.\n")
                .arg(QString::fromLatin1(KalvexVersion::kVersion),
                     QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
        m_fileName.clear();
        showRecording();
    } else {
        m_recorder.stop();
        m_recordingShown.stop();
        showRecording();
        qCInfo(lcScenario, "recorded %d commands", m_recorder.commandCount());
    }
    showState();
}

// The recording so far, as the file it will be.
void ScenarioWindow::showRecording() {
    m_text = m_recorder.text();
    Scenario scenario;
    try {
        scenario = Scenario::parse(m_text.toUtf8());
    } catch (const ScenarioError &) {
        // No command yet.
    }
    m_model->setScenario(scenario);
    ui->stepsView->scrollToBottom();
    showSummary();
    showState();
}

void ScenarioWindow::stepStarted(qsizetype step) {
    m_model->setResult(step, m_runner->results().at(step));
    ui->stepsView->scrollTo(m_model->index(int(step), 0));
}

void ScenarioWindow::stepFinished(qsizetype step) {
    const StepResult &result = m_runner->results().at(step);
    m_model->setResult(step, result);
    ui->progressBar->setValue(int(step + 1));
    showSummary();
    qCDebug(lcScenario).noquote() << RunReport::stepLine(step, m_model->scenario().steps().at(step),
                                                         result);
}

void ScenarioWindow::runFinished() {
    m_console.setCommandsEnabled(true);
    const qsizetype failed = m_model->failedStep();
    if (failed >= 0) {
        ui->detailLabel->setText(
            tr("Krok %1 (%2) nie przeszedł: %3")
                .arg(failed + 1)
                .arg(RunReport::visible(m_model->scenario().steps().at(failed).command),
                     StepListModel::failureText(m_model->result(failed))));
        ui->stepsView->selectRow(int(failed));
    } else if (m_runner->results().isEmpty() ||
               m_runner->results().last().outcome == StepResult::Outcome::Passed) {
        ui->detailLabel->setText(tr("Wszystkie kroki zaliczone."));
    } else {
        ui->detailLabel->setText(tr("Zatrzymano."));
    }
    qCInfo(lcScenario).noquote() << (m_fileName.isEmpty() ? tr("nagranie") : m_fileName) +
                                        QStringLiteral(": ") +
                                        RunReport::summary(m_runner->results());
    showState();
}

void ScenarioWindow::showSummary() {
    ui->summaryLabel->setText(
        tr("Zaliczone: %1 z %2").arg(m_model->passedCount()).arg(m_model->rowCount()));
}

void ScenarioWindow::showState() {
    const bool running = m_runner->isRunning();
    const bool recording = m_recorder.isRecording();
    const bool idle = !running && !recording;
    ui->openButton->setEnabled(idle);
    ui->runButton->setEnabled(idle && m_model->rowCount() > 0);
    ui->stopButton->setEnabled(!idle);
    ui->recordButton->setEnabled(!running);
    ui->recordButton->setChecked(recording);
    ui->saveButton->setEnabled(idle && m_model->rowCount() > 0);
    // The file's name; hover for the whole path.
    ui->fileLabel->setText(
        recording ? tr("(nagrywanie...)")
        : m_fileName.isEmpty()
            ? (m_model->rowCount() > 0 ? tr("(nagranie, niezapisane)") : tr("(brak)"))
            : QFileInfo(m_fileName).fileName());
    ui->fileLabel->setToolTip(m_fileName.isEmpty() ? QString()
                                                   : QDir::toNativeSeparators(m_fileName));
}

void ScenarioWindow::closeEvent(QCloseEvent *event) {
    stop();
    QWidget::closeEvent(event);
}
