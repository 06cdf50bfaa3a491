#pragma once

#include <stdexcept>

// The one failure type of the serial port control. Callers catch it; which
// failure it was is only of interest to a log, never to the program's flow.
class CommError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
