// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/rowstore.h"
#include "journal/conflictcopies.h"
#include "journal/recordmerge.h"
#include "journal/versions.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

// Merging the other versions of a journal that wait beside it (journal/conflictcopies.h) into
// the journal, with its kept versions (journal/versions.h) as the bases, and putting each merged
// copy away among those versions, so that it no longer waits and is never lost.

// The kept versions of the journal at `journalPath` below `root`, newest first; none when the
// journal's real path cannot be found.
struct JournalVersions
{
    std::string journalRealPath; // empty when unknown
    std::vector<KeptVersion> versions;

    // Loads version `index` as a merge base: nothing when it is not a journal.
    LoadVersion Loader() const;
};
JournalVersions FindJournalVersions(const std::string &journalPath,
                                    const std::string &root = VersionsRoot());

// PlanCopyMerge with the bases taken from the journal's kept versions.
CopyMergePlan PlanJournalMerge(const RowStore &ours, const std::vector<std::string> &copyPaths,
                               const JournalVersions &versions);

// The copies beside the journal that a window has offered to merge: each is offered once a run,
// whether it was merged or not.
class MergeOffers
{
public:
    // The copies beside `journalPath` (FindCopiesBeside) not offered before; offered from now on.
    std::vector<CopyBeside> TakeNew(const std::string &journalPath);

private:
    std::set<std::string> m_offered;
};

inline constexpr const char *mergeOfferCaption = "Merge Other Versions";

// The text of the box that offers `plan`, the merge of `copies` into the list of the journal
// named `journalName`: each copy by name and maker, what merging those that are journals would
// do and where they go then, and each copy left alone, with why.
Text MergeOfferText(const std::vector<CopyBeside> &copies, const CopyMergePlan &plan,
                    std::string_view journalName);

// What merging one copy into the journal on disk did (MergeCopyIntoJournal).
struct FileMergeOutcome
{
    enum Result {
        Merged,          // the journal holds the merge and the copy is among the versions
        CopyNotAJournal, // nothing touched
        CopyUnreadable,  // nothing touched; `error` says why
        SameFile,        // the copy is the journal itself: nothing touched
        JournalOpen,     // a window has the journal open: nothing touched
        JournalUnusable, // the journal cannot be read (`error`), or holds text the list lacks
        JournalChanged,  // another program wrote the journal during the merge: not replaced
        SaveFailed,      // the journal could not be written (`error`): it is as it was
        CopyNotMoved,    // the journal holds the merge; the copy could not be moved (`error`)
    };
    Result result = CopyUnreadable;
    int error = 0;
    std::string journalPath; // the journal's real path, once known
    MergeSummary summary;
    KeepOutcome keptJournal; // the journal as it was, kept among its versions before replaced
    KeepOutcome keptCopy;    // where the copy went
};

// Merges the copy at `copyPath` into the journal `journalName` in the working directory, as the
// window would, without one: the copy is read first, and touches nothing when it is no journal;
// the journal is taken only when no window holds its lock, and is read, merged, kept as a
// version (when it changes) and replaced with the safe save. A version that cannot be kept does
// not stop the merge. The copy then moves among the journal's versions below `root`.
FileMergeOutcome MergeCopyIntoJournal(const std::string &copyPath,
                                      std::string_view journalName = "pw.dat",
                                      const std::string &root = VersionsRoot());
