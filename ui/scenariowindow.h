#pragma once

#include "scenario.h"
#include "scenariorecorder.h"

#include <QByteArray>
#include <QTimer>
#include <QWidget>

#include <functional>

class MSComm;
class ScenarioError;
class ScenarioRunner;
class StepListModel;

namespace Ui {
class ScenarioWindow;
}

// The window "Scenariusz testu": opens a scenario file, runs it on the
// console's port with a ✔ or ✘ a step, records one from the operator's own
// presses, and saves it. Modeless: the main window stays usable, except
// that its command buttons send nothing while a run is on. Closing the
// window stops a run or a recording and only hides it: what it held is
// there when it is opened again.
//
// What it needs of the console is given when it is made: the port (the
// runner sends through it, and hears when its device is lost), how to open
// the port as "Otwórz port" does, and how to lock the command buttons. The
// console hands it every received chunk and every command sent.
class ScenarioWindow : public QWidget {
    Q_OBJECT

public:
    struct Console {
        MSComm *comm = nullptr;
        // Opens the port from "Nr portu:" unless it is open, showing the
        // failure as "Otwórz port" does; whether it is open then.
        std::function<bool()> openPort;
        std::function<void(bool enabled)> setCommandsEnabled;
    };

    explicit ScenarioWindow(Console console, QWidget *parent = nullptr);
    ~ScenarioWindow() override;

    // Every received chunk, and every command message the console sent (its
    // bytes on the wire).
    void receive(const QByteArray &bytes);
    void commandSent(const QByteArray &bytes);

    // Loads the file at path; a file that cannot be read or is malformed is
    // shown in the failure box, and the window keeps what it had.
    bool load(const QString &path);
    // Writes the scenario shown to path; whether it did (a failure is shown).
    bool saveTo(const QString &path);
    void run();
    void stop();
    void setRecording(bool on);

    ScenarioRunner *runner() const { return m_runner; }
    StepListModel *model() const { return m_model; }
    bool isRecording() const { return m_recorder.isRecording(); }
    // The file's text as the window would save it.
    const QString &text() const { return m_text; }

    // The operator's words for a refused file.
    static QString describe(const ScenarioError &error);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void chooseFile();
    void chooseSaveFile();
    void showScenario(const Scenario &scenario, const QString &text);
    void showRecording();
    void stepStarted(qsizetype step);
    void stepFinished(qsizetype step);
    void runFinished();
    void showSummary();
    void showState();

    Ui::ScenarioWindow *ui;
    Console m_console;
    StepListModel *m_model;
    ScenarioRunner *m_runner;
    ScenarioRecorder m_recorder;
    QTimer m_recordingShown;  // the list follows a recording a few times a second
    QString m_text;           // the scenario's file as text
    QString m_fileName;       // where it was read from or saved to; empty for a new recording
};
