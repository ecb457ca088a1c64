// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/text.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <thread>
#include <vector>

// Earlier states of a journal, each kept byte for byte as a plain file, so that a slip that the
// background save made permanent can still be taken back: with Lumenlog closed, the user copies
// a version over pw.dat.
//
// The versions of all journals live under one folder, $XDG_DATA_HOME/lumenlog/versions
// (~/.local/share/lumenlog/versions when the variable is unset or not an absolute path), in a
// folder of their own per journal whose name is made from the journal's real path (see
// VersionFolderName). A version's name is the local date and time it was kept,
// "2026-12-07-162005.dat", with "-2", "-3", ... before ".dat" when that name is taken. Files
// are made with mode 0600, and every folder made for them, parents included, with mode 0700.
// Bytes identical to a version already kept are not kept again.
//
// Pruning, after each version kept: the 20 newest versions stay, and so does the newest
// version of each of the last 24 calendar months (the month of the newest version kept and the
// 23 before it); all others are removed.

// The folder that holds every journal's versions, from the environment; empty when neither
// XDG_DATA_HOME nor HOME is usable.
std::string VersionsRoot();

// The name of the folder, within the versions root, for the journal at `journalRealPath` (an
// absolute path with no symbolic links): the path's last 100 bytes with '/' and every byte
// other than an ASCII letter, digit, '.', '-' or '_' as '_', then '-' and 16 hexadecimal digits
// of a 64-bit FNV-1a hash of the whole path. The readable part tells the user whose versions
// these are; the hash tells apart paths that map to the same readable part.
std::string VersionFolderName(std::string_view journalRealPath);

// The journal `journalPath` leads to as an absolute path with symbolic links resolved; for a
// journal that does not exist, its folder's real path with the journal's name. Nothing when
// that folder cannot be resolved.
std::optional<std::string> JournalRealPath(const std::string &journalPath);

// One kept version, as found in a journal's versions folder.
struct KeptVersion
{
    std::string path;
    std::string stamp; // "2026-12-07-162005", local time
    int counter = 1;   // 1 for the plain name, 2 for "-2", ...
    off_t size = 0;

    // Year * 12 + month - 1 of the stamp.
    int MonthIndex() const;
};

// The versions in `folder`, newest first; names that are not a version's are left out. An
// empty list when the folder does not exist.
std::vector<KeptVersion> ListVersions(const std::string &folder);

// Which versions the pruning keeps, given each one's MonthIndex, newest first (see above):
// true for those that stay.
std::vector<bool> VersionsToKeep(std::span<const int> monthsNewestFirst);

// The number of entries the load would give the journal file `path` (as ParseJournalRows,
// starting from an empty form); nothing when it cannot be read.
std::optional<size_t> CountVersionEntries(const std::string &path);

// The version's line in the program's list of versions: its date and time, size, number of
// entries and path, as "2026-12-07 16:20:05  46137344 bytes  100000 entries  PATH" and a LF.
Text DescribeVersion(const KeptVersion &version);

// The outcome of keeping a version.
struct KeepOutcome
{
    enum Result {
        Kept,        // a new version is in `path`
        AlreadyKept, // the version in `path` holds the same bytes
        Failed,      // nothing was kept: `error` is the errno, `path` what could not be made
    };
    Result result = Failed;
    std::string path;
    int error = 0;
};

// Keeps the file open as `journal` (read from offset 0, its file position untouched) as a new
// version of the journal at `journalRealPath`, below `root`, named after `when`, and then
// prunes that journal's versions. Blocks until done; safe on any thread. A reflink is made where
// the file systems allow, otherwise the bytes are copied within the kernel (copy_file_range),
// or read and written where even that is refused. The version is written under a temporary
// name, flushed to the disk and only then given its name, so that no partial version ever
// shows. A journal changed while it is copied (written in place) gives a failure with EAGAIN.
KeepOutcome KeepVersion(int journal, const std::string &journalRealPath, const std::string &root,
                        std::time_t when);

// Moves the file `path`, another version of the journal at `journalRealPath` that has been
// merged into it, among that journal's versions below `root`, as a version kept at `when`: named,
// made mode 0600 and pruned as KeepVersion does, and not kept a second time when a version holds
// the same bytes. On the same file system it is given its new name as it is; elsewhere its bytes
// are copied. Only once the version is on the disk is `path` removed. Failed: `path` is where
// it was (or, when only its removal failed, `error` is why and `path` names it).
KeepOutcome MoveIntoVersions(const std::string &path, const std::string &journalRealPath,
                             const std::string &root, std::time_t when = std::time(nullptr));

// Keeping a version on a thread of its own, for the save: Start opens the journal on the
// calling thread, so that what is copied is the file that is there now, even when a save then
// renames a new file into its place (the old file stays intact while it is open); the copy
// runs beside the save and never holds it up. The outcome is read once the copy is done, on
// whichever thread, without waiting; Wait waits for it (at close). Its own calls must not
// overlap: the save's thread may Start a copy, and the window's thread take the outcome once
// it has joined that save's thread. The object must outlive the copy: its destructor waits.
class VersionCopy
{
public:
    explicit VersionCopy(std::string root = VersionsRoot());
    ~VersionCopy();
    VersionCopy(const VersionCopy &) = delete;
    VersionCopy &operator=(const VersionCopy &) = delete;

    // Opens `journalPath` and starts copying it; false, with the outcome already Failed (or
    // nothing to do when the journal does not exist or is empty), when it could not start. At
    // most one copy runs at a time: false while one is running.
    bool Start(const std::string &journalPath, std::time_t when = std::time(nullptr));
    bool Running() const { return m_worker.joinable() && !m_done.load(); }
    // The outcome of the copy once it has ended, exactly once per copy; nothing while it runs
    // or when there was nothing to copy.
    std::optional<KeepOutcome> TakeOutcome();
    // Waits for a running copy to end; then TakeOutcome gives its outcome.
    void Wait();

private:
    std::string m_root;
    std::thread m_worker;
    std::atomic<bool> m_done{false};
    std::optional<KeepOutcome> m_outcome; // written by m_worker before m_done is set
};
