#pragma once

#include "consoleservices.h"
#include "portdirectory.h"

#include <QObject>

#include <functional>

class BaselineView;
class DataView;
class Form1;
class MSComm;
class QWidget;

// The console's real main window as the benchmark drives it, with either
// the DATA view it has or the literal baseline in its place. Counts what
// the view has consumed without asking the view for its text.
class ConsoleRig : public QObject {
    Q_OBJECT

public:
    enum class View { Ours, Baseline };

    // The window numbers the ports of `ports`, as the console's own does
    // those it read at start.
    ConsoleRig(View view, PortDirectory ports);
    // The ports of the environment, with number n mapped to device.
    static PortDirectory portsWith(int number, const QString &device);
    ~ConsoleRig() override;

    View view() const { return m_view; }
    Form1 *window() const { return m_window; }
    ConsoleServices &services() { return m_services; }
    BaselineView *baseline() const { return m_baseline; }

    // The window's DATA view (Text3), whichever view paints the text.
    DataView *dataView() const;
    // The widget whose paint puts received text on the screen.
    QWidget *paintTarget() const;

    // Shows the window as the console does and waits until it is exposed.
    bool show(int timeoutMs = 10'000);

    // Port number 2, then "Otwórz port", as the operator.
    bool openPort();

    // Bytes appended to the view by the receive handler, and in how many chunks.
    qint64 consumed() const { return m_consumed; }
    qint64 chunks() const { return m_chunks; }

    // The DATA view's whole text as the console reports it (ours only).
    QString viewText() const;

    // Runs after every chunk, once the view has appended it.
    void setOnReceived(std::function<void()> callback) { m_onReceived = std::move(callback); }

private:
    void received();

    View m_view;
    ConsoleServices m_services;  // outlives the window
    Form1 *m_window;
    MSComm *m_comm = nullptr;
    BaselineView *m_baseline = nullptr;
    qint64 m_consumed = 0;
    qint64 m_chunks = 0;
    std::function<void()> m_onReceived;
};
