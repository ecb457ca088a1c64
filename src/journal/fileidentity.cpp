// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/fileidentity.h"

FileIdentity IdentityOf(const struct stat &info)
{
    return FileIdentity{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

std::optional<FileIdentity> IdentityOf(const std::string &path)
{
    struct stat info = {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return IdentityOf(info);
}
