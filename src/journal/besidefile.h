#pragma once

#include <ctime>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

// Files kept beside the journal under names that say what they hold, for the cases where the
// journal itself must not or cannot take the list: the version another program left in the
// journal before the list replaces it, or the list of a session whose journal could not be
// read. The name is the journal's with a label and the local time put before its ending:
// "pw.dat" with the label "changed-outside" at 16:20:05 on 7 December 2026 gives
// "pw.changed-outside-2026-12-07-162005.dat". Such a file is always created new (O_EXCL) with
// owner-only permission: when the name is taken, "-2", "-3", ... is put before the ending, so
// an existing file is never overwritten.

// The local time `when` as it appears in these names: "2026-12-07-162005".
std::string TimeStamp(std::time_t when);

// The name tried at `attempt` (1 for the plain one), in the folder of `journalPath`.
std::string NameBeside(std::string_view journalPath, std::string_view label, std::time_t when,
                       int attempt = 1);

// Creates a new, empty file beside `journalPath`; its path, or nothing when no file could be
// made in that folder.
std::optional<std::string> CreateFileBeside(std::string_view journalPath, std::string_view label,
                                            std::time_t when = std::time(nullptr));

// Copies the regular file `source` byte for byte into a new file beside `journalPath` and
// flushes it to the disk; its path, or nothing when the copy could not be made in full (no
// partial copy is left behind).
std::optional<std::string> CopyFileBeside(const std::string &source, std::string_view journalPath,
                                          std::string_view label,
                                          std::time_t when = std::time(nullptr));

// A file already kept beside `journalPath` under one of `labels` whose bytes equal those of the
// file `source`, so that the same version is never kept twice; nothing when there is none.
std::optional<std::string> FindCopyBeside(const std::string &source, std::string_view journalPath,
                                          std::initializer_list<std::string_view> labels);
