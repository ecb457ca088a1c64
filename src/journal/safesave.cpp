// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/safesave.h"

#include "common/posixfile.h"
#include "common/textfile.h"
#include "journal/contenthash.h"
#include "journal/journallock.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
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
constexpr std::string_view temporarySuffix = "XXXXXX"; // mkstemp's letters and digits
// In every temporary file's name, so that the removal of leftovers never takes a user's file.
constexpr std::string_view temporaryMarker = ".lumenlog-save-";

// The name a temporary file for `path` starts with, in the same folder.
std::string TemporaryPrefix(const std::string &path)
{
    return DirectoryOf(path) + "/." + std::string(BaseNameOf(path)) + std::string(temporaryMarker);
}

// A new file beside another one, removed again unless it was renamed into place.
class TemporaryFile
{
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;
    ~TemporaryFile() { Remove(); }

    // Created with owner-only read/write permission.
    bool Create(const std::string &besidePath)
    {
        std::string pattern = TemporaryPrefix(besidePath) + std::string(temporarySuffix);
        m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
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
    void Remove()
    {
        Close();
        if (!m_path.empty())
            ::unlink(m_path.c_str());
        m_path.clear();
    }
    // The file has been renamed into place and is no longer ours to remove.
    void Release() { m_path.clear(); }

private:
    int m_fd = -1;
    std::string m_path;
};

// Hashes the bytes as they go, while they are still in the cache.
bool WriteStored(SaveCalls &calls, int fd, const StoredBytes &bytes, ContentHash &hash)
{
    const WriteCall write = [&calls](int to, const void *data, size_t size) {
        return calls.Write(to, data, size);
    };
    ByteOutput out([&](std::string_view chunk) {
        hash.Add(chunk);
        return WriteAll(fd, chunk, write);
    });
    bytes(out);
    return out.Finish();
}

// -1 when the producer gave up (ByteOutput::Fail).
off_t StoredSize(const StoredBytes &bytes)
{
    off_t size = 0;
    ByteOutput out([&size](std::string_view chunk) {
        size += off_t(chunk.size());
        return true;
    });
    bytes(out);
    return out.Finish() ? size : -1;
}

// An identity that could not be taken stays empty: the next check then compares the hash.
void NoteWritten(int fd, const ContentHash &hash, FileSeen *written)
{
    struct stat info = {};
    if (written)
        *written =
            FileSeen{::fstat(fd, &info) == 0 ? IdentityOf(info) : FileIdentity{}, hash.Value()};
}

bool ReadyToReplace(const BeforeReplace &beforeReplace, const std::string &target, bool inPlace)
{
    return !beforeReplace || beforeReplace(target, inPlace);
}

// Claims the room for `size` bytes; posix_fallocate returns its error instead of setting errno,
// which the caller reports.
bool ClaimRoom(int fd, off_t size)
{
    const int error = size == 0 ? 0 : ::posix_fallocate(fd, 0, size);
    if (error != 0)
        errno = error;
    return error == 0;
}

// Overwrites the existing file `target` with `bytes`. The blocks for all of them are
// allocated before the first byte is written, so that a full disk or a file size limit fails
// while the old contents are still whole.
bool WriteInPlace(SaveCalls &calls, const std::string &target, const StoredBytes &bytes,
                  FileSeen *written, const BeforeReplace &beforeReplace)
{
    const int fd = ::open(target.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    const off_t size = StoredSize(bytes);
    ContentHash hash;
    // Checked before the room is claimed, which may already change the file's size and times.
    const bool saved = size >= 0 && ReadyToReplace(beforeReplace, target, true) &&
                       ClaimRoom(fd, size) && WriteStored(calls, fd, bytes, hash) &&
                       ::ftruncate(fd, size) == 0 && calls.Sync(fd) == 0;
    if (saved)
        NoteWritten(fd, hash, written);
    return ::close(fd) == 0 && saved;
}

// Gives the temporary file the owner and group of the file it replaces, where they differ
// from the process's own (a journal saved by root). False when they differ and cannot be given.
bool TakeOwnerOf(int fd, const struct stat &existing)
{
    if (existing.st_uid == ::geteuid() && existing.st_gid == ::getegid())
        return true;
    return ::fchown(fd, existing.st_uid, existing.st_gid) == 0;
}

} // namespace

std::optional<std::string> SaveTargetOf(std::string_view name)
{
    std::string path = ResolveFileName(name);
    for (int depth = 0; depth < maxLinkDepth; ++depth) {
        struct stat info = {};
        if (::lstat(path.c_str(), &info) != 0)
            return errno == ENOENT ? std::optional(path) : std::nullopt;
        if (!S_ISLNK(info.st_mode))
            return path;
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
        if (length <= 0 || size_t(length) >= sizeof target)
            return std::nullopt;
        const std::string link(target, size_t(length));
        path = link.front() == '/' ? link : DirectoryOf(path).append("/").append(link);
    }
    return std::nullopt;
}

bool SaveFileSafely(std::string_view name, const StoredBytes &bytes, SaveCalls &calls,
                    FileSeen *written, JournalLock *lock, const BeforeReplace &beforeReplace)
{
    const std::optional<std::string> target = SaveTargetOf(name);
    if (!target)
        return false;
    struct stat existing = {};
    const bool exists = ::stat(target->c_str(), &existing) == 0;
    if (!exists && errno != ENOENT)
        return false;
    // Only a regular file is replaced, and only one we could also have written to: a
    // read-only journal stays as it is.
    if (exists && (!S_ISREG(existing.st_mode) || ::access(target->c_str(), W_OK) != 0))
        return false;
    if (exists && existing.st_nlink > 1)
        return WriteInPlace(calls, *target, bytes, written, beforeReplace);

    TemporaryFile temporary;
    if (!temporary.Create(*target))
        return exists && WriteInPlace(calls, *target, bytes, written, beforeReplace);
    const int fd = temporary.Descriptor();
    if (exists && !TakeOwnerOf(fd, existing)) {
        temporary.Remove();
        return WriteInPlace(calls, *target, bytes, written, beforeReplace);
    }
    // After the owner: changing the owner clears the set-user-ID and set-group-ID bits.
    if (exists && ::fchmod(fd, existing.st_mode & 07777) != 0)
        return false;
    ContentHash hash;
    if (!WriteStored(calls, fd, bytes, hash) || calls.Sync(fd) != 0 ||
        !ReadyToReplace(beforeReplace, *target, false))
        return false;
    const auto rename = [&] {
        return calls.Rename(temporary.Path().c_str(), target->c_str()) == 0;
    };
    if (!(lock ? lock->CarryOver(fd, rename) : rename()))
        return false;
    temporary.Release();
    // Only now: the rename gives the file a new change time. The text is on the disk already,
    // so neither this nor the close can fail the save any more.
    NoteWritten(fd, hash, written);
    temporary.Close();
    SyncDirectory(DirectoryOf(*target));
    return true;
}

int RemoveLeftoverTemporaryFiles(std::string_view name)
{
    const std::optional<std::string> target = SaveTargetOf(name);
    if (!target)
        return 0;
    const std::string folder = DirectoryOf(*target);
    const std::string prefix =
        "." + std::string(BaseNameOf(*target)) + std::string(temporaryMarker);
    const auto isOurs = [&](std::string_view entry) {
        if (entry.size() != prefix.size() + temporarySuffix.size() || !entry.starts_with(prefix))
            return false;
        const std::string_view letters = entry.substr(prefix.size());
        return std::all_of(letters.begin(), letters.end(), [](char c) {
            return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        });
    };
    int removed = 0;
    for (const std::string &name : FolderEntries(folder)) {
        if (!isOurs(name))
            continue;
        const std::string path = std::string(folder).append("/").append(name);
        struct stat info = {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::unlink(path.c_str()) == 0)
            ++removed;
    }
    return removed;
}
