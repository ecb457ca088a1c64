// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/posixfile.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

std::string_view FolderPrefixOf(std::string_view path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

std::string_view BaseNameOf(std::string_view path)
{
    return path.substr(FolderPrefixOf(path).size());
}

std::string DirectoryOf(std::string_view path)
{
    const std::string_view prefix = FolderPrefixOf(path);
    if (prefix.empty())
        return ".";
    return std::string(prefix.size() == 1 ? prefix : prefix.substr(0, prefix.size() - 1));
}

std::vector<std::string> FolderEntries(const std::string &folder)
{
    std::vector<std::string> names;
    const std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(folder.c_str()), &::closedir);
    while (const dirent *entry = dir ? ::readdir(dir.get()) : nullptr)
        names.emplace_back(entry->d_name);
    return names;
}

int OpenRegularFile(const std::string &path, int flags)
{
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | flags,
                    S_IRUSR | S_IWUSR);
    } while (fd < 0 && errno == EINTR);
    struct stat info = {};
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool ReadAll(int fd, const std::function<bool(std::string_view bytes)> &take)
{
    constexpr size_t chunk = size_t(64) << 10;
    const auto buffer = std::make_unique_for_overwrite<char[]>(chunk);
    for (;;) {
        const ssize_t got = ::read(fd, buffer.get(), chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;
        if (!take({buffer.get(), size_t(got)}))
            return false;
    }
}

bool WriteAll(int fd, std::string_view bytes, const WriteCall &write)
{
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(size_t(written));
    }
    return true;
}

bool WriteAll(int fd, std::string_view bytes)
{
    return WriteAll(fd, bytes, ::write);
}

void SyncDirectory(const std::string &directory)
{
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

LockResult TryLock(int fd)
{
    int status = 0;
    do {
        status = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (status != 0 && errno == EINTR);
    if (status == 0)
        return LockResult::Locked;
    return errno == EWOULDBLOCK ? LockResult::HeldElsewhere : LockResult::Unavailable;
}

LockResult OpenAndLock(const std::string &path, int flags, int &fd)
{
    const int handle = ::open(path.c_str(), flags | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (handle < 0)
        return LockResult::Unavailable;
    const LockResult result = TryLock(handle);
    if (result == LockResult::Locked)
        fd = handle;
    else
        ::close(handle);
    return result;
}
