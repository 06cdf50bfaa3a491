#include "receivelogcontrol.h"

#include "capturelog.h"
#include "dataview.h"
#include "failurebox.h"
#include "fileerror.h"
#include "questionbox.h"
#include "savefiledialog.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace {

// Why the log stopped, in a few words.
QString whyStopped(const FileFailure &failure) {
    switch (failure.kind) {
        case FileFailure::Kind::Open:
        case FileFailure::Kind::Write:
        case FileFailure::Kind::Sync:
        case FileFailure::Kind::Commit:
            return ReceiveLogControl::tr("błąd zapisu: %1").arg(failure.reason);
        case FileFailure::Kind::LastSync:
            return ReceiveLogControl::tr("błąd ostatniego zapisu na dysk: %1").arg(failure.reason);
        case FileFailure::Kind::Deleted:
            return ReceiveLogControl::tr("plik został usunięty");
        case FileFailure::Kind::Replaced:
            return ReceiveLogControl::tr("plik został zastąpiony przez inny program");
        case FileFailure::Kind::Unverified:
        case FileFailure::Kind::Claimed:
            break;  // the log goes on, or never started
    }
    return {};
}

}  // namespace

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
    connect(m_log, &ReceiveLog::unverified, this, &ReceiveLogControl::showUnverified);
    showState();
}

void ReceiveLogControl::toggle() {
    // The entry shows the log's state, not the click: checking it only asks.
    showState();
    if (m_log->isOn()) {
        m_log->stop();
        return;
    }
    chooseFile(QString());
}

void ReceiveLogControl::chooseFile(const QString &folder) {
    QFileDialog *dialog =
        SaveFileDialog::open(m_view->window(), tr("Zapisuj odbierane do pliku"),
                             {tr("Zapis odbieranych danych (*.log)"), tr("Wszystkie pliki (*)")},
                             QStringLiteral("log"), SaveFileDialog::Existing::Accept, folder);
    connect(dialog, &QFileDialog::fileSelected, this, &ReceiveLogControl::fileChosen);
}

void ReceiveLogControl::fileChosen(const QString &path) {
    if (refuseClaimed(path))
        return;
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
        if (e.failure().kind == FileFailure::Kind::Claimed)
            return showClaimed(e);
        qCWarning(lcCapture).noquote() << "receive log:" << e.what();
        showFailure(m_view->window(),
                    tr("Nie można zapisywać odbieranych danych do pliku\n%1\n\n%2")
                        .arg(QDir::toNativeSeparators(path), e.reason()));
    }
}

bool ReceiveLogControl::refuseClaimed(const QString &path) {
    try {
        m_log->checkClaim(path);
        return false;
    } catch (const FileError &e) {
        showClaimed(e);
        return true;
    }
}

// The log's one other writer is a save of the view.
void ReceiveLogControl::showClaimed(const FileError &refusal) {
    qCWarning(lcCapture).noquote() << "receive log:" << refusal.what();
    const QString &path = refusal.failure().fileName;
    offerAnotherName(
        m_view->window(),
        tr("Nie można zapisywać odbieranych danych do pliku\n%1\n\nDo tego pliku jest właśnie "
           "zapisywany widok DATA. Po zapisie plik zostałby zastąpiony, a odbierane dane "
           "utracone.\n\nWybierz inną nazwę pliku.")
            .arg(QDir::toNativeSeparators(path)),
        path, this, [this](const QString &folder) { chooseFile(folder); });
}

void ReceiveLogControl::showState() {
    const bool on = m_log->isOn();
    m_action->setChecked(on);
    if (on) {
        m_stopped.reset();
        showIndicator(QStringLiteral("<span style=\"color:#c00000\">●</span>"),
                      tr("Zapis do pliku: "), m_log->fileName(),
                      tr("Odbierane dane są zapisywane do pliku\n%1")
                          .arg(QDir::toNativeSeparators(m_log->fileName())));
    } else if (m_stopped) {
        showIndicator(
            QStringLiteral("<span style=\"color:#c00000\">■</span>"),
            tr("Zapis do pliku zatrzymany: "), m_stopped->fileName,
            tr("Zapisywanie odbieranych danych do pliku\n%1\nzatrzymane: %2")
                .arg(QDir::toNativeSeparators(m_stopped->fileName), whyStopped(*m_stopped)));
    }
    m_indicator->setVisible(on || m_stopped);
}

void ReceiveLogControl::showIndicator(const QString &mark, const QString &lead,
                                      const QString &fileName, const QString &toolTip) {
    const QString name = QFileInfo(fileName).fileName();
    // The name, shortened in its middle when it does not fit.
    QFont bold = m_indicator->font();
    bold.setBold(true);
    const int room = m_indicator->width() -
                     m_indicator->fontMetrics().horizontalAdvance(QStringLiteral("● ") + lead);
    m_indicator->setText(QStringLiteral("%1 %2<b>%3</b>")
                             .arg(mark, lead.toHtmlEscaped(),
                                  QFontMetrics(bold)
                                      .elidedText(name, Qt::ElideMiddle, qMax(0, room))
                                      .toHtmlEscaped()));
    m_indicator->setToolTip(toolTip);
}

void ReceiveLogControl::showFailed(const FileFailure &failure) {
    m_stopped = failure;
    showState();
    const QString file = QDir::toNativeSeparators(failure.fileName);
    QString text;
    switch (failure.kind) {
        case FileFailure::Kind::Open:
        case FileFailure::Kind::Write:
        case FileFailure::Kind::Sync:
        case FileFailure::Kind::Commit:
        case FileFailure::Kind::Claimed:
            text = tr("Zapisywanie odbieranych danych przerwane: błąd zapisu do pliku\n%1\n\n%2")
                       .arg(file, failure.reason);
            break;
        case FileFailure::Kind::LastSync:
            text = tr("Zapisywanie odbieranych danych zakończone z błędem: ostatnie dane mogły nie "
                      "trafić na dysk w pliku\n%1\n\n%2")
                       .arg(file, failure.reason);
            break;
        case FileFailure::Kind::Deleted:
            text = tr("Zapisywanie odbieranych danych przerwane: plik\n%1\nzostał usunięty.")
                       .arg(file);
            break;
        case FileFailure::Kind::Replaced:
            text = tr("Zapisywanie odbieranych danych przerwane: plik\n%1\nzostał zastąpiony "
                      "przez inny program.")
                       .arg(file);
            break;
        case FileFailure::Kind::Unverified:
            return showUnverified(failure);
    }
    showFailure(m_view->window(), text);
}

void ReceiveLogControl::showUnverified(const FileFailure &failure) {
    showFailure(m_view->window(),
                tr("Od %1 s nie można sprawdzić, czy ścieżka\n%2\nwciąż wskazuje plik zapisu "
                   "odbieranych danych:\n\n%3\n\nDane są nadal zapisywane do tego pliku.")
                    .arg(LogSync::kLookPatience * LogSync::kTick.count())
                    .arg(QDir::toNativeSeparators(failure.fileName), failure.reason));
}
