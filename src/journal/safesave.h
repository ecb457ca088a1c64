#pragma once

#include <string_view>
#include <sys/types.h>

// The system calls a safe save makes once its temporary file exists. The defaults call the
// system; tests override them to make one of them fail.
class SaveCalls
{
public:
    virtual ~SaveCalls() = default;
    virtual ssize_t Write(int fd, const void *data, size_t size);
    virtual int Sync(int fd);
    virtual int Rename(const char *from, const char *to);
};

// Replaces the file `name` in the working directory (resolved with ResolveFileName) by `text`,
// written in text mode (each LF stored as CR LF), so that the file is never left damaged or
// emptied: the text goes to a temporary file in the same folder, is flushed to the disk, and
// the temporary file is then renamed over the file. An existing file keeps its name and its
// permission bits; a symbolic link stays and the file it leads to is replaced. A new file gets
// owner-only read/write permission. Only a missing file or a regular one that may be written
// is replaced.
// False on any failure; the temporary file is then gone and the file is as it was.
bool SaveTextFileSafely(std::string_view name, std::string_view text);
bool SaveTextFileSafely(std::string_view name, std::string_view text, SaveCalls &calls);
