// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/conflictcopies.h"

#include "common/posixfile.h"
#include "common/textfile.h"
#include "journal/besidefile.h"
#include "journal/journalformat.h"
#include "journal/loadcheck.h"

#include <algorithm>
#include <unistd.h>

namespace {

// The shape of what a copy's name adds between the journal's stem and its ending, in lower
// case: '#' stands for a digit, '@' for a letter or digit, '*' for one or more of any byte.
struct NameShape
{
    std::string_view middle;
    CopyMaker maker;
};

constexpr NameShape nameShapes[] = {
    {".sync-conflict-########-######-@@@@@@@", CopyMaker::Syncthing},
    {" (conflicted copy ####-##-## ######)", CopyMaker::Nextcloud},
    {" (*'s conflicted copy ####-##-##)", CopyMaker::Dropbox},
    {" (*'s conflicted copy ####-##-## (*))", CopyMaker::Dropbox},
    {".changed-outside-*", CopyMaker::ChangedOutside},
    {".saved-while-unreadable-*", CopyMaker::SavedWhileUnreadable},
};

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool FitsShape(std::string_view text, std::string_view shape)
{
    if (shape.empty())
        return text.empty();
    if (shape.front() == '*') {
        for (size_t length = 1; length <= text.size(); ++length) {
            if (FitsShape(text.substr(length), shape.substr(1)))
                return true;
        }
        return false;
    }
    if (text.empty())
        return false;
    const char c = text.front();
    const bool fits = shape.front() == '#'   ? IsDigit(c)
                      : shape.front() == '@' ? IsDigit(c) || (c >= 'a' && c <= 'z')
                                             : c == shape.front();
    return fits && FitsShape(text.substr(1), shape.substr(1));
}

std::string InLowerCase(std::string_view text)
{
    std::string lower(text);
    std::ranges::transform(lower, lower.begin(), AsciiLower);
    return lower;
}

bool ReadRegularFile(const std::string &path, Text &bytes)
{
    const int fd = OpenRegularFile(path);
    if (fd < 0)
        return false;
    const bool complete = ReadAll(fd, [&bytes](std::string_view run) {
        bytes.append(run);
        return true;
    });
    ::close(fd);
    return complete;
}

} // namespace

std::optional<CopyMaker> CopyMakerOf(std::string_view name, std::string_view journalName)
{
    const std::string lowerName = InLowerCase(name);
    const std::string journal = InLowerCase(journalName);
    const auto [stem, ending] = StemAndEnding(journal);
    if (lowerName.size() <= journal.size() || !lowerName.starts_with(stem) ||
        !lowerName.ends_with(ending))
        return std::nullopt;
    const std::string_view middle =
        std::string_view(lowerName).substr(stem.size(), lowerName.size() - journal.size());
    for (const NameShape &shape : nameShapes) {
        if (FitsShape(middle, shape.middle))
            return shape.maker;
    }
    return std::nullopt;
}

std::vector<CopyBeside> FindCopiesBeside(std::string_view journalPath)
{
    const std::string folder(FolderPrefixOf(journalPath));
    const std::string_view journalName = BaseNameOf(journalPath);
    std::vector<CopyBeside> copies;
    for (const std::string &name : FolderEntries(DirectoryOf(journalPath))) {
        if (const auto maker = CopyMakerOf(name, journalName))
            copies.push_back({folder + name, *maker});
    }
    std::ranges::sort(copies, {}, &CopyBeside::path);
    return copies;
}

CopyRecords ReadCopy(const std::string &path)
{
    Text bytes;
    if (!ReadRegularFile(path, bytes))
        return {CopyState::Unreadable, {}};
    return CopyFromBytes(std::move(bytes));
}

CopyRecords CopyFromBytes(Text &&bytes)
{
    if (FindUnloadedPart(bytes).Any())
        return {CopyState::NotAJournal, {}};
    std::optional<RowStore> rows = ParseStoredJournal(std::move(bytes), EntryForm{});
    if (!rows)
        return {CopyState::NotAJournal, {}};
    return {CopyState::Journal, std::move(*rows)};
}

CopyMergePlan PlanCopyMerge(const RowStore &ours, const std::vector<std::string> &copyPaths,
                            size_t versionCount, const LoadVersion &load)
{
    CopyMergePlan plan;
    std::vector<CopyWithBase> copies;
    for (const std::string &path : copyPaths) {
        CopyRecords copy = ReadCopy(path);
        if (copy.state != CopyState::Journal) {
            plan.leftAlone.push_back({path, copy.state});
            continue;
        }
        MergeBase base = FindMergeBase(copy.rows, versionCount, load);
        copies.push_back({std::move(copy.rows), std::move(base.rows)});
        plan.merged.push_back(path);
    }
    plan.result = MergeCopies(ours, std::move(copies));
    return plan;
}
