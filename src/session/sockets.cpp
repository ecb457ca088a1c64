// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/sockets.h"

#include <sys/socket.h>
#include <unistd.h>

bool StartSockets(SocketFunction createSocket)
{
    if (!createSocket)
        createSocket = ::socket;
    const int handle = createSocket(AF_INET, SOCK_STREAM, 0);
    if (handle < 0)
        return false;
    return ::close(handle) == 0;
}
