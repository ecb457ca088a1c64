#include "journal/journalfile.h"

#include "common/textfile.h"
#include "journal/journalformat.h"

#include <cerrno>
#include <sys/stat.h>

namespace {

constexpr std::string_view journalName = "pw.dat";

// Reads the whole journal in text mode into `text`. False when a journal exists but could not
// be read in full; `text` then holds what was read before the failure. A missing journal is
// created empty; one that can be neither found nor created reads as empty.
bool ReadJournalText(Text &text)
{
    const std::string name = ResolveFileName(journalName);
    struct stat info;
    const bool exists = ::stat(name.c_str(), &info) == 0;
    if (!exists && errno != ENOENT)
        return false;
    // Only a regular file is opened: reading a FIFO would block, a device might never end.
    if (exists && !S_ISREG(info.st_mode))
        return false;
    TextFile file;
    if (!file.Open(journalName, TextFile::Mode::Read))
        return !exists;
    const bool complete = file.ReadAll(text);
    file.Close();
    return complete;
}

} // namespace

JournalFile::JournalFile(EntryList &entries, MessageBoxes &boxes)
    : m_entries(entries), m_boxes(boxes), m_calls(m_systemCalls)
{
}

JournalFile::JournalFile(EntryList &entries, MessageBoxes &boxes, SaveCalls &calls)
    : m_entries(entries), m_boxes(boxes), m_calls(calls)
{
}

void JournalFile::LoadJournal()
{
    m_entries.ReadForm();
    Text text;
    m_journalUnreadable = !ReadJournalText(text);

    // A journal whose records would take more memory than it is worth loading counts as
    // unreadable: no rows, and it is kept as it is at close.
    std::optional<std::vector<Row>> parsed =
        ParseJournalWithin(text, m_entries.Form(), JournalRowsBudget(text.size()));
    text = Text();
    if (!parsed)
        m_journalUnreadable = true;
    std::vector<Row> rows = parsed ? std::move(*parsed) : std::vector<Row>();
    if (!rows.empty()) {
        // All records at once and the columns sized once: the same rows, widths and count as
        // inserting the records one by one at the top, without the cost per record.
        m_entries.List().InsertRows(0, std::move(rows));
        m_entries.AutoSizeColumns();
        m_entries.RecountEntries();
    }
    m_entries.OnClear();
    m_entries.WriteForm();
}

void JournalFile::SaveJournal()
{
    m_entries.ReadForm();
    m_entries.Form().EntryCount = m_entries.List().ItemCount();
    m_entries.WriteForm();

    // A journal that could not be read at start would be replaced by a list that lacks its
    // entries; it is left as it is.
    const bool saved = !m_journalUnreadable &&
                       SaveTextFileSafely(journalName, FormatJournal(m_entries.List()), m_calls);
    if (!saved)
        m_boxes.DialogBox("Save to File", "Error Writing File", BoxOk);

    m_entries.OnClear();
    m_entries.WriteForm();
}
