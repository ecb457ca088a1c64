// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

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

// A file name split before its ending: "pw.dat" gives "pw" and ".dat". The ending starts at the
// last dot that does not begin the name.
std::pair<std::string_view, std::string_view> StemAndEnding(std::string_view name);

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

// The labels of the files kept beside the journal: the journal as it was when a load left part
// of it out, a version another program wrote, and the list of a session whose journal could not
// be read.
inline constexpr std::string_view originalLabel = "original";
inline constexpr std::string_view outsideLabel = "changed-outside";
inline constexpr std::string_view asideLabel = "saved-while-unreadable";

// Keeps the file `source` beside `journalPath` under `label` (see CopyFileBeside), unless a
// version kept there already (under originalLabel or outsideLabel) holds the same bytes, so that
// the same version is never kept twice; the path of the file that holds them.
std::optional<std::string> KeepVersionBeside(const std::string &source,
                                             std::string_view journalPath, std::string_view label);
