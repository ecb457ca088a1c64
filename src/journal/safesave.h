// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/byteoutput.h"
#include "journal/fileidentity.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

class JournalLock;

// The system calls a save makes once the file it writes is open. The defaults call the system;
// tests override them to make one of them fail.
class SaveCalls
{
public:
    virtual ~SaveCalls() = default;
    virtual ssize_t Write(int fd, const void *data, size_t size);
    virtual int Sync(int fd);
    virtual int Rename(const char *from, const char *to);
};

// Replaces the file `name` in the working directory (resolved with ResolveFileName) by the
// bytes `bytes` appends, exactly as they come, so that the file is never left damaged or
// emptied: the text goes to a temporary file in the same folder, is flushed to the disk, and
// the temporary file is then renamed over the file. An existing file keeps its name, its
// permission bits and its owner and group (where the process may give them, as root may); a
// symbolic link stays and the file it leads to is replaced. A new file gets owner-only
// read/write permission. Only a missing file or a regular one that may be written is replaced.
//
// Where a new file cannot take the old one's place, the file is written in place instead
// (truncated to the new text, written, flushed): when no temporary file can be made in its
// folder (a folder the user may not write to, holding a journal the user may write), when it
// has other hard links (which a new file would cut off), and when its owner and group cannot
// be given to a new file. The room for the new text is claimed first, so that a full disk fails
// before anything is overwritten; only a crash in the middle can leave such a file damaged.
//
// `beforeReplace`, when given, is called with the path of the file just before it is replaced:
// once the new text is on the disk, right before the rename, or right before the in-place write
// begins (`inPlace` says which). It returning false stops the save, which then fails with the
// file as it was.
//
// False on any failure; the temporary file is then gone and the file is as it was. On success
// `written`, when given, receives the file as it now is on disk: its identity and the hash of
// the bytes written. `lock`, when given, is the file's lock, which a new file that takes its
// place takes over.
//
// `bytes` appends the file's bytes, exactly as they are to be stored, to the output it is
// given: called once to write them, and beforehand once more to measure them when the file is
// written in place; both calls must give the same bytes. So a large file is written as it is
// formatted, never held whole. A producer that cannot go on calls Fail on the output: the save
// then fails and replaces nothing.
using StoredBytes = std::function<void(ByteOutput &out)>;
using BeforeReplace = std::function<bool(const std::string &target, bool inPlace)>;
bool SaveFileSafely(std::string_view name, const StoredBytes &bytes, SaveCalls &calls,
                    FileSeen *written = nullptr, JournalLock *lock = nullptr,
                    const BeforeReplace &beforeReplace = {});

// The path a save of `name` writes to: `name` resolved with ResolveFileName and any symbolic
// links followed, also when the last one leads to a file that does not exist yet. Nothing when
// the links cannot be followed.
std::optional<std::string> SaveTargetOf(std::string_view name);

// Removes the temporary files that saves of `name` left behind because they were killed before
// they could rename or remove them: the files in the target's folder whose names the safe save
// makes (".pw.dat.lumenlog-save-" and six letters or digits), and nothing else. The caller must
// hold the journal's lock, so that no running save's temporary file is taken. Returns how many
// went.
int RemoveLeftoverTemporaryFiles(std::string_view name);
