#include "findbox.h"

#include "ui_findbox.h"

#include <QAction>

FindBox::FindBox(QWidget *window) : QDialog(window), ui(new Ui::FindBox) {
    ui->setupUi(this);
    setModal(false);
    setAttribute(Qt::WA_QuitOnClose, false);
    // Closes when its window does: a window being closed is hidden first.
    window->installEventFilter(this);

    auto *next = new QAction(this);
    next->setShortcuts(QKeySequence::FindNext);
    auto *previous = new QAction(this);
    previous->setShortcuts(QKeySequence::FindPrevious);
    addAction(next);
    addAction(previous);

    const auto forward = [this] { emit findRequested(FindDirection::Forward); };
    const auto backward = [this] { emit findRequested(FindDirection::Backward); };
    connect(ui->findNext, &QAbstractButton::clicked, this, forward);
    connect(next, &QAction::triggered, this, forward);
    connect(ui->findPrevious, &QAbstractButton::clicked, this, backward);
    connect(previous, &QAction::triggered, this, backward);
    connect(ui->closeButton, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(ui->findText, &QLineEdit::textEdited, ui->status, &QLabel::clear);
}

FindBox::~FindBox() {
    delete ui;
}

QString FindBox::text() const {
    return ui->findText->text();
}

void FindBox::setText(const QString &text) {
    ui->findText->setText(text);
    ui->status->clear();
}

Qt::CaseSensitivity FindBox::caseSensitivity() const {
    return ui->matchCase->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
}

void FindBox::focusText() {
    ui->findText->setFocus(Qt::ShortcutFocusReason);
    ui->findText->selectAll();
}

void FindBox::showFound(FindDirection direction, FindMatch::Route route) {
    if (route == FindMatch::Route::Direct)
        ui->status->clear();
    else if (direction == FindDirection::Backward)
        ui->status->setText(tr("Doszło do początku, szukano od końca"));
    else
        ui->status->setText(tr("Doszło do końca, szukano od początku"));
}

void FindBox::showNotFound() {
    ui->status->setText(tr("Nie znaleziono"));
}

bool FindBox::eventFilter(QObject *watched, QEvent *event) {
    if (watched == parent() && event->type() == QEvent::Hide)
        hide();
    return QDialog::eventFilter(watched, event);
}
