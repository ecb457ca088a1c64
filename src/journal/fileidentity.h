#pragma once

#include <optional>
#include <string>
#include <sys/stat.h>

// What the program last saw of a file on disk: enough to notice that another program wrote,
// truncated or replaced it since. Another inode (an editor or a sync tool that renames a new
// file into place), another size or another modification time (to the nanosecond) each count as
// a change.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    friend bool operator==(const FileIdentity &a, const FileIdentity &b)
    {
        return a.device == b.device && a.inode == b.inode && a.size == b.size &&
               a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec;
    }
};

FileIdentity IdentityOf(const struct stat &info);
// The identity of the file `path` leads to (symbolic links followed); nothing when there is no
// such file or it cannot be examined.
std::optional<FileIdentity> IdentityOf(const std::string &path);
