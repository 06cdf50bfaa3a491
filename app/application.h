#pragma once

#include <QApplication>

// The console's application object. It is the last line of defence: a
// failure that no handler caught is written to standard error here and the
// console goes on, instead of unwinding through Qt's event loop.
class Application : public QApplication {
    Q_OBJECT

public:
    Application(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};
