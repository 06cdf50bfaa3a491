#pragma once

#include <QString>

// Program-wide state that outlives a single event handler.
namespace Module1 {

// The last chunk the receive handler read; empty at start, written and read
// by the receive handler only.
inline QString receiveBuffer;

}  // namespace Module1
