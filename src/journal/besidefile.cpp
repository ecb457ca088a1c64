#include "journal/besidefile.h"

#include "common/posixfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int maxAttempts = 1000;
constexpr size_t copyChunk = size_t(1) << 16;

std::string_view FolderPrefix(std::string_view path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

std::string TimeStamp(std::time_t when)
{
    std::tm local{};
    char stamp[32] = "";
    if (::localtime_r(&when, &local))
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d-%H%M%S", &local);
    return stamp;
}

// Opens a new file beside `journalPath` exclusively; its descriptor (or -1) and its path.
int OpenNewBeside(std::string_view journalPath, std::string_view label, std::time_t when,
                  std::string &path)
{
    for (int attempt = 1; attempt <= maxAttempts; ++attempt) {
        path = NameBeside(journalPath, label, when, attempt);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool CopyContents(int from, int to)
{
    char buffer[copyChunk];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (!WriteAll(to, std::string_view(buffer, size_t(got))))
            return false;
    }
}

} // namespace

std::string NameBeside(std::string_view journalPath, std::string_view label, std::time_t when,
                       int attempt)
{
    const std::string_view folder = FolderPrefix(journalPath);
    const std::string_view base = journalPath.substr(folder.size());
    // The ending starts at the last dot that does not begin the name.
    const size_t dot = base.rfind('.');
    const size_t stemLength = dot == std::string_view::npos || dot == 0 ? base.size() : dot;
    std::string name(folder);
    name.append(base.substr(0, stemLength)).append(".").append(label).append("-");
    name.append(TimeStamp(when));
    if (attempt > 1)
        name.append("-").append(std::to_string(attempt));
    name.append(base.substr(stemLength));
    return name;
}

std::optional<std::string> CreateFileBeside(std::string_view journalPath, std::string_view label,
                                            std::time_t when)
{
    std::string path;
    const int fd = OpenNewBeside(journalPath, label, when, path);
    if (fd < 0)
        return std::nullopt;
    ::close(fd);
    return path;
}

std::optional<std::string> CopyFileBeside(const std::string &source, std::string_view journalPath,
                                          std::string_view label, std::time_t when)
{
    // Non-blocking, so that a FIFO put where a file was expected cannot hang the open.
    const int from = ::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (from < 0)
        return std::nullopt;
    struct stat info = {};
    if (::fstat(from, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(from);
        return std::nullopt;
    }
    std::string path;
    const int to = OpenNewBeside(journalPath, label, when, path);
    bool copied = to >= 0 && CopyContents(from, to) && ::fsync(to) == 0;
    if (to >= 0)
        copied = ::close(to) == 0 && copied;
    ::close(from);
    if (!copied) {
        if (to >= 0)
            ::unlink(path.c_str());
        return std::nullopt;
    }
    // The copy must survive a crash before the journal it was taken from is replaced: its entry
    // in the folder is made durable as well as its contents.
    SyncDirectory(DirectoryOf(path));
    return path;
}
