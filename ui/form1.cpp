#include "form1.h"

#include "ui_form1.h"

#include "clocktext.h"
#include "codepage.h"
#include "commerror.h"
#include "consoleservices.h"
#include "datacaption.h"
#include "datasaver.h"
#include "failurebox.h"
#include "kalvexversion.h"
#include "linklog.h"
#include "module1.h"
#include "mscomm.h"
#include "portconnection.h"
#include "porttip.h"
#include "programtitle.h"
#include "receivelog.h"
#include "receivelogcontrol.h"
#include "scenariowindow.h"
#include "uilog.h"
#include "windowplacement.h"

#include <QAction>
#include <QHelpEvent>
#include <QTimer>

Form1::Form1(ConsoleServices &services, QWidget *parent)
    : QWidget(parent),
      ui(new Ui::Form1),
      m_services(services),
      m_comm(new MSComm(m_services.ports, this)),
      m_timer(new QTimer(this)) {
    ui->setupUi(this);
    setWindowTitle(QString::fromUtf8(kProgramTitle) + u' ' + QString::fromUtf8(kAuthorCredit));
    // The banner names the program with the version it was built as.
    ui->Label3->setText(QString::fromLatin1(KalvexVersion::kLongName));
    // The DATA view holds received bytes as they came, and reads them as the
    // line's code page does.
    ui->Text3->setByteCharset(CodePage::charset());
    // The DATA view's initial text ends in CR LF, which a form file cannot
    // carry (uic turns it into a lone LF).
    ui->Text3->setText(QStringLiteral("DATA\r\n"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    m_comm->setObjectName(QStringLiteral("MSComm1"));
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(1000);
    // The DATA view's own entries, owned by it: saving it, and the receive log.
    new DataSaver(ui->Text3, &m_services.claims);
    // In the caption line of the "Dane" frame: the count, then the log's label.
    m_caption = new DataCaption(ui->Frame1, ui->Text3, &m_services.counter);
    new ReceiveLogControl(&m_services.log, ui->Text3, m_caption->logIndicator());
    auto *scenario = new QAction(tr("Scenariusz testu..."), ui->Text3);
    scenario->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    scenario->setShortcutContext(Qt::WidgetShortcut);
    ui->Text3->addAction(scenario);

    // Routing: one line for each event that has a handler.
    connect(ui->Command1, &QAbstractButton::clicked, this, &Form1::openPort);
    connect(ui->Command2, &QAbstractButton::clicked, this, &Form1::closePort);
    connect(ui->Command3, &QAbstractButton::clicked, this, [this] { send(ui->Text1); });
    connect(ui->Command4, &QAbstractButton::clicked, this, [this] { send(ui->Text2); });
    connect(ui->Command5, &QAbstractButton::clicked, this, &Form1::clearData);
    connect(ui->Command7, &QAbstractButton::clicked, this, [this] { send(ui->Text5); });
    connect(ui->Command8, &QAbstractButton::clicked, this, [this] { send(ui->Text6); });
    connect(ui->Command9, &QAbstractButton::clicked, this, [this] { send(ui->Text15); });
    connect(ui->Command10, &QAbstractButton::clicked, this, [this] { send(ui->Text9); });
    connect(ui->Command11, &QAbstractButton::clicked, this, [this] { send(ui->Text10); });
    connect(ui->Command12, &QAbstractButton::clicked, this, [this] { send(ui->Text11); });
    connect(ui->Command13, &QAbstractButton::clicked, this,
            [this] { send(ui->Text8, ui->Text16); });
    connect(ui->Command14, &QAbstractButton::clicked, this,
            [this] { send(ui->Text12, ui->Text14); });
    connect(ui->Command16, &QAbstractButton::clicked, this,
            [this] { send(ui->Text17, ui->Text18); });
    connect(ui->Command17, &QAbstractButton::clicked, this, [this] { send(ui->Text13); });
    connect(ui->Command19, &QAbstractButton::clicked, this, &Form1::aboutRequested);
    connect(ui->Command21, &QAbstractButton::clicked, this, &Form1::close);
    connect(m_timer, &QTimer::timeout, this, &Form1::tick);
    connect(m_comm, &MSComm::onComm, this, &Form1::receive);
    connect(scenario, &QAction::triggered, this, &Form1::showScenarioWindow);
    // Hovering over "Nr portu:" or its box lists the port numbers.
    ui->Label1->installEventFilter(this);
    ui->Text7->installEventFilter(this);

    m_timer->start();
}

Form1::~Form1() {
    // The scenario window goes first: a run it stops must find the window
    // whole.
    delete m_scenario;
    delete ui;
}

bool Form1::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::ToolTip && (watched == ui->Label1 || watched == ui->Text7)) {
        PortTip::show(static_cast<QHelpEvent *>(event)->globalPos(),
                      static_cast<QWidget *>(watched), m_services.ports, m_comm->awaitedPort());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

namespace {

// The operator sees the designed text; the control's reason goes to the log.
void reportFailure(QWidget *window, const CommError &error, const QString &text) {
    qCWarning(lcLink).noquote() << error.reason();
    showFailure(window, text);
}

}  // namespace

void Form1::openPort() {
    try {
        PortConnection::open(*m_comm, ui->Text7->text());
        m_caption->restartCount();
    } catch (const CommError &e) {
        reportFailure(this, e, tr("Niewłaściwy numer portu lub port już otwarty"));
    }
}

void Form1::closePort() {
    try {
        PortConnection::close(*m_comm);
    } catch (const CommError &e) {
        reportFailure(this, e, tr("Port nie został otwarty"));
    }
}

void Form1::send(const QLineEdit *command, const QLineEdit *argument) {
    try {
        QString message = command->text();
        if (argument)
            message += argument->text();
        message += u'\r';
        m_comm->setOutput(message);
        emit commandSent(CodePage::encode(message));
    } catch (const CommError &e) {
        reportFailure(this, e, tr("Port zamknięty..."));
    }
}

void Form1::receive() {
    if (m_comm->commEvent() != MSComm::ComEvReceive)
        return;
    m_comm->input(Module1::receiveBuffer);
    m_services.log.append(Module1::receiveBuffer.bytes());
    ui->Text3->appendReceivedBytes(Module1::receiveBuffer.bytes());
    emit received(Module1::receiveBuffer.bytes());
    m_caption->countReceived(Module1::receiveBuffer.bytes().size());
}

void Form1::clearData() {
    ui->Text3->clear();
}

ScenarioWindow *Form1::scenarioWindow() {
    if (!m_scenario) {
        m_scenario = new ScenarioWindow({m_comm, [this] { return openPortForScenario(); },
                                         [this](bool enabled) { setCommandsEnabled(enabled); }},
                                        this);
        connect(this, &Form1::received, m_scenario, &ScenarioWindow::receive);
        connect(this, &Form1::commandSent, m_scenario, &ScenarioWindow::commandSent);
    }
    return m_scenario;
}

void Form1::showScenarioWindow() {
    const bool first = !m_scenario;
    ScenarioWindow *window = scenarioWindow();
    if (first)
        placeBeside(window, this);
    window->show();
    window->raise();
    window->activateWindow();
}

// A scenario runs on the port that is open, or opens it as "Otwórz port".
bool Form1::openPortForScenario() {
    if (!m_comm->portOpen())
        openPort();
    return m_comm->portOpen();
}

// While a scenario runs, the port and the twelve commands are its own.
void Form1::setCommandsEnabled(bool enabled) {
    for (QAbstractButton *button :
         {ui->Command1, ui->Command2, ui->Command3, ui->Command4, ui->Command7, ui->Command8,
          ui->Command9, ui->Command10, ui->Command11, ui->Command12, ui->Command13, ui->Command14,
          ui->Command16, ui->Command17})
        button->setEnabled(enabled);
}

void Form1::tick() {
    // The date is read before the time, so a tick at midnight may pair the
    // day just ended with a time just after it.
    const QDate date = QDate::currentDate();
    const QTime time = QTime::currentTime();
    ui->Label2->setText(clockText(QLocale::system(), date, time));
}
