// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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
// pairs and 0x1A bytes included; ToTextModeText then gives what a text-mode read delivers. A
// missing file is created empty, with owner-only read/write permission; only a regular file is
// read (a folder, a FIFO or a device fails at once). `opened`, when given, receives the status
// of the file once it is open, before anything is read. False when it cannot be opened or read
// in full; `out` then holds what was read before the failure.
bool ReadWholeFile(std::string_view name, Text &out, std::optional<struct stat> *opened = nullptr);
