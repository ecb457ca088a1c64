// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/folderlock.h"

#include <fcntl.h>
#include <unistd.h>

FolderLock::~FolderLock()
{
    Release();
}

FolderLock::Result FolderLock::Acquire(const std::string &folder)
{
    Release();
    return OpenAndLock(folder, O_RDONLY | O_DIRECTORY, m_handle);
}

void FolderLock::Release()
{
    if (m_handle < 0)
        return;
    ::close(m_handle); // closing the last descriptor of the open file drops the lock
    m_handle = -1;
}
