#pragma once

#include "fileclaims.h"
#include "portdirectory.h"
#include "receivecounter.h"
#include "receivelog.h"

// What the main window shows and drives without owning it: the port
// numbers, the receive log with the claims on files that it and every save
// go through, and the count of received bytes. Whoever makes the window owns
// them and keeps them until the window is gone (the application; a test's
// fixture). Making them costs nothing until the log starts.
struct ConsoleServices {
    explicit ConsoleServices(PortDirectory ports = PortDirectory()) : ports(std::move(ports)) {}
    ConsoleServices(const ConsoleServices &) = delete;
    ConsoleServices &operator=(const ConsoleServices &) = delete;

    PortDirectory ports;
    FileClaims claims;
    ReceiveLog log{&claims};
    ReceiveCounter counter;
};
