#pragma once

#include "ui/sockets.h"

#include <functional>

// The application: checks that sockets work, then runs the main dialog until it closes.
class JournalApp
{
public:
    explicit JournalApp(std::function<bool()> startSockets = [] { return StartSockets(); });

    // False when the program could not start (the user has been told why).
    bool Run();

private:
    std::function<bool()> m_startSockets;
};
