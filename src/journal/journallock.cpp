#include "journal/journallock.h"

#include "journal/safesave.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// How often a starter tries again when saves keep replacing the file it has just locked.
constexpr int maxLockAttempts = 20;

std::string FolderOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// 0, or the errno of the failure (EWOULDBLOCK: another open file holds the lock).
int TryLock(int handle)
{
    int status = 0;
    do {
        status = ::flock(handle, LOCK_EX | LOCK_NB);
    } while (status != 0 && errno == EINTR);
    return status == 0 ? 0 : errno;
}

bool StillNamed(int handle, const std::string &path)
{
    struct stat opened = {};
    struct stat named = {};
    return ::fstat(handle, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
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

// The file is what is locked in every case: the folder lock needs the folder opened for
// reading, which a folder the user may write but not read (mode 0300) refuses.
JournalLock::Result JournalLock::LockFile(const std::string &path)
{
    for (int attempt = 0; attempt < maxLockAttempts; ++attempt) {
        // Close-on-exec, as the folder's: a program started from here must not keep the lock.
        const int handle =
            ::open(path.c_str(), O_RDONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (handle < 0)
            return Result::Unavailable;
        const int error = TryLock(handle);
        if (error == 0 && StillNamed(handle, path)) {
            m_file = handle;
            return Result::Locked;
        }
        ::close(handle);
        if (error != 0)
            return error == EWOULDBLOCK ? Result::HeldElsewhere : Result::Unavailable;
        // The holder's save renamed a new, locked file over the one opened here.
    }
    return Result::Unavailable;
}

bool JournalLock::CarryOver(int newFile, const std::function<bool()> &rename)
{
    if (m_file < 0)
        return rename();
    int successor = ::fcntl(newFile, F_DUPFD_CLOEXEC, 0);
    if (successor >= 0 && TryLock(successor) != 0) {
        ::close(successor);
        successor = -1;
    }
    if (!rename()) {
        if (successor >= 0)
            ::close(successor);
        return false;
    }
    ::close(m_file);
    m_file = successor;
    return true;
}

void JournalLock::Release()
{
    m_folder.Release();
    if (m_file >= 0)
        ::close(m_file);
    m_file = -1;
}

std::optional<UnwritableFolder> FindUnwritableFolder(std::string_view journalName)
{
    const std::optional<std::string> target = SaveTargetOf(journalName);
    struct stat info = {};
    if (target && ::stat(target->c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        ::faccessat(AT_FDCWD, target->c_str(), W_OK, AT_EACCESS) == 0)
        return std::nullopt;
    UnwritableFolder unwritable{target ? FolderOf(*target) : std::string("."), 0};
    if (::faccessat(AT_FDCWD, unwritable.folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0)
        return std::nullopt;
    unwritable.error = errno;
    std::error_code ignored;
    const std::filesystem::path absolute = std::filesystem::canonical(unwritable.folder, ignored);
    if (!absolute.empty())
        unwritable.folder = absolute.string();
    return unwritable;
}
