#include "journal/journallock.h"

#include "journal/safesave.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string FolderOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}
} // namespace

JournalLock::~JournalLock()
{
    Release();
}

JournalLock::Result JournalLock::Acquire(std::string_view journalName)
{
    Release();
    const std::optional<std::string> target = SaveTargetOf(journalName);
    const Result folder = m_folder.Acquire(target ? FolderOf(*target) : std::string("."));
    if (folder == Result::HeldElsewhere)
        return folder;
    const Result file = target ? LockFile(*target) : Result::Unavailable;
    if (file == Result::HeldElsewhere) {
        Release();
        return file;
    }
    return Held() ? Result::Locked : Result::Unavailable;
}

JournalLock::Result JournalLock::LockFile(const std::string &path)
{
    struct stat info = {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink < 2)
        return Result::Unavailable;
    // Close-on-exec, as the folder's: a program started from here must not keep the lock.
    const int handle = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0)
        return Result::Unavailable;
    int status = 0;
    do {
        status = ::flock(handle, LOCK_EX | LOCK_NB);
    } while (status != 0 && errno == EINTR);
    if (status == 0) {
        m_file = handle;
        return Result::Locked;
    }
    const bool held = errno == EWOULDBLOCK;
    ::close(handle);
    return held ? Result::HeldElsewhere : Result::Unavailable;
}

void JournalLock::Release()
{
    m_folder.Release();
    if (m_file >= 0)
        ::close(m_file);
    m_file = -1;
}
