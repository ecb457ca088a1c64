#include "journal/safesave.h"

#include "common/textfile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

ssize_t SaveCalls::Write(int fd, const void *data, size_t size)
{
    return ::write(fd, data, size);
}

int SaveCalls::Sync(int fd)
{
    return ::fsync(fd);
}

int SaveCalls::Rename(const char *from, const char *to)
{
    return ::rename(from, to);
}

namespace {

constexpr int maxLinkDepth = 40;
constexpr size_t writeChunk = size_t(1) << 16;

std::string DirectoryOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The path a write through `path` ends up at: symbolic links are followed, also when the last
// one leads to a file that does not exist yet.
std::optional<std::string> FollowLinks(std::string path)
{
    for (int depth = 0; depth < maxLinkDepth; ++depth) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0)
            return errno == ENOENT ? std::optional(path) : std::nullopt;
        if (!S_ISLNK(info.st_mode))
            return path;
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
        if (length <= 0 || size_t(length) >= sizeof target)
            return std::nullopt;
        const std::string link(target, size_t(length));
        path = link.front() == '/' ? link : DirectoryOf(path) + "/" + link;
    }
    return std::nullopt;
}

// A new file beside another one, removed again unless it was renamed into place.
class TemporaryFile
{
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;
    ~TemporaryFile()
    {
        Close();
        if (!m_path.empty())
            ::unlink(m_path.c_str());
    }

    // Created with owner-only read/write permission.
    bool Create(const std::string &besidePath)
    {
        std::string pattern = DirectoryOf(besidePath) + "/." + BaseNameOf(besidePath) + ".XXXXXX";
        m_fd = ::mkstemp(pattern.data());
        if (m_fd < 0)
            return false;
        m_path = pattern;
        return true;
    }
    int Descriptor() const { return m_fd; }
    const std::string &Path() const { return m_path; }
    bool Close()
    {
        if (m_fd < 0)
            return true;
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0;
    }
    // The file has been renamed into place and is no longer ours to remove.
    void Release() { m_path.clear(); }

private:
    int m_fd = -1;
    std::string m_path;
};

bool WriteAll(SaveCalls &calls, int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = calls.Write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(size_t(written));
    }
    return true;
}

// Stores each LF as CR LF, a window of the text at a time, so that the translated text is
// never held whole.
bool WriteInTextMode(SaveCalls &calls, int fd, std::string_view text)
{
    std::string chunk;
    chunk.reserve(2 * writeChunk);
    while (!text.empty()) {
        const std::string_view window = text.substr(0, writeChunk);
        text.remove_prefix(window.size());
        chunk.clear();
        size_t start = 0;
        for (size_t lineEnd; (lineEnd = window.find('\n', start)) != std::string_view::npos;
             start = lineEnd + 1) {
            chunk.append(window.substr(start, lineEnd - start));
            chunk.append("\r\n");
        }
        chunk.append(window.substr(start));
        if (!WriteAll(calls, fd, chunk))
            return false;
    }
    return true;
}

// Makes the rename itself durable. The new file is in place by now, so a failure here has
// nothing left to undo and is not reported.
void SyncDirectory(const std::string &directory)
{
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

bool SaveTextFileSafely(std::string_view name, std::string_view text)
{
    SaveCalls calls;
    return SaveTextFileSafely(name, text, calls);
}

bool SaveTextFileSafely(std::string_view name, std::string_view text, SaveCalls &calls)
{
    const std::optional<std::string> target = FollowLinks(ResolveFileName(name));
    if (!target)
        return false;
    struct stat existing;
    const bool exists = ::stat(target->c_str(), &existing) == 0;
    if (!exists && errno != ENOENT)
        return false;
    // Only a regular file is replaced, and only one we could also have written to: a
    // read-only journal stays as it is.
    if (exists && (!S_ISREG(existing.st_mode) || ::access(target->c_str(), W_OK) != 0))
        return false;

    TemporaryFile temporary;
    if (!temporary.Create(*target))
        return false;
    const int fd = temporary.Descriptor();
    if (exists && ::fchmod(fd, existing.st_mode & 07777) != 0)
        return false;
    if (!WriteInTextMode(calls, fd, text) || calls.Sync(fd) != 0 || !temporary.Close())
        return false;
    if (calls.Rename(temporary.Path().c_str(), target->c_str()) != 0)
        return false;
    temporary.Release();
    SyncDirectory(DirectoryOf(*target));
    return true;
}
