// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/rowstore.h"
#include "common/text.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

// Merging two versions of one journal record by record, against the version both grew from.
//
// A record is a row's date, title and entry, byte for byte; the journals are multisets of
// records (the same record may stand in a list several times, and each copy counts). Three
// lists take part: the base, "ours" (the list in the window) and "theirs" (a copy another
// computer wrote). Against the base, each side has removed some copies and added others.
//
// What the merge holds is decided by counts alone. For a record held b times by the base, o
// times by ours and t times by theirs, the merge holds it
//   o             when theirs left its count alone (t = b);
//   max(o, t)     when both sides added copies, so that a copy both added is there once;
//   min(o, t)     when both sides removed copies, so that a copy both removed is gone once;
//   o + t - b     otherwise: what theirs added is added, and what theirs removed is removed
//                 from the copies ours left alone.
// So it always holds at least o - max(0, b - t) and t - max(0, b - o) copies (every copy of
// either side, except a copy the other side removed and this one left alone) and at most
// max(o, t): nothing is lost that the rules do not remove, and nothing is made up. An edit is a
// removal and an addition, so a record edited on both sides keeps both new versions, and a
// record removed on one side and edited on the other keeps its edited version.
//
// Edits are paired, for placing records and for telling what happened, never for deciding what
// is kept: on each side, a removed copy and an added copy are one edit when they share the
// date and the title; of the copies left unpaired, then, when they share the date and the
// entry; then the title and the entry (one text changed). Several candidates pair in order:
// removed copies in base order, added copies in the side's order. The added copies of a side
// are its topmost copies of a record beyond the base's count, as Add puts new rows at the top.
//
// Where the merged records go: ours' rows keep their order. A record theirs edited and ours
// left alone takes the edited record's place (a change); a record both edited gets theirs'
// version right below ours' (changed on both computers, both kept). A copy theirs removed and
// ours left alone is removed (ours' bottommost copies of the record first). Every other record
// theirs added, or edited where ours removed it, goes to the top, in theirs' order, as Add
// would put it there.

// What a merge does to ours, as the box that offers it tells it.
struct MergeSummary
{
    size_t added = 0;         // records theirs added
    size_t changed = 0;       // records theirs edited and ours left alone: edited in place
    size_t removed = 0;       // records theirs removed and ours left alone
    size_t changedOnBoth = 0; // records both changed (edited, or removed on one side and edited
                              // on the other): every version kept

    bool Empty() const { return added + changed + removed + changedOnBoth == 0; }
    // For example "3 entries to add, 1 to remove, 1 changed on both computers: both kept";
    // "nothing to change" when empty.
    Text Describe() const;
    MergeSummary &operator+=(const MergeSummary &other);
};

struct MergeResult
{
    RowStore rows; // top row first
    MergeSummary summary;
};

// Merges `theirs` into `ours`, both grown from `base` (top rows first, as the list shows them).
// Linear in the rows and their bytes: records are hashed, never compared pairwise.
MergeResult MergeRecords(const RowStore &base, const RowStore &ours, const RowStore &theirs);

// One copy to merge, and the base it grew from (see FindMergeBase).
struct CopyWithBase
{
    RowStore copy;
    RowStore base;
};

// Merges every copy into `ours`, one after the other. The copies are taken in the order of
// their records (then of their bases), not in the order given, so that the result is the same
// whatever order they were found in; the summary adds up those of the steps.
MergeResult MergeCopies(const RowStore &ours, std::vector<CopyWithBase> copies);

// The records of the journal's kept version `index` (0 the newest, counting back in time);
// nothing when that version cannot be read.
using LoadVersion = std::function<std::optional<RowStore>(size_t index)>;

struct MergeBase
{
    RowStore rows;                 // empty when no kept version qualifies
    std::optional<size_t> version; // the index of the version taken
};

// The base for merging `theirs` into the list: the newest of the journal's kept versions
// (`versionCount` of them, newest first) that both sides grew from. Neither side carries its
// history, but the versions are this computer's history of the journal, so ours grew from each
// of them, and theirs from each one kept before the two computers parted. Taking a version
// kept after they parted would remove what this computer added since as if theirs had removed
// it; taking one kept too early, or none, only keeps records theirs removed. So, newest first,
// a version is the base when:
//  - the records it added over the next older readable version (as a multiset) are not none,
//    and theirs holds all of them: then the sync carried them to theirs after they were
//    written, and anything written on this computer before the version was kept went with
//    them, or else it is among those additions and theirs lacks it;
//  - or it is the oldest readable version, and theirs holds at least one of its records (a
//    copy sharing no record with it, such as an emptied or unrelated file, did not grow from
//    it). Nothing tells whether the oldest was kept before the computers parted; when it was
//    not (they parted before any version was kept), records added here since count as
//    removed by theirs, and the count of removals the merge offers is the one warning.
// Otherwise the base is empty, which never removes a record. At most two versions are loaded at
// a time.
MergeBase FindMergeBase(const RowStore &theirs, size_t versionCount, const LoadVersion &load);
