// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/journalmerge.h"

#include "common/textfile.h"
#include "journal/contenthash.h"
#include "journal/fileidentity.h"
#include "journal/journalformat.h"
#include "journal/journallock.h"
#include "journal/safesave.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

bool SameFile(const std::optional<FileIdentity> &a, const std::optional<FileIdentity> &b)
{
    return a && b && a->device == b->device && a->inode == b->inode;
}

// Keeps the journal as it is now among its versions, as a session does before its first save.
KeepOutcome KeepJournalVersion(const std::string &journal, const JournalVersions &versions,
                               const std::string &root)
{
    KeepOutcome outcome;
    const int fd = versions.journalRealPath.empty()
                       ? -1
                       : ::open(journal.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        outcome.error = versions.journalRealPath.empty() ? ENOENT : errno;
        return outcome;
    }
    struct stat info = {};
    // An empty journal has nothing to keep.
    if (::fstat(fd, &info) == 0 && info.st_size > 0)
        outcome = KeepVersion(fd, versions.journalRealPath, root, std::time(nullptr));
    else
        outcome.result = KeepOutcome::AlreadyKept;
    ::close(fd);
    return outcome;
}

std::string_view NameOf(std::string_view path)
{
    return path.substr(path.rfind('/') + 1);
}

Text MakerText(CopyMaker maker, std::string_view journalName)
{
    switch (maker) {
    case CopyMaker::Syncthing:
        return "Syncthing";
    case CopyMaker::Nextcloud:
        return "Nextcloud";
    case CopyMaker::Dropbox:
        return "Dropbox";
    case CopyMaker::ChangedOutside:
        return "kept here when another program changed " + Text(journalName);
    case CopyMaker::SavedWhileUnreadable:
        return "saved here while " + Text(journalName) + " could not be read";
    }
    return {};
}

} // namespace

std::vector<CopyBeside> MergeOffers::TakeNew(const std::string &journalPath)
{
    std::vector<CopyBeside> copies = FindCopiesBeside(journalPath);
    std::erase_if(copies,
                  [this](const CopyBeside &copy) { return !m_offered.insert(copy.path).second; });
    return copies;
}

Text MergeOfferText(const std::vector<CopyBeside> &copies, const CopyMergePlan &plan,
                    std::string_view journalName)
{
    Text text;
    if (!plan.merged.empty()) {
        const bool one = plan.merged.size() == 1;
        text = Text(journalName) + (one ? " has another version" : " has other versions") +
               " beside it, written on another computer or by another program:\r\n";
        for (const CopyBeside &copy : copies) {
            if (std::ranges::find(plan.merged, copy.path) != plan.merged.end())
                text +=
                    Text(NameOf(copy.path)) + " (" + MakerText(copy.maker, journalName) + ")\r\n";
        }
        text += "\r\nMerging " + Text(one ? "it" : "them") +
                " into this list: " + plan.result.summary.Describe() + ". " +
                (one ? "It is" : "They are") + " then kept with the journal's earlier versions.";
    }
    for (const CopyVerdict &left : plan.leftAlone) {
        text += (text.empty() ? "" : "\r\n\r\n") + Text(NameOf(left.path)) +
                (left.state == CopyState::NotAJournal ? " is not a journal" : " cannot be read") +
                ", so it is left as it is.";
    }
    return text;
}

LoadVersion JournalVersions::Loader() const
{
    return [this](size_t index) -> std::optional<RowStore> {
        CopyRecords version = ReadCopy(versions.at(index).path);
        if (version.state != CopyState::Journal)
            return std::nullopt;
        return std::move(version.rows);
    };
}

JournalVersions FindJournalVersions(const std::string &journalPath, const std::string &root)
{
    JournalVersions found;
    const std::optional<std::string> real = JournalRealPath(journalPath);
    if (!real || root.empty())
        return found;
    found.journalRealPath = *real;
    found.versions = ListVersions(root + "/" + VersionFolderName(*real));
    return found;
}

CopyMergePlan PlanJournalMerge(const RowStore &ours, const std::vector<std::string> &copyPaths,
                               const JournalVersions &versions)
{
    return PlanCopyMerge(ours, copyPaths, versions.versions.size(), versions.Loader());
}

FileMergeOutcome MergeCopyIntoJournal(const std::string &copyPath, std::string_view journalName,
                                      const std::string &root)
{
    FileMergeOutcome outcome;
    errno = 0;
    CopyRecords copy = ReadCopy(copyPath);
    if (copy.state != CopyState::Journal) {
        outcome.result = copy.state == CopyState::NotAJournal ? FileMergeOutcome::CopyNotAJournal
                                                              : FileMergeOutcome::CopyUnreadable;
        outcome.error = errno != 0 ? errno : EINVAL;
        return outcome;
    }
    JournalLock lock;
    if (lock.Acquire(journalName) == JournalLock::Result::HeldElsewhere) {
        outcome.result = FileMergeOutcome::JournalOpen;
        return outcome;
    }
    const std::string journal = ResolveFileName(journalName);
    const JournalVersions versions = FindJournalVersions(journal, root);
    outcome.journalPath = versions.journalRealPath.empty() ? journal : versions.journalRealPath;
    if (SameFile(IdentityOf(copyPath), IdentityOf(journal))) {
        outcome.result = FileMergeOutcome::SameFile;
        return outcome;
    }
    Text bytes;
    errno = 0;
    const bool read = ReadWholeFile(journal, bytes);
    ContentHash hash;
    hash.Add(bytes);
    CopyRecords ours = CopyFromBytes(std::move(bytes));
    if (!read || ours.state != CopyState::Journal) {
        outcome.result = FileMergeOutcome::JournalUnusable;
        outcome.error = read ? 0 : errno;
        return outcome;
    }

    const MergeBase base = FindMergeBase(copy.rows, versions.versions.size(), versions.Loader());
    const MergeResult merged = MergeRecords(base.rows, ours.rows, copy.rows);
    outcome.summary = merged.summary;
    if (!merged.summary.Empty()) {
        outcome.keptJournal = KeepJournalVersion(journal, versions, root);
        // The lock keeps other windows out, not a sync tool: a journal it rewrote meanwhile
        // is not replaced.
        bool changed = false;
        const BeforeReplace unchanged = [&](const std::string &target, bool) {
            changed = HashOfFile(target) != hash.Value();
            return !changed;
        };
        SaveCalls calls;
        errno = 0;
        if (!SaveFileSafely(
                journal, [&merged](ByteOutput &out) { WriteJournalFile(merged.rows, out); }, calls,
                nullptr, &lock, unchanged)) {
            outcome.result =
                changed ? FileMergeOutcome::JournalChanged : FileMergeOutcome::SaveFailed;
            outcome.error = errno != 0 ? errno : EIO;
            return outcome;
        }
    }
    if (versions.journalRealPath.empty())
        outcome.keptCopy.error = ENOENT; // no versions folder: $HOME is not set
    else
        outcome.keptCopy = MoveIntoVersions(copyPath, versions.journalRealPath, root);
    outcome.result = outcome.keptCopy.result == KeepOutcome::Failed ? FileMergeOutcome::CopyNotMoved
                                                                    : FileMergeOutcome::Merged;
    outcome.error = outcome.keptCopy.error;
    return outcome;
}
