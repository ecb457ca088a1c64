#include "journal/conflictcopies.h"

#include "common/textfile.h"
#include "journal/journalformat.h"
#include "journal/loadcheck.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
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
    for (char &c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return lower;
}

bool ReadRegularFile(const std::string &path, Text &bytes)
{
    // Non-blocking, so that a FIFO put where a copy was expected cannot hang the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info = {};
    bool complete = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (complete)
        bytes.reserve(size_t(info.st_size));
    char buffer[size_t(1) << 16];
    for (ssize_t got = 1; complete && got != 0;) {
        got = ::read(fd, buffer, sizeof buffer);
        if (got > 0)
            bytes.append(buffer, size_t(got));
        complete = got >= 0 || errno == EINTR;
    }
    ::close(fd);
    return complete;
}

} // namespace

std::optional<CopyMaker> CopyMakerOf(std::string_view name, std::string_view journalName)
{
    const std::string lowerName = InLowerCase(name);
    const std::string journal = InLowerCase(journalName);
    // The ending starts at the last dot that does not begin the name.
    const size_t dot = journal.rfind('.');
    const size_t stemLength = dot == std::string::npos || dot == 0 ? journal.size() : dot;
    const std::string_view stem = std::string_view(journal).substr(0, stemLength);
    const std::string_view ending = std::string_view(journal).substr(stemLength);
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
    const size_t slash = journalPath.rfind('/');
    const std::string folder(slash == std::string_view::npos ? std::string_view()
                                                             : journalPath.substr(0, slash + 1));
    const std::string_view journalName = journalPath.substr(folder.size());
    std::vector<CopyBeside> copies;
    DIR *const listing = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!listing)
        return copies;
    while (const dirent *entry = ::readdir(listing)) {
        if (const auto maker = CopyMakerOf(entry->d_name, journalName))
            copies.push_back({folder + entry->d_name, *maker});
    }
    ::closedir(listing);
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
    ToTextModeText(bytes);
    const size_t budget = JournalRowsBudget(bytes.size());
    std::optional<RowStore> rows = ParseJournalRows(std::move(bytes), EntryForm{}, budget);
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
