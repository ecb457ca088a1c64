// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "journal/folderlock.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// One running Lumenlog per journal file, wherever the names that lead to it are. The journal
// file itself is locked (created first when it is missing), so that any folder or link that
// leads to it, even a hard link made after the start, meets the lock. A save that renames a new
// file over the journal carries the lock over to it (CarryOver), and a starter checks that the
// file it locked still has the journal's name. The folder that holds the file is locked as
// well where it can be opened, as earlier versions did.
class JournalLock
{
public:
    using Result = FolderLock::Result;

    JournalLock() = default;
    ~JournalLock();
    JournalLock(const JournalLock &) = delete;
    JournalLock &operator=(const JournalLock &) = delete;

    // Tries once, without waiting. HeldElsewhere when another holder has the folder or the
    // file; Locked when this object holds at least one of them; Unavailable when neither can
    // be locked at all (nothing stands in the way then).
    Result Acquire(std::string_view journalName = "pw.dat");
    void Release();
    bool Held() const { return m_folder.Held() || m_file >= 0; }

    // Puts the new file `newFile` (open) in the journal's place by calling `rename`, and
    // returns what it returned. The new file is locked before it takes the journal's name, and
    // the old one's lock goes once it has lost that name: no other window can open the journal
    // unlocked in between.
    bool CarryOver(int newFile, const std::function<bool()> &rename);

private:
    Result LockFile(const std::string &path);

    FolderLock m_folder;
    int m_file = -1;
};

// A folder the journal cannot be kept in: neither the journal nor a new file beside it can be
// written, so nothing entered would ever be saved.
struct UnwritableFolder
{
    std::string folder; // absolute where it can be made so
    int error = 0;      // errno: why no new file can be made there
};
std::optional<UnwritableFolder> FindUnwritableFolder(std::string_view journalName = "pw.dat");
