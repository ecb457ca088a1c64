// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/rowstore.h"
#include "common/text.h"
#include "journal/recordmerge.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Other versions of the journal that wait beside it to be merged: those a sync tool kept when
// both computers had changed the journal, and those this program kept itself. For "pw.dat":
//   Syncthing   "pw.sync-conflict-20261210-101010-ABCDEFG.dat" (date, time, device)
//   Nextcloud   "pw (conflicted copy 2026-12-10 101010).dat"
//   Dropbox     "pw (Laptop's conflicted copy 2026-12-10).dat", or with " (2)" after the date
//   this one    "pw.changed-outside-<anything>.dat", "pw.saved-while-unreadable-<anything>.dat"
//               (see journal/besidefile.h)
// Names match without regard to ASCII letter case, the journal's own part included. The
// journal's name splits into its stem and ending at its last dot, as for the files beside it.
enum class CopyMaker { Syncthing, Nextcloud, Dropbox, ChangedOutside, SavedWhileUnreadable };

// Who made the file `name` (no folder) as a copy of the journal named `journalName`; nothing
// when it is no such copy.
std::optional<CopyMaker> CopyMakerOf(std::string_view name, std::string_view journalName);

struct CopyBeside
{
    std::string path; // the journal's folder as `journalPath` gives it, then the name
    CopyMaker maker = CopyMaker::Syncthing;
};

// The copies in the folder of `journalPath`, in byte order of their names, so that every run
// finds them in the same order. Nothing when the folder cannot be read.
std::vector<CopyBeside> FindCopiesBeside(std::string_view journalPath);

// What a copy holds. A copy is not a journal when loading it would leave part of it out (see
// journal/loadcheck.h: lines of no record, text after the last line end or after a 0x1A; a file
// with text but no record always has such a part), or when its records would take more memory
// than the load allows a file of its size. Merging such a file would drop what the load leaves
// out, or read a file cut short by a sync still under way as a journal whose records were
// removed. An empty file is a journal without records.
enum class CopyState {
    Journal,
    NotAJournal,
    Unreadable, // missing, not a regular file (a folder, a FIFO), no permission, a read error
};

struct CopyRecords
{
    CopyState state = CopyState::Unreadable;
    RowStore rows; // top row first; empty unless a journal
};

// Reads the copy at `path`. Never waits: a FIFO is not read.
CopyRecords ReadCopy(const std::string &path);
// The same for a copy's bytes as stored, which it takes over.
CopyRecords CopyFromBytes(Text &&bytes);

struct CopyVerdict
{
    std::string path;
    CopyState state = CopyState::Journal;
};

// What merging copies into the list would give.
struct CopyMergePlan
{
    MergeResult result;                 // the list with every journal among the copies merged
    std::vector<std::string> merged;    // those copies, in the order of `copyPaths`
    std::vector<CopyVerdict> leftAlone; // the others, each with why, in the same order
};

// Reads each copy, finds its base among the journal's kept versions (FindMergeBase) and merges
// them all into `ours` (MergeCopies): the same copies give the same plan in any order. Copies
// that are not journals, or cannot be read, are left out of the merge.
CopyMergePlan PlanCopyMerge(const RowStore &ours, const std::vector<std::string> &copyPaths,
                            size_t versionCount, const LoadVersion &load);
