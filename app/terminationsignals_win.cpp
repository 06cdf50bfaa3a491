#include "terminationsignals.h"

// Windows ends a program without such signals: nothing to wait for.
TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent) {}

TerminationSignals::~TerminationSignals() = default;

void TerminationSignals::readPipe() {}

void TerminationSignals::endByReceivedSignal() const {}
