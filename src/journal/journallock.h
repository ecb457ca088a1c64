#pragma once

#include "session/folderlock.h"

#include <string_view>

// One running Lumenlog per journal file, wherever the names that lead to it are. A journal
// reached through a symbolic link is locked where the link leads: the lock is taken on the
// folder that holds the file itself, since a save replaces the file by a new one (a lock on the
// file would stay with the old one) while the folder stays. A journal with more than one hard
// link, which may sit in several folders, is saved in place and so stays the same file: it is
// locked itself as well.
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

private:
    Result LockFile(const std::string &path);

    FolderLock m_folder;
    int m_file = -1;
};
