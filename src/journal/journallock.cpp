// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/journallock.h"

#include "common/posixfile.h"
#include "journal/safesave.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// How often a starter tries again when saves keep replacing the file it has just locked.
constexpr int maxLockAttempts = 20;

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
    const Result folder = m_folder.Acquire(target ? DirectoryOf(*target) : std::string("."));
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
        int handle = -1;
        const Result result = OpenAndLock(path, O_RDONLY | O_CREAT | O_NONBLOCK, handle);
        if (result != Result::Locked)
            return result;
        if (StillNamed(handle, path)) {
            m_file = handle;
            return Result::Locked;
        }
        // The holder's save renamed a new, locked file over the one opened here.
        ::close(handle);
    }
    return Result::Unavailable;
}

bool JournalLock::CarryOver(int newFile, const std::function<bool()> &rename)
{
    if (m_file < 0)
        return rename();
    int successor = ::fcntl(newFile, F_DUPFD_CLOEXEC, 0);
    if (successor >= 0 && TryLock(successor) != Result::Locked) {
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
    UnwritableFolder unwritable{target ? DirectoryOf(*target) : std::string("."), 0};
    if (::faccessat(AT_FDCWD, unwritable.folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0)
        return std::nullopt;
    unwritable.error = errno;
    std::error_code ignored;
    const std::filesystem::path absolute = std::filesystem::canonical(unwritable.folder, ignored);
    if (!absolute.empty())
        unwritable.folder = absolute.string();
    return unwritable;
}
