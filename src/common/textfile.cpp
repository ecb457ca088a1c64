#include "common/textfile.h"

#include "common/posixfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t createdFileMode = 0600; // owner read/write only

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

int OpenFlags(TextFile::Mode mode)
{
    switch (mode) {
    case TextFile::Mode::Read:
        return O_RDONLY | O_CREAT;
    case TextFile::Mode::WriteTruncate:
        return O_WRONLY | O_CREAT | O_TRUNC;
    case TextFile::Mode::WriteAppend:
        return O_WRONLY | O_CREAT | O_APPEND;
    }
    return O_RDONLY;
}

// Only a regular file is read: a FIFO would block, and a device might never end.
bool IsRegularOrMissing(const std::string &path)
{
    struct stat status = {};
    if (::stat(path.c_str(), &status) == 0)
        return S_ISREG(status.st_mode);
    return errno == ENOENT;
}

// What was opened is read only when it is a regular file after all; it is then switched back
// to blocking input and output.
bool IsUsable(int fd, TextFile::Mode mode)
{
    struct stat status = {};
    if (mode == TextFile::Mode::Read && (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)))
        return false;
    const int flags = ::fcntl(fd, F_GETFL);
    return flags != -1 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
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

TextFile::~TextFile()
{
    Close();
}

bool TextFile::Open(std::string_view name, Mode mode)
{
    if (IsOpen())
        Close();
    m_mode = mode;
    m_writeFailed = false;
    const std::string path = ResolveFileName(name);
    if (mode == Mode::Read && !IsRegularOrMissing(path))
        return false;
    // Never blocking, so that not even a FIFO put in the file's place meanwhile, or one
    // without a reader named as the output, can hold the program up in the open.
    do {
        m_fd = ::open(path.c_str(), OpenFlags(mode) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK,
                      createdFileMode);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0)
        return false;
    if (!IsUsable(m_fd, mode)) {
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    if (mode != Mode::Read) {
        m_output.emplace([this](std::string_view bytes) {
            m_writeFailed = !WriteAll(m_fd, bytes);
            return !m_writeFailed;
        });
    }
    return true;
}

bool ReadWholeFile(std::string_view name, Text &out, std::optional<struct stat> *opened)
{
    TextFile file;
    return file.Open(name, TextFile::Mode::Read) && file.ReadRest(out, opened);
}

bool TextFile::ReadRest(Text &out, std::optional<struct stat> *opened) const
{
    struct stat status = {};
    if (::fstat(m_fd, &status) == 0) {
        if (opened)
            *opened = status;
        out.reserve(out.size() + static_cast<std::size_t>(status.st_size));
    }
    return ReadAll(m_fd, [&out](std::string_view bytes) {
        out.append(bytes);
        return true;
    });
}

bool TextFile::Write(std::string_view bytes)
{
    if (!m_output)
        return false;
    AppendInTextMode(*m_output, bytes);
    return !m_writeFailed;
}

bool TextFile::Close()
{
    if (m_fd < 0)
        return false;
    const bool written = !m_output || m_output->Finish();
    m_output.reset();
    // Linux releases the descriptor even when close() reports an error, so it is never retried.
    const bool closed = ::close(m_fd) == 0 || m_mode == Mode::Read;
    m_fd = -1;
    return written && closed;
}
