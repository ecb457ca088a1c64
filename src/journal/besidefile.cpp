// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/besidefile.h"

#include "common/posixfile.h"
#include "journal/contenthash.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <initializer_list>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int maxAttempts = 1000;

// Whether `name` is one NameBeside gives for `base` and `label` at some time and attempt.
bool IsNameBeside(std::string_view name, std::string_view base, std::string_view label)
{
    const auto [stem, ending] = StemAndEnding(base);
    const std::string start = std::string(stem) + "." + std::string(label) + "-";
    if (name.size() <= start.size() + ending.size() || !name.starts_with(start) ||
        !name.ends_with(ending))
        return false;
    const std::string_view stamp =
        name.substr(start.size(), name.size() - start.size() - ending.size());
    return std::all_of(stamp.begin(), stamp.end(),
                       [](char c) { return c == '-' || (c >= '0' && c <= '9'); });
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

// A file already kept beside `journalPath` under one of `labels` whose bytes equal those of the
// file `source`; nothing when there is none.
std::optional<std::string> FindCopyBeside(const std::string &source, std::string_view journalPath,
                                          std::initializer_list<std::string_view> labels)
{
    struct stat original = {};
    if (::stat(source.c_str(), &original) != 0)
        return std::nullopt;
    const std::string folder(FolderPrefixOf(journalPath));
    const std::string_view base = BaseNameOf(journalPath);
    std::optional<std::uint64_t> sourceHash; // read only once a kept file of its size turns up
    for (const std::string &name : FolderEntries(DirectoryOf(journalPath))) {
        if (std::none_of(labels.begin(), labels.end(),
                         [&](std::string_view label) { return IsNameBeside(name, base, label); }))
            continue;
        const std::string path = folder + name;
        struct stat kept = {};
        if (::lstat(path.c_str(), &kept) != 0 || !S_ISREG(kept.st_mode) ||
            kept.st_size != original.st_size)
            continue;
        if (!sourceHash)
            sourceHash = HashOfFile(source);
        if (sourceHash && sourceHash == HashOfFile(path))
            return path;
    }
    return std::nullopt;
}

} // namespace

std::string TimeStamp(std::time_t when)
{
    std::tm local{};
    char stamp[32] = "";
    if (::localtime_r(&when, &local))
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d-%H%M%S", &local);
    return stamp;
}

std::pair<std::string_view, std::string_view> StemAndEnding(std::string_view name)
{
    const size_t dot = name.rfind('.');
    const size_t stemLength = dot == std::string_view::npos || dot == 0 ? name.size() : dot;
    return {name.substr(0, stemLength), name.substr(stemLength)};
}

std::string NameBeside(std::string_view journalPath, std::string_view label, std::time_t when,
                       int attempt)
{
    const std::string_view folder = FolderPrefixOf(journalPath);
    const auto [stem, ending] = StemAndEnding(BaseNameOf(journalPath));
    std::string name(folder);
    name.append(stem).append(".").append(label).append("-");
    name.append(TimeStamp(when));
    if (attempt > 1)
        name.append("-").append(std::to_string(attempt));
    name.append(ending);
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
    const int from = OpenRegularFile(source);
    if (from < 0)
        return std::nullopt;
    std::string path;
    const int to = OpenNewBeside(journalPath, label, when, path);
    const auto write = [to](std::string_view bytes) { return WriteAll(to, bytes); };
    bool copied = to >= 0 && ReadAll(from, write) && ::fsync(to) == 0;
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

std::optional<std::string> KeepVersionBeside(const std::string &source,
                                             std::string_view journalPath, std::string_view label)
{
    std::optional<std::string> kept =
        FindCopyBeside(source, journalPath, {originalLabel, outsideLabel});
    return kept ? kept : CopyFileBeside(source, journalPath, label);
}
