#include "journal/journalfile.h"

#include "common/textfile.h"
#include "journal/besidefile.h"
#include "journal/journalformat.h"
#include "journal/rowsnapshot.h"

#include <cerrno>
#include <sys/stat.h>
#include <utility>

namespace {

constexpr std::string_view journalName = "pw.dat";
constexpr std::string_view outsideLabel = "changed-outside";
constexpr std::string_view asideLabel = "saved-while-unreadable";
const Text notReadCaption = "Journal Not Read";
const Text changedOutsideCaption = "Journal Changed Outside";

// Reads the whole journal in text mode into `text`. False when a journal exists but could not
// be read in full; `text` then holds what was read before the failure. A missing journal is
// created empty; one that can be neither found nor created reads as empty. `seen` receives the
// journal's identity from before it was read, so that a change made while it is read counts as
// a change made after (the later save keeps that version instead of losing it).
bool ReadJournalText(Text &text, std::optional<FileIdentity> &seen)
{
    const std::string name = ResolveFileName(journalName);
    struct stat info;
    const bool exists = ::stat(name.c_str(), &info) == 0;
    if (!exists && errno != ENOENT)
        return false;
    // Only a regular file is opened: reading a FIFO would block, a device might never end.
    if (exists && !S_ISREG(info.st_mode))
        return false;
    if (exists)
        seen = IdentityOf(info);
    TextFile file;
    if (!file.Open(journalName, TextFile::Mode::Read))
        return !exists;
    if (!exists)
        seen = IdentityOf(name);
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

JournalFile::~JournalFile()
{
    if (m_worker.joinable())
        m_worker.join();
}

void JournalFile::LoadJournal()
{
    m_entries.ReadForm();
    Text text;
    std::optional<FileIdentity> seen;
    m_unreadable = !ReadJournalText(text, seen);
    m_diskKnown = !m_unreadable;
    m_diskSeen = seen;

    // A journal whose records would take more memory than it is worth loading counts as
    // unreadable: no rows, and it is kept as it is. The rows are stored in the text's own bytes.
    const size_t budget = JournalRowsBudget(text.size());
    std::optional<RowStore> parsed = ParseJournalRows(std::move(text), m_entries.Form(), budget);
    if (!parsed) {
        m_unreadable = true;
        m_diskKnown = false;
    }
    if (parsed && !parsed->Empty()) {
        // All records at once and the columns sized once: the same rows, widths and count as
        // inserting the records one by one at the top, without the cost per record.
        m_entries.List().InsertRows(0, std::move(*parsed));
        m_entries.AutoSizeColumns();
        m_entries.RecountEntries();
    }
    m_entries.OnClear();
    m_entries.WriteForm();
}

void JournalFile::AnnounceUnreadableJournal()
{
    const Text name = ResolveFileName(journalName);
    m_boxes.DialogBox(name + " could not be read, so the list starts empty. " + name +
                          " will be left as it is; what you enter is saved in a new file beside "
                          "it.",
                      notReadCaption, BoxOk);
}

bool JournalFile::StartBackgroundSave(std::function<void()> finished)
{
    if (m_worker.joinable() || !ChangedSinceLastSave() || NothingToKeep())
        return false;
    // The copy is taken here, on the thread that owns the list; formatting and writing it
    // happen on the save's thread. The copy is let go of only once the file is written, so
    // that freeing it does not delay the save.
    m_worker = std::thread([this, job = PrepareSave(), rows = RowSnapshot::Take(m_entries.List()),
                            finished = std::move(finished)]() mutable {
        m_outcome = RunSave(job, rows, m_calls);
        rows.Release(); // here, not in the UI thread's wait for this thread to end
        if (finished)
            finished();
    });
    return true;
}

void JournalFile::FinishBackgroundSave()
{
    if (!m_worker.joinable())
        return;
    m_worker.join();
    // A copy: the boxes below run an event loop, in which the next save may start.
    const SaveOutcome outcome = std::move(m_outcome);
    TakeOutcome(outcome, false);
}

void JournalFile::SaveJournal()
{
    FinishBackgroundSave();
    m_entries.ReadForm();
    m_entries.Form().EntryCount = m_entries.List().ItemCount();
    m_entries.WriteForm();

    bool saved = true;
    if (!NothingToKeep() && (ChangedSinceLastSave() || !FileOnDiskIsCurrent())) {
        const SaveOutcome outcome =
            RunSave(PrepareSave(), RowSnapshot::Take(m_entries.List()), m_calls);
        saved = outcome.saved;
        TakeOutcome(outcome, true);
    }
    if (saved && m_unreadable && !m_asidePath.empty()) {
        const Text name = ResolveFileName(journalName);
        m_boxes.DialogBox(name +
                              " could not be read and has been left as it is. The entries of "
                              "this session are saved in " +
                              m_asidePath + ".",
                          notReadCaption, BoxOk);
    }

    m_entries.OnClear();
    m_entries.WriteForm();
}

JournalFile::SaveJob JournalFile::PrepareSave() const
{
    SaveJob job;
    job.changes = m_changes;
    job.journalName = ResolveFileName(journalName);
    job.aside = m_unreadable;
    job.asidePath = m_asidePath;
    job.journalKnown = m_diskKnown && !m_unreadable;
    job.journalSeen = m_diskSeen;
    return job;
}

// Runs on either thread: touches files only, never the list or the boxes.
JournalFile::SaveOutcome JournalFile::RunSave(const SaveJob &job, const RowSnapshot &rows,
                                              SaveCalls &calls)
{
    // Formatted straight into the file's writes, row by row.
    const StoredBytes bytes = [&rows](ByteOutput &out) { rows.WriteJournal(out); };
    SaveOutcome outcome;
    outcome.changes = job.changes;
    if (job.aside) {
        // The name is chosen once per session; later saves rewrite that same file.
        std::string path = job.asidePath;
        if (path.empty()) {
            const std::optional<std::string> created =
                CreateFileBeside(job.journalName, asideLabel);
            if (!created)
                return outcome;
            path = outcome.asidePath = *created;
        }
        outcome.saved = SaveFileSafely(path, bytes, calls, &outcome.written);
        return outcome;
    }
    if (job.journalKnown) {
        const std::optional<std::string> target = SaveTargetOf(job.journalName);
        const std::optional<FileIdentity> now =
            target ? IdentityOf(*target) : std::optional<FileIdentity>();
        // Another program wrote the journal since this one read or wrote it: that version is
        // kept before the list replaces it, and when it cannot be kept, nothing is written.
        if (now && now != job.journalSeen) {
            const std::optional<std::string> kept =
                CopyFileBeside(*target, job.journalName, outsideLabel);
            if (!kept)
                return outcome;
            outcome.keptOutside = *kept;
            outcome.outsideSeen = now;
        }
    }
    outcome.saved = SaveFileSafely(job.journalName, bytes, calls, &outcome.written);
    return outcome;
}

void JournalFile::TakeOutcome(const SaveOutcome &outcome, bool atClose)
{
    if (!outcome.asidePath.empty())
        m_asidePath = outcome.asidePath;
    if (outcome.outsideSeen) {
        // That version is safe beside the journal: no reason to keep it a second time.
        m_diskKnown = true;
        m_diskSeen = outcome.outsideSeen;
    }
    if (outcome.saved) {
        m_savedChanges = outcome.changes;
        m_diskKnown = true;
        m_diskSeen = outcome.written;
        m_failureShown = false;
    }
    if (!outcome.keptOutside.empty()) {
        const Text name = ResolveFileName(journalName);
        m_boxes.DialogBox("Another program changed " + name +
                              " while it was open here. That version is kept in " +
                              outcome.keptOutside + (outcome.saved ? "; " : ". ") + name +
                              (outcome.saved ? " now holds the entries shown in this window."
                                             : " itself has not been changed."),
                          changedOutsideCaption, BoxOk);
    }
    if (!outcome.saved && (atClose || !m_failureShown)) {
        m_failureShown = !atClose;
        m_boxes.DialogBox("Save to File", "Error Writing File", BoxOk);
    }
}

// A session that began with an unreadable journal and has no rows has nothing of its own to
// keep: no file is made for it.
bool JournalFile::NothingToKeep() const
{
    return m_unreadable && m_asidePath.empty() && m_entries.List().ItemCount() == 0;
}

// Whether the file the saves write still is exactly what this program last wrote or read.
bool JournalFile::FileOnDiskIsCurrent() const
{
    if (!m_diskKnown)
        return false;
    const std::optional<std::string> target =
        m_unreadable ? std::optional(m_asidePath) : SaveTargetOf(journalName);
    return target && IdentityOf(*target) == m_diskSeen;
}
