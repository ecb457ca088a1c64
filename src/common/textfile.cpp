// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/textfile.h"

#include "common/posixfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

bool EntryExists(const std::string &path)
{
    struct stat status = {};
    return ::lstat(path.c_str(), &status) == 0;
}

// The entry of `folder` equal to `base` without regard to ASCII case. Of several such entries
// the one first in byte order is taken, so the choice does not depend on the directory order.
std::string FindIgnoringCase(const std::string &folder, std::string_view base)
{
    std::string best;
    for (const std::string &entryName : FolderEntries(folder)) {
        if (EqualIgnoringAsciiCase(entryName, base) && (best.empty() || entryName < best))
            best = entryName;
    }
    return best;
}

// Only a regular file is read: a FIFO would block, and a device might never end.
bool IsRegularOrMissing(const std::string &path)
{
    struct stat status = {};
    if (::stat(path.c_str(), &status) == 0)
        return S_ISREG(status.st_mode);
    return errno == ENOENT;
}

// Collapses each CR LF in bytes[0..size) to LF in place; returns the new size.
std::size_t CollapseCrLf(char *bytes, std::size_t size)
{
    std::size_t from = 0;
    std::size_t to = 0;
    while (from < size) {
        const void *cr = std::memchr(bytes + from, '\r', size - from);
        const std::size_t segmentEnd = cr ? static_cast<const char *>(cr) - bytes : size;
        if (to != from)
            std::memmove(bytes + to, bytes + from, segmentEnd - from);
        to += segmentEnd - from;
        from = segmentEnd;
        if (!cr)
            break;
        const bool beforeLf = from + 1 < size && bytes[from + 1] == '\n';
        if (!beforeLf)
            bytes[to++] = '\r';
        ++from;
    }
    return to;
}

} // namespace

std::string ResolveFileName(std::string_view name)
{
    std::string given(name);
    if (given.empty() || EntryExists(given))
        return given;
    const std::string_view base = BaseNameOf(name);
    if (base.empty())
        return given;
    const std::string match = FindIgnoringCase(DirectoryOf(name), base);
    return match.empty() ? given : std::string(FolderPrefixOf(name)) + match;
}

void ToTextModeText(Text &bytes)
{
    const std::size_t mark = bytes.find(endOfFileMark);
    if (mark != Text::npos)
        bytes.resize(mark);
    bytes.resize(CollapseCrLf(bytes.data(), bytes.size()));
}

bool ReadWholeFile(std::string_view name, Text &out, std::optional<struct stat> *opened)
{
    const std::string path = ResolveFileName(name);
    const int fd = IsRegularOrMissing(path) ? OpenRegularFile(path, O_CREAT) : -1;
    if (fd < 0)
        return false;
    struct stat status = {};
    if (::fstat(fd, &status) == 0) {
        if (opened)
            *opened = status;
        out.reserve(out.size() + static_cast<std::size_t>(status.st_size));
    }
    const bool read = ReadAll(fd, [&out](std::string_view bytes) {
        out.append(bytes);
        return true;
    });
    ::close(fd);
    return read;
}
