#pragma once

#include "receivedtext.h"

// Program-wide state that outlives a single event handler.
namespace Module1 {

// The last chunk the receive handler read; empty at start, written and read
// by the receive handler only. Held as the bytes that came; toString() gives
// its characters.
inline ReceivedText receiveBuffer;

}  // namespace Module1
