// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <csignal>

// SIGTERM, SIGHUP and SIGINT (logout, shutdown, a closed terminal, Ctrl+C) must not end the
// process on the spot: the main dialog has to close and save the journal first. Their handler
// only writes one byte to a pipe (async-signal-safe); the UI thread watches the pipe's read end
// and ends the dialog from its own event loop. The handlers stay installed for the rest of the
// process, so a signal repeated while the journal is being saved is just one more byte.

// Creates the pipe (once per process) and installs the handlers. Bytes left in the pipe by an
// earlier installation (an earlier dialog of a test program) are dropped. Returns the pipe's
// read end (non-blocking), or -1 when the pipe or a handler could not be set up.
int InstallStopSignalHandlers();

// Reads every byte waiting on `readEnd` and returns how many there were.
int DrainStopSignals(int readEnd);

// True once a stop signal has arrived since the handlers were installed. Long work on the UI
// thread (the report) asks it to end early, since the pipe is read only by the event loop.
bool StopSignalReceived();

// The signals handled, for tests and for the loop that installs them.
inline constexpr int stopSignals[] = {SIGTERM, SIGHUP, SIGINT};
