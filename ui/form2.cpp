#include "form2.h"

#include "kalvexversion.h"
#include "ui_form2.h"

Form2::Form2(QWidget *parent) : QWidget(parent), ui(new Ui::Form2) {
    ui->setupUi(this);
    // The banner names the program with the version it was built as.
    ui->Label1->setText(QString::fromLatin1(KalvexVersion::kLongName));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    connect(ui->Command1, &QAbstractButton::clicked, this, &Form2::close);
}

Form2::~Form2() {
    delete ui;
}
