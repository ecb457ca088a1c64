#pragma once

#include "common/text.h"

#include <cstdio>
#include <string>
#include <string_view>

// Finds `name` in the working directory: an exact match first, otherwise the one entry whose
// name equals it without regard to ASCII letter case; when there is none, `name` itself, so
// that a new file gets exactly the spelling the program asks for.
std::string ResolveFileName(std::string_view name);

// A text-mode file, opened, used and closed within one operation.
// Writing stores each LF as CR LF. Reading delivers CR LF as LF, a lone CR unchanged, and ends
// at the byte 0x1A. Files the program creates get owner-only read/write permission.
class TextFile
{
public:
    enum class Mode {
        Read,          // created empty when missing; an existing file is never truncated
        WriteTruncate, // created when missing, emptied otherwise; untouched when the open fails
        WriteAppend,   // created when missing, positioned at its end once
    };

    TextFile() = default;
    ~TextFile();
    TextFile(const TextFile &) = delete;
    TextFile &operator=(const TextFile &) = delete;

    // `name` is resolved with ResolveFileName.
    bool Open(std::string_view name, Mode mode);
    bool IsOpen() const;

    // The next byte, or -1 at the end of the file, at 0x1A, or after a read error.
    int ReadByte();
    // Appends everything up to the end of the file to `out`; false on a read error.
    bool ReadAll(Text &out);

    // Buffered; false once any write has failed (disk full and the like).
    bool Write(std::string_view bytes);

    // Flushes and closes; false when the open, a write, or the flush failed.
    bool Close();

private:
    // implementation detail, chosen by the implementer
};
