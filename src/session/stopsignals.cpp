// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/stopsignals.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {
int pipeEnds[2] = {-1, -1};
// Set by the handler, which may run on any thread; lock-free, so safe to set from it.
std::atomic<bool> stopReceived{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnStopSignal(int signalNumber)
{
    const int savedErrno = errno;
    stopReceived.store(true, std::memory_order_relaxed);
    const char byte = char(signalNumber);
    // Non-blocking: with the pipe full a byte is already waiting, and dropping this one is fine.
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
    errno = savedErrno;
}

bool CreateOrEmptyPipe()
{
    if (pipeEnds[0] >= 0) {
        DrainStopSignals(pipeEnds[0]);
        return true;
    }
    return ::pipe2(pipeEnds, O_NONBLOCK | O_CLOEXEC) == 0;
}
} // namespace

int InstallStopSignalHandlers()
{
    if (!CreateOrEmptyPipe())
        return -1;
    stopReceived.store(false, std::memory_order_relaxed);
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : stopSignals)
        sigaddset(&action.sa_mask, signalNumber);
    // Restart interrupted system calls, so the toolkit's reads and writes never see EINTR.
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : stopSignals) {
        if (::sigaction(signalNumber, &action, nullptr) != 0)
            return -1;
    }
    return pipeEnds[0];
}

int DrainStopSignals(int readEnd)
{
    int count = 0;
    char bytes[64];
    for (;;) {
        const ssize_t got = ::read(readEnd, bytes, sizeof bytes);
        if (got > 0) {
            count += int(got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        return count; // empty (EAGAIN), closed or failed
    }
}

bool StopSignalReceived()
{
    return stopReceived.load(std::memory_order_relaxed);
}
