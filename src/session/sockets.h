// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The sockets start-up check: the program runs only on a system whose sockets work.

using SocketFunction = int (*)(int domain, int type, int protocol);

// True when an IPv4 socket can be created and closed again. `createSocket` is the system's
// socket() unless a test passes one that fails.
bool StartSockets(SocketFunction createSocket = nullptr);
