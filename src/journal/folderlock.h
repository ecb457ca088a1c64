// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/posixfile.h"

#include <string>

// One running Lumenlog per journal folder. The lock is an flock() on the folder itself: it
// creates no file, follows the folder through any path or symbolic link that leads to it, and
// the kernel drops it when the holder exits or dies, so a crashed process never blocks the
// next start.
class FolderLock
{
public:
    using Result = LockResult; // Unavailable: no read permission, a file system without locks

    FolderLock() = default;
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    // Tries once, without waiting, to lock `folder` (the working folder by default).
    Result Acquire(const std::string &folder = ".");
    void Release();
    bool Held() const { return m_handle >= 0; }

private:
    int m_handle = -1;
};
