#include "common/posixfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

std::string DirectoryOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
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
