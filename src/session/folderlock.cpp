#include "session/folderlock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

FolderLock::~FolderLock()
{
    Release();
}

FolderLock::Result FolderLock::Acquire(const std::string &folder)
{
    Release();
    // Close-on-exec: a program started from here (a browser showing the report) must not
    // inherit the lock and keep the folder locked after Lumenlog has ended.
    const int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0)
        return Result::Unavailable;
    int status = 0;
    do {
        status = ::flock(handle, LOCK_EX | LOCK_NB);
    } while (status != 0 && errno == EINTR);
    if (status == 0) {
        m_handle = handle;
        return Result::Locked;
    }
    const bool held = errno == EWOULDBLOCK;
    ::close(handle);
    return held ? Result::HeldElsewhere : Result::Unavailable;
}

void FolderLock::Release()
{
    if (m_handle < 0)
        return;
    ::close(m_handle); // closing the last descriptor of the open file drops the lock
    m_handle = -1;
}
