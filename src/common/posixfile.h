#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

// The few file operations on system descriptors that the journal's saves, copies and locks share.

// The folder part of `path`: "." for a bare name, "/" for a name in the root.
std::string DirectoryOf(const std::string &path);

// Writes all of `bytes` to `fd` through `write`, retrying after interruptions and short writes.
// False on a failure (errno says why); the file then holds an unbroken prefix of the bytes.
using WriteCall = std::function<ssize_t(int fd, const void *data, size_t size)>;
bool WriteAll(int fd, std::string_view bytes, const WriteCall &write);
bool WriteAll(int fd, std::string_view bytes); // through ::write

// Makes the entries of `directory` durable (a rename or a new file in it). A failure is not
// reported: what was to be made durable has been done, and there is nothing left to undo.
void SyncDirectory(const std::string &directory);

enum class LockResult {
    Locked,        // the lock is held until its descriptor is closed
    HeldElsewhere, // another open of the same file (another process) holds it
    Unavailable,   // the file cannot be opened or locked: nothing is held, nothing stands in
                   // the way
};

// Tries once, without waiting, to take an exclusive flock() on the open file `fd`: one that
// only this open of the file holds, and that the kernel drops when the holder dies.
LockResult TryLock(int fd);
// Opens `path` with `flags` and close-on-exec, so that a program started from here (a browser
// showing the report) does not keep the lock after Lumenlog has ended, and tries TryLock on it.
// Locked: `fd` receives the descriptor. A file O_CREAT makes gets owner-only read/write
// permission.
LockResult OpenAndLock(const std::string &path, int flags, int &fd);
