// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/versions.h"

#include "common/posixfile.h"
#include "journal/besidefile.h"
#include "journal/journalformat.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <memory>
#include <set>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <tuple>
#include <unistd.h>
#include <utility>

namespace {

constexpr size_t readablePart = 100;
constexpr size_t newestKept = 20;
constexpr int monthsKept = 24;
constexpr size_t compareChunk = size_t(1) << 20;
constexpr std::string_view temporaryPrefix = ".keeping-";
constexpr std::string_view versionEnding = ".dat";
// "YYYY-MM-DD-HHMMSS"
constexpr std::string_view stampPattern = "0000-00-00-000000";

std::uint64_t Fnv1a(std::string_view bytes)
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char byte : bytes) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 1099511628211ULL;
    }
    return hash;
}

bool IsStamp(std::string_view text)
{
    if (text.size() != stampPattern.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (stampPattern[i] == '0' ? !digit : text[i] != stampPattern[i])
            return false;
    }
    return true;
}

// "2026-12-07-162005.dat" or "2026-12-07-162005-3.dat": the stamp and the counter.
std::optional<KeptVersion> ParseVersionName(std::string_view name)
{
    if (!name.ends_with(versionEnding))
        return std::nullopt;
    name.remove_suffix(versionEnding.size());
    KeptVersion version;
    if (!IsStamp(name.substr(0, stampPattern.size())))
        return std::nullopt;
    version.stamp = name.substr(0, stampPattern.size());
    const std::string_view rest = name.substr(stampPattern.size());
    if (rest.empty())
        return version;
    if (rest.size() < 2 || rest.size() > 6 || rest[0] != '-' || rest[1] == '0' ||
        !std::all_of(rest.begin() + 1, rest.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    version.counter = std::atoi(std::string(rest.substr(1)).c_str());
    return version.counter >= 2 ? std::optional(version) : std::nullopt;
}

std::string VersionName(std::string_view stamp, int counter)
{
    std::string name(stamp);
    if (counter > 1)
        name.append("-").append(std::to_string(counter));
    return name.append(versionEnding);
}

// Makes `folder` and whichever of its parents are missing, each with mode 0700.
bool MakeFolders(const std::string &folder)
{
    struct stat info = {};
    if (::stat(folder.c_str(), &info) == 0) {
        if (!S_ISDIR(info.st_mode))
            errno = ENOTDIR;
        return S_ISDIR(info.st_mode);
    }
    if (errno != ENOENT)
        return false;
    const size_t slash = folder.rfind('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash)))
        return false;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    // Exactly 0700, whatever the umask left of it.
    return ::chmod(folder.c_str(), 0700) == 0;
}

bool ReadFully(int fd, char *buffer, size_t size, off_t offset)
{
    while (size > 0) {
        const ssize_t got = ::pread(fd, buffer, size, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        buffer += got;
        size -= size_t(got);
        offset += got;
    }
    return true;
}

// Whether the file `path` holds exactly the `size` bytes of `journal`.
bool SameBytes(int journal, off_t size, const std::string &path)
{
    const int other = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (other < 0)
        return false;
    const auto ours = std::make_unique<char[]>(compareChunk);
    const auto theirs = std::make_unique<char[]>(compareChunk);
    bool same = true;
    for (off_t at = 0; same && at < size; at += off_t(compareChunk)) {
        const size_t length = size_t(std::min<off_t>(off_t(compareChunk), size - at));
        same = ReadFully(journal, ours.get(), length, at) &&
               ReadFully(other, theirs.get(), length, at) &&
               std::memcmp(ours.get(), theirs.get(), length) == 0;
    }
    ::close(other);
    return same;
}

// The `size` bytes of `from` into the empty file `to`: a reflink where the file system shares
// blocks between files, else a copy within the kernel, by copy_file_range or, between file
// systems that refuse it, by sendfile.
bool CopyBytes(int from, int to, off_t size)
{
    if (::ioctl(to, FICLONE, from) == 0)
        return true;
    bool refused = false;
    for (off_t offset = 0; offset < size;) {
        const auto length = size_t(size - offset);
        const ssize_t copied = refused ? ::sendfile(to, from, &offset, length)
                                       : ::copy_file_range(from, &offset, to, nullptr, length, 0);
        if (copied > 0 || (copied < 0 && errno == EINTR))
            continue;
        if (copied < 0 && !refused &&
            (errno == EXDEV || errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL)) {
            refused = true;
            continue;
        }
        if (copied == 0) // the file ended early: it was cut short while copied
            errno = EAGAIN;
        return false;
    }
    return true;
}

// Gives the finished temporary file the first free version name; never replaces a version.
std::optional<std::string> NameVersion(const std::string &temporary, const std::string &folder,
                                       std::time_t when)
{
    const std::string stamp = TimeStamp(when);
    for (int counter = 1; counter < 100000; ++counter) {
        const std::string path = folder + "/" + VersionName(stamp, counter);
        if (::link(temporary.c_str(), path.c_str()) == 0)
            return path;
        if (errno != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

KeepOutcome Failure(int error, std::string path)
{
    KeepOutcome outcome;
    outcome.error = error;
    outcome.path = std::move(path);
    return outcome;
}

// Copies `journal` into a new version in `folder`.
KeepOutcome CopyIntoFolder(int journal, const struct stat &before, const std::string &folder,
                           std::time_t when)
{
    std::string temporary = folder + "/" + std::string(temporaryPrefix) + "XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return Failure(errno, folder);
    struct stat after = {};
    const bool copied = ::fchmod(fd, 0600) == 0 && CopyBytes(journal, fd, before.st_size) &&
                        ::fstat(journal, &after) == 0;
    int error = copied ? 0 : errno;
    // Written while it was copied (in place): what was copied is no one state of the journal.
    if (error == 0 &&
        (after.st_size != before.st_size || after.st_mtim.tv_sec != before.st_mtim.tv_sec ||
         after.st_mtim.tv_nsec != before.st_mtim.tv_nsec))
        error = EAGAIN;
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    std::optional<std::string> named;
    if (error == 0 && !(named = NameVersion(temporary, folder, when)))
        error = errno;
    ::unlink(temporary.c_str());
    if (!named)
        return Failure(error, folder);
    SyncDirectory(folder);
    KeepOutcome outcome;
    outcome.result = KeepOutcome::Kept;
    outcome.path = *named;
    return outcome;
}

// Gives the file `path`, open as `file`, a version's name in `folder` (a new link, which the
// caller then removes from its old place), when it is a regular file on the same file system.
std::optional<std::string> LinkIntoFolder(int file, const std::string &path,
                                          const std::string &folder, std::time_t when)
{
    struct stat opened = {};
    struct stat named = {};
    if (::fstat(file, &opened) != 0 || ::lstat(path.c_str(), &named) != 0 ||
        !S_ISREG(named.st_mode) || named.st_ino != opened.st_ino || named.st_dev != opened.st_dev)
        return std::nullopt;
    if (::fchmod(file, 0600) != 0 || ::fsync(file) != 0)
        return std::nullopt;
    std::optional<std::string> version = NameVersion(path, folder, when);
    if (version)
        SyncDirectory(folder);
    return version;
}

// Removes what the pruning rule does not keep, and temporary files that an ended process left.
void Prune(const std::string &folder)
{
    const std::vector<KeptVersion> versions = ListVersions(folder);
    std::vector<int> months;
    months.reserve(versions.size());
    for (const KeptVersion &version : versions)
        months.push_back(version.MonthIndex());
    const std::vector<bool> keep = VersionsToKeep(months);
    for (size_t i = 0; i < versions.size(); ++i) {
        if (!keep[i])
            ::unlink(versions[i].path.c_str());
    }
    // The journal's lock keeps any other process from keeping a version of it at this time.
    std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(folder.c_str()), &::closedir);
    while (const dirent *entry = dir ? ::readdir(dir.get()) : nullptr) {
        if (std::string_view(entry->d_name).starts_with(temporaryPrefix))
            ::unlinkat(::dirfd(dir.get()), entry->d_name, 0);
    }
}

// Keeps `file` as a version: by linking `linkFrom` into the folder where it can (see
// LinkIntoFolder), otherwise by copying its bytes.
KeepOutcome KeepFile(int file, const std::string &linkFrom, const std::string &journalRealPath,
                     const std::string &root, std::time_t when)
{
    const std::string folder = root + "/" + VersionFolderName(journalRealPath);
    struct stat before = {};
    if (::fstat(file, &before) != 0 || !MakeFolders(folder))
        return Failure(errno, folder);
    KeepOutcome outcome;
    for (const KeptVersion &version : ListVersions(folder)) {
        if (version.size == before.st_size && SameBytes(file, before.st_size, version.path)) {
            outcome.result = KeepOutcome::AlreadyKept;
            outcome.path = version.path;
            return outcome;
        }
    }
    const std::optional<std::string> linked =
        linkFrom.empty() ? std::nullopt : LinkIntoFolder(file, linkFrom, folder, when);
    if (linked) {
        outcome.result = KeepOutcome::Kept;
        outcome.path = *linked;
    } else {
        outcome = CopyIntoFolder(file, before, folder, when);
    }
    if (outcome.result == KeepOutcome::Kept)
        Prune(folder);
    return outcome;
}

// The copy gives way to everything else, the save above all, for the processor and the disk:
// the lowest priority for this thread alone, where the system lets it be set. The I/O priority's
// values are the kernel's; its header is not included, as newer ones do not compile as C++.
void YieldToOtherWork()
{
    constexpr int whoProcess = 1;  // IOPRIO_WHO_PROCESS: a thread, given by its id (0: this one)
    constexpr int bestEffort = 2;  // IOPRIO_CLASS_BE
    constexpr int classShift = 13; // IOPRIO_CLASS_SHIFT
    constexpr int lowestLevel = 7;
    ::setpriority(PRIO_PROCESS, ::gettid(), 19);
    ::syscall(SYS_ioprio_set, whoProcess, 0, (bestEffort << classShift) | lowestLevel);
}

} // namespace

std::string VersionsRoot()
{
    const char *data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/')
        return std::string(data) + "/lumenlog/versions";
    const char *home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.local/share/lumenlog/versions";
    return {};
}

std::string VersionFolderName(std::string_view journalRealPath)
{
    std::string_view tail = journalRealPath;
    while (tail.starts_with('/'))
        tail.remove_prefix(1);
    if (tail.size() > readablePart)
        tail = tail.substr(tail.size() - readablePart);
    std::string name;
    for (const char c : tail) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        name.push_back(plain ? c : '_');
    }
    // A leading dot would hide the folder.
    if (!name.empty() && name.front() == '.')
        name.front() = '_';
    char hash[24];
    std::snprintf(hash, sizeof hash, "-%016llx",
                  static_cast<unsigned long long>(Fnv1a(journalRealPath)));
    return name + hash;
}

std::optional<std::string> JournalRealPath(const std::string &journalPath)
{
    char resolved[PATH_MAX];
    if (::realpath(journalPath.c_str(), resolved))
        return std::string(resolved);
    if (errno != ENOENT)
        return std::nullopt;
    if (!::realpath(DirectoryOf(journalPath).c_str(), resolved))
        return std::nullopt;
    const std::string name = journalPath.substr(journalPath.rfind('/') + 1);
    return std::string(resolved) + (std::string_view(resolved) == "/" ? "" : "/") + name;
}

int KeptVersion::MonthIndex() const
{
    return std::atoi(stamp.substr(0, 4).c_str()) * 12 + std::atoi(stamp.substr(5, 2).c_str()) - 1;
}

std::vector<KeptVersion> ListVersions(const std::string &folder)
{
    std::vector<KeptVersion> versions;
    std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(folder.c_str()), &::closedir);
    while (const dirent *entry = dir ? ::readdir(dir.get()) : nullptr) {
        std::optional<KeptVersion> version = ParseVersionName(entry->d_name);
        struct stat info = {};
        if (!version ||
            ::fstatat(::dirfd(dir.get()), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode))
            continue;
        version->path = folder + "/" + entry->d_name;
        version->size = info.st_size;
        versions.push_back(std::move(*version));
    }
    std::sort(versions.begin(), versions.end(), [](const KeptVersion &a, const KeptVersion &b) {
        return std::tie(a.stamp, a.counter) > std::tie(b.stamp, b.counter);
    });
    return versions;
}

std::vector<bool> VersionsToKeep(std::span<const int> monthsNewestFirst)
{
    std::vector<bool> keep(monthsNewestFirst.size());
    std::set<int> monthsSeen;
    for (size_t i = 0; i < monthsNewestFirst.size(); ++i) {
        const int month = monthsNewestFirst[i];
        const bool recentMonth = monthsNewestFirst.front() - month < monthsKept;
        // Newest first: the first version met in a month is that month's newest.
        const bool newestOfMonth = recentMonth && monthsSeen.insert(month).second;
        keep[i] = i < newestKept || newestOfMonth;
    }
    return keep;
}

std::optional<size_t> CountVersionEntries(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info = {};
    Text bytes;
    bool read = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (read) {
        bytes.resize(size_t(info.st_size));
        read = bytes.empty() || ReadFully(fd, bytes.data(), bytes.size(), 0);
    }
    ::close(fd);
    return read ? std::optional(CountJournalRecords(bytes)) : std::nullopt;
}

Text DescribeVersion(const KeptVersion &version)
{
    const std::string &s = version.stamp;
    const std::optional<size_t> entries = CountVersionEntries(version.path);
    char line[96];
    std::snprintf(line, sizeof line, "%.10s %.2s:%.2s:%.2s  %12lld bytes  %8s entries  ", s.c_str(),
                  s.c_str() + 11, s.c_str() + 13, s.c_str() + 15,
                  static_cast<long long>(version.size),
                  entries ? std::to_string(*entries).c_str() : "?");
    return line + version.path + "\n";
}

KeepOutcome KeepVersion(int journal, const std::string &journalRealPath, const std::string &root,
                        std::time_t when)
{
    return KeepFile(journal, {}, journalRealPath, root, when);
}

KeepOutcome MoveIntoVersions(const std::string &path, const std::string &journalRealPath,
                             const std::string &root, std::time_t when)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Failure(errno, path);
    KeepOutcome outcome = KeepFile(fd, path, journalRealPath, root, when);
    ::close(fd);
    if (outcome.result != KeepOutcome::Failed && ::unlink(path.c_str()) != 0)
        return Failure(errno, path);
    SyncDirectory(DirectoryOf(path));
    return outcome;
}

VersionCopy::VersionCopy(std::string root) : m_root(std::move(root)) {}

VersionCopy::~VersionCopy()
{
    Wait();
}

bool VersionCopy::Start(const std::string &journalPath, std::time_t when)
{
    if (Running())
        return false;
    Wait();
    m_outcome.reset();
    m_done.store(true);
    if (m_root.empty()) {
        m_outcome = Failure(ENOENT, "$HOME");
        return false;
    }
    // Non-blocking, so that a FIFO put where the journal was cannot hang the open.
    const int fd = ::open(journalPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) // a journal not yet made has nothing to keep
            m_outcome = Failure(errno, journalPath);
        return false;
    }
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0) {
        if (!S_ISREG(info.st_mode)) // an empty journal has nothing to keep
            m_outcome = Failure(EINVAL, journalPath);
        ::close(fd);
        return false;
    }
    m_done.store(false);
    m_worker = std::thread([this, fd, journalPath, when] {
        YieldToOtherWork();
        const std::optional<std::string> real = JournalRealPath(journalPath);
        KeepOutcome outcome =
            real ? KeepVersion(fd, *real, m_root, when) : Failure(errno, journalPath);
        ::close(fd);
        m_outcome = std::move(outcome);
        m_done.store(true);
    });
    return true;
}

std::optional<KeepOutcome> VersionCopy::TakeOutcome()
{
    if (!m_done.load())
        return std::nullopt;
    Wait();
    return std::exchange(m_outcome, std::nullopt);
}

void VersionCopy::Wait()
{
    if (m_worker.joinable())
        m_worker.join();
}
