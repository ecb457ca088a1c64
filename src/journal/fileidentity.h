// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <sys/stat.h>

// What the program last saw of a file on disk: enough to notice that another program may have
// written, truncated or replaced it since. Another inode (an editor or a sync tool that renames a
// new file into place), another size, another modification time or another change time (to the
// nanosecond) each count; the change time also moves when a program puts the modification time
// back after writing, as `cp -p` and sync tools do.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    friend bool operator==(const FileIdentity &a, const FileIdentity &b)
    {
        const auto same = [](const timespec &x, const timespec &y) {
            return x.tv_sec == y.tv_sec && x.tv_nsec == y.tv_nsec;
        };
        return a.device == b.device && a.inode == b.inode && a.size == b.size &&
               same(a.modified, b.modified) && same(a.changed, b.changed);
    }
};

// A file as the program last read or wrote it. The identity moves also when only the times or
// the links changed; the hash of its bytes (see journal/contenthash.h) then tells whether the
// content did.
struct FileSeen
{
    FileIdentity identity;
    std::uint64_t hash = 0;
};

FileIdentity IdentityOf(const struct stat &info);
// The identity of the file `path` leads to (symbolic links followed); nothing when there is no
// such file or it cannot be examined.
std::optional<FileIdentity> IdentityOf(const std::string &path);
