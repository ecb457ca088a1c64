// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// The few file operations on system descriptors that the journal's saves, copies and locks share.

// The folder part of `path` with its last slash ("" for a bare name), the name after it, and
// the folder itself ("." for a bare name, "/" for a name in the root).
std::string_view FolderPrefixOf(std::string_view path);
std::string_view BaseNameOf(std::string_view path);
std::string DirectoryOf(std::string_view path);

// The names in `folder`, "." and ".." among them; none when it cannot be read.
std::vector<std::string> FolderEntries(const std::string &folder);

// Opens the file `path` for reading when it is a regular file; -1 otherwise. `flags` add to the
// open's (O_CREAT makes a missing file, with owner-only read/write permission). The open never
// waits, so that a FIFO put where a file was expected cannot hang it.
int OpenRegularFile(const std::string &path, int flags = 0);

// Reads `fd` to its end, handing each run of bytes read to `take`, and retrying after
// interruptions. False on a read error, or as soon as `take` returns false.
bool ReadAll(int fd, const std::function<bool(std::string_view bytes)> &take);

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
