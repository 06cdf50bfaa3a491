#include "receivelogcontrol.h"

#include "dataview.h"
#include "failurebox.h"
#include "fileerror.h"
#include "linklog.h"
#include "questionbox.h"
#include "savefiledialog.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

ReceiveLogControl::ReceiveLogControl(ReceiveLog *log, DataView *view, QLabel *indicator)
    : QObject(view),
      m_log(log),
      m_view(view),
      m_indicator(indicator),
      m_action(new QAction(tr("Zapisuj odbierane do pliku..."), view)) {
    m_action->setCheckable(true);
    m_action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    m_action->setShortcutContext(Qt::WidgetShortcut);
    view->addAction(m_action);
    connect(m_action, &QAction::triggered, this, &ReceiveLogControl::toggle);
    connect(m_log, &ReceiveLog::stateChanged, this, &ReceiveLogControl::showState);
    connect(m_log, &ReceiveLog::failed, this, &ReceiveLogControl::showFailed);
    showState();
}

void ReceiveLogControl::toggle() {
    // The entry shows the log's state, not the click: checking it only asks.
    showState();
    if (m_log->isOn()) {
        m_log->stop();
        return;
    }
    QFileDialog *dialog =
        SaveFileDialog::open(m_view->window(), tr("Zapisuj odbierane do pliku"),
                             {tr("Zapis odbieranych danych (*.log)"), tr("Wszystkie pliki (*)")},
                             QStringLiteral("log"), SaveFileDialog::Existing::Accept);
    connect(dialog, &QFileDialog::fileSelected, this, &ReceiveLogControl::fileChosen);
}

void ReceiveLogControl::fileChosen(const QString &path) {
    if (!QFileInfo::exists(path)) {
        start(path, ReceiveLog::Existing::Append);
        return;
    }
    QMessageBox *box = questionBox(
        m_view->window(), QMessageBox::Question,
        tr("Plik już istnieje:\n%1\n\nDopisywać odbierane dane na jego końcu, czy zastąpić "
           "jego zawartość?")
            .arg(QDir::toNativeSeparators(path)));
    QPushButton *append = box->addButton(tr("Dopisuj"), QMessageBox::AcceptRole);
    QPushButton *replace = box->addButton(tr("Zastąp"), QMessageBox::DestructiveRole);
    box->addButton(tr("Anuluj"), QMessageBox::RejectRole);
    box->setDefaultButton(append);
    connect(box, &QMessageBox::finished, this, [this, box, append, replace, path] {
        if (box->clickedButton() == append)
            start(path, ReceiveLog::Existing::Append);
        else if (box->clickedButton() == replace)
            start(path, ReceiveLog::Existing::Replace);
    });
    box->open();
}

void ReceiveLogControl::start(const QString &path, ReceiveLog::Existing existing) {
    try {
        m_log->start(path, existing);
    } catch (const FileError &e) {
        qCWarning(lcLink).noquote() << "receive log:" << path + QStringLiteral(":") << e.reason();
        showFailure(m_view->window(),
                    tr("Nie można zapisywać odbieranych danych do pliku\n%1\n\n%2")
                        .arg(QDir::toNativeSeparators(path), e.reason()));
    }
}

void ReceiveLogControl::showState() {
    const bool on = m_log->isOn();
    m_action->setChecked(on);
    m_indicator->setVisible(on);
    if (!on)
        return;
    const QString path = QDir::toNativeSeparators(m_log->fileName());
    const QString name = QFileInfo(m_log->fileName()).fileName();
    const QString lead = tr("Zapis do pliku: ");
    // The name, shortened in its middle when it does not fit.
    QFont bold = m_indicator->font();
    bold.setBold(true);
    const int room = m_indicator->width() -
                     m_indicator->fontMetrics().horizontalAdvance(QStringLiteral("● ") + lead);
    m_indicator->setText(
        QStringLiteral("<span style=\"color:#c00000\">●</span> %1<b>%2</b>")
            .arg(lead.toHtmlEscaped(), QFontMetrics(bold)
                                           .elidedText(name, Qt::ElideMiddle, qMax(0, room))
                                           .toHtmlEscaped()));
    m_indicator->setToolTip(tr("Odbierane dane są zapisywane do pliku\n%1").arg(path));
}

void ReceiveLogControl::showFailed(const QString &fileName, const QString &reason) {
    showFailure(m_view->window(),
                tr("Zapisywanie odbieranych danych przerwane: błąd zapisu do pliku\n%1\n\n%2")
                    .arg(QDir::toNativeSeparators(fileName), reason));
}
