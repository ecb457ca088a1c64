#pragma once

#include "common/byteoutput.h"
#include "common/text.h"

#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>

// Finds `name` in the working directory: an exact match first, otherwise the one entry whose
// name equals it without regard to ASCII letter case; when there is none, `name` itself, so
// that a new file gets exactly the spelling the program asks for. With a '/' in `name` only
// the last component is looked up, in the folder the rest names.
std::string ResolveFileName(std::string_view name);

// The byte that ends a text-mode file: a text-mode read delivers nothing after it.
inline constexpr char endOfFileMark = '\x1A';

// Turns `bytes`, a file's content as stored, into what a text-mode read of it delivers:
// everything before the first 0x1A, each CR LF as LF.
void ToTextModeText(Text &bytes);

// Appends the whole file `name` (resolved with ResolveFileName) to `out` as it is stored, CR LF
// pairs and 0x1A bytes included; ToTextModeText then gives what a text-mode read delivers. The
// file is opened as TextFile opens it for reading: created empty when missing, and only a
// regular file is read. `opened`, when given, receives the status of the file once it is open,
// before anything is read. False when it cannot be opened or read in full; `out` then holds
// what was read before the failure.
bool ReadWholeFile(std::string_view name, Text &out, std::optional<struct stat> *opened = nullptr);

// A text-mode file, opened, used and closed within one operation.
// Writing stores each LF as CR LF. Files the program creates get owner-only read/write
// permission.
class TextFile
{
public:
    // No open ever waits: a FIFO without a reader, opened for writing, fails at once.
    enum class Mode {
        Read,          // created empty when missing; an existing file is never truncated, and
                       // anything but a regular file (folder, FIFO, device) fails to open
        WriteTruncate, // created when missing, emptied otherwise; untouched when the open fails
        WriteAppend,   // created when missing, positioned at its end once
    };

    TextFile() = default;
    ~TextFile();
    TextFile(const TextFile &) = delete;
    TextFile &operator=(const TextFile &) = delete;

    // `name` is resolved with ResolveFileName. An open file is closed first.
    bool Open(std::string_view name, Mode mode);
    bool IsOpen() const { return m_fd >= 0; }

    // Buffered; false once any write has failed (disk full and the like).
    bool Write(std::string_view bytes);
    // The same for bytes already in the form the file stores them, each LF as CR LF.
    bool WriteStored(std::string_view bytes)
    {
        if (!m_output)
            return false;
        m_output->Append(bytes);
        return !m_writeFailed;
    }

    // Flushes and closes; false when the open, a write, or the flush failed. The file is
    // released either way.
    bool Close();

private:
    friend bool ReadWholeFile(std::string_view name, Text &out, std::optional<struct stat> *opened);

    bool ReadRest(Text &out, std::optional<struct stat> *opened) const;

    int m_fd = -1;
    Mode m_mode = Mode::Read;
    // While the file is open for writing: what is written, gathered and written to the file a
    // buffer-full at a time. After a failure nothing more is written, so the file holds an
    // unbroken prefix of the text.
    std::optional<ByteOutput> m_output;
    bool m_writeFailed = false;
};
