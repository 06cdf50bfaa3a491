#pragma once

#include <QWidget>

namespace Ui {
class Form2;
}

// The About window. Each instance is built from its design when created and
// destroyed when closed.
class Form2 : public QWidget {
    Q_OBJECT

public:
    explicit Form2(QWidget *parent = nullptr);
    ~Form2() override;

private:
    Ui::Form2 *ui;
};
