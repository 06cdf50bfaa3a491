#include "portstate.h"

// A COM port tells nothing of its holder or its permissions short of opening
// it.
PortState PortState::probe(const QString &) {
    return {};
}
