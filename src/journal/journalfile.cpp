#include "journal/journalfile.h"

#include "common/textfile.h"
#include "journal/besidefile.h"
#include "journal/contenthash.h"
#include "journal/journalformat.h"
#include "journal/rowsnapshot.h"
#include "session/stopsignals.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <utility>

namespace {

constexpr std::string_view journalName = "pw.dat";
constexpr std::string_view outsideLabel = "changed-outside";
constexpr std::string_view asideLabel = "saved-while-unreadable";
constexpr std::string_view originalLabel = "original";
const Text notReadCaption = "Journal Not Read";
const Text changedOutsideCaption = "Journal Changed Outside";
const Text partlyLoadedCaption = "Journal Partly Loaded";

// Reads the whole journal, its bytes as stored, into `text`. False when a journal exists but could
// not be read in full; `text` then holds what was read before the failure. `seen` receives the
// journal's identity from before it was read, so that a change made while it is read counts as
// a change made after (the later save keeps that version instead of losing it), and the hash of
// the bytes read.
bool ReadJournalBytes(Text &text, std::optional<FileSeen> &seen)
{
    const std::string name = ResolveFileName(journalName);
    struct stat info = {};
    const bool exists = ::stat(name.c_str(), &info) == 0;
    if (!exists && errno != ENOENT)
        return false;
    // Only a regular file is opened: reading a FIFO would block, a device might never end.
    if (exists && !S_ISREG(info.st_mode))
        return false;
    // A missing journal is created empty; one that can be neither found nor created reads as
    // empty.
    std::optional<struct stat> opened;
    const bool complete = ReadWholeFile(journalName, text, &opened);
    if (opened) {
        ContentHash hash;
        hash.Add(text);
        seen = FileSeen{IdentityOf(*opened), hash.Value()};
    }
    return complete || (!exists && !opened);
}

// Keeps the file `source` beside the journal `journalName` under `label`, unless a file kept
// there already holds the same bytes; the path of the file that holds them.
std::optional<std::string> KeepCopy(const std::string &source, const std::string &journalName,
                                    std::string_view label)
{
    std::optional<std::string> kept =
        FindCopyBeside(source, journalName, {originalLabel, outsideLabel});
    return kept ? kept : CopyFileBeside(source, journalName, label);
}

std::optional<std::string> KeepJournalCopy(const std::string &journalName, std::string_view label)
{
    const std::optional<std::string> source = SaveTargetOf(journalName);
    return source ? KeepCopy(*source, journalName, label) : std::nullopt;
}

// The kinds of text a load left out, in plain words.
Text UnloadedKindsText(unsigned kinds)
{
    static constexpr std::pair<UnloadedKind, const char *> names[] = {
        {UnknownLines, "lines that are not part of an entry"},
        {ValuesWithoutRow, "titles or texts that belong to no entry"},
        {TextAfterLastLineEnd, "text after the last line end"},
        {TextAfterEndOfFileMark, "text after an end-of-file mark (byte 0x1A)"},
    };
    Text text;
    for (const auto &[kind, name] : names) {
        if (!(kinds & kind))
            continue;
        kinds &= ~kind;
        text += text.empty() ? "" : kinds ? ", " : " and ";
        text += name;
    }
    return text;
}

} // namespace

JournalFile::JournalFile(EntryList &entries, MessageBoxes &boxes, JournalLock *lock)
    : m_entries(entries), m_boxes(boxes), m_calls(m_systemCalls), m_lock(lock)
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
    std::optional<FileSeen> seen;
    m_unreadable = !ReadJournalBytes(text, seen);
    m_diskKnown = !m_unreadable;
    m_diskSeen = seen;
    m_savedChanges = m_changes; // the list now holds what is on disk: nothing to save yet
    // What the rows cannot hold is found in the bytes as stored; the reading rules then take
    // the text as the text-mode read delivers it.
    const UnloadedPart unloaded = FindUnloadedPart(text);
    const size_t fileBytes = text.size();
    ToTextModeText(text);

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
    // An unreadable journal is never replaced, so it needs no copy.
    if (unloaded.Any() && !m_unreadable)
        KeepOriginal(unloaded, fileBytes);
    m_entries.OnClear();
    m_entries.WriteForm();
}

// Copies the journal as it is before the window appears, so that no save, in the background
// or at close, can replace it first.
void JournalFile::KeepOriginal(const UnloadedPart &unloaded, size_t fileBytes)
{
    m_unloaded = unloaded;
    m_loadedFileBytes = fileBytes;
    m_originalCopy = KeepJournalCopy(ResolveFileName(journalName), originalLabel).value_or("");
}

void JournalFile::AnnounceUnreadableJournal()
{
    const Text name = ResolveFileName(journalName);
    Tell(name + " could not be read, so the list starts empty. " + name +
             " will be left as it is; what you enter is saved in a new file beside it.",
         notReadCaption);
}

void JournalFile::AnnouncePartlyLoadedJournal()
{
    const Text name = ResolveFileName(journalName);
    Text text = std::to_string(m_unloaded.bytes) + " of the " + std::to_string(m_loadedFileBytes) +
                " bytes in " + name +
                " could not be loaded into the list: " + UnloadedKindsText(m_unloaded.kinds) + ". ";
    if (!m_originalCopy.empty())
        text += name + " as it was is kept in " + m_originalCopy + "; " + name +
                " itself will hold the entries shown here.";
    else
        text += "No copy of " + name + " could be made beside it, so " + name +
                " will be left as it is, and what you change here cannot be saved, until a "
                "copy can be made: each save tries again.";
    Tell(text, partlyLoadedCaption);
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
    m_entries.Form().EntryCount = m_entries.List().RowCount();
    m_entries.WriteForm();

    bool saved = true;
    // With nothing changed, the file on disk holds the list already, or a newer version that
    // another program wrote, and is left as it is; only a journal that is gone is written again.
    if (!NothingToKeep() && (ChangedSinceLastSave() || JournalGone())) {
        const SaveOutcome outcome =
            RunSave(PrepareSave(), RowSnapshot::Take(m_entries.List()), m_calls);
        saved = outcome.saved;
        TakeOutcome(outcome, true);
    }
    if (saved && m_unreadable && !m_asidePath.empty()) {
        const Text name = ResolveFileName(journalName);
        Tell(name +
                 " could not be read and has been left as it is. The entries of this session "
                 "are saved in " +
                 m_asidePath + ".",
             notReadCaption);
    }
    m_closeSaveFailed = !saved;

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
    job.journalHeld = JournalPartlyLoaded() && m_originalCopy.empty();
    job.lock = m_lock;
    return job;
}

// Runs on either thread: touches files only, never the list or the boxes.
JournalFile::SaveOutcome JournalFile::RunSave(const SaveJob &job, const RowSnapshot &rows,
                                              SaveCalls &calls)
{
    SaveOutcome outcome;
    outcome.changes = job.changes;
    // The copy that could not be made at load (a full disk) is tried again; once it exists, the
    // journal may be replaced.
    if (job.journalHeld) {
        outcome.originalCopy = KeepJournalCopy(job.journalName, originalLabel).value_or("");
        if (outcome.originalCopy.empty())
            return outcome;
    }
    errno = 0;
    WriteFiles(job, rows, calls, outcome);
    if (!outcome.saved)
        outcome.error = errno != 0 ? errno : EIO;
    return outcome;
}

void JournalFile::WriteFiles(const SaveJob &job, const RowSnapshot &rows, SaveCalls &calls,
                             SaveOutcome &outcome)
{
    // Formatted straight into the file's writes, row by row.
    const StoredBytes bytes = [&rows](ByteOutput &out) { rows.WriteJournal(out); };
    if (job.aside) {
        // The name is chosen once per session; later saves rewrite that same file.
        std::string path = job.asidePath;
        if (path.empty()) {
            const std::optional<std::string> created =
                CreateFileBeside(job.journalName, asideLabel);
            if (!created)
                return;
            path = outcome.asidePath = *created;
        }
        outcome.saved = SaveFileSafely(path, bytes, calls, &outcome.written);
        return;
    }
    // Checked at the last moment, so that a version written while this save writes is kept too.
    const BeforeReplace keepOutsideVersion = [&job, &outcome](const std::string &target) {
        return KeepOutsideVersion(job, target, outcome);
    };
    outcome.saved = SaveFileSafely(job.journalName, bytes, calls, &outcome.written, job.lock,
                                   job.journalKnown ? keepOutsideVersion : BeforeReplace());
}

// Another program wrote other bytes to the journal `target` since this one read or wrote it:
// that version is kept before the list replaces it, and when it cannot be kept, nothing is
// written. New times, links or an inode with the same bytes change nothing.
bool JournalFile::KeepOutsideVersion(const SaveJob &job, const std::string &target,
                                     SaveOutcome &outcome)
{
    const std::optional<FileIdentity> now = IdentityOf(target);
    if (!now || (job.journalSeen && *now == job.journalSeen->identity))
        return true;
    const std::optional<std::uint64_t> hash = HashOfFile(target);
    if (hash && job.journalSeen && *hash == job.journalSeen->hash) {
        outcome.outsideSeen = FileSeen{*now, *hash};
        return true;
    }
    const std::optional<std::string> kept = KeepCopy(target, job.journalName, outsideLabel);
    if (!kept)
        return false;
    outcome.keptOutside = *kept;
    outcome.outsideSeen = FileSeen{*now, hash.value_or(0)};
    return true;
}

// All of the outcome's state is taken before any box is shown: a box runs an event loop, in
// which a newer save may finish and be taken.
void JournalFile::TakeOutcome(const SaveOutcome &outcome, bool atClose)
{
    const std::uint64_t taken = ++m_outcomesTaken;
    if (!outcome.asidePath.empty())
        m_asidePath = outcome.asidePath;
    if (!outcome.originalCopy.empty())
        m_originalCopy = outcome.originalCopy;
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
        m_lastSaved = taken;
    }
    if (!outcome.keptOutside.empty()) {
        const Text name = ResolveFileName(journalName);
        m_messages.push_back({"Another program changed " + name +
                                  " while it was open here. That version is kept in " +
                                  outcome.keptOutside + (outcome.saved ? "; " : ". ") + name +
                                  (outcome.saved ? " now holds the entries shown in this window."
                                                 : " itself has not been changed."),
                              changedOutsideCaption});
    }
    if (!outcome.saved) {
        if (atClose)
            ReportFailure(outcome.error);
        if (atClose || !m_failureShown) {
            m_failureShown = !atClose;
            m_messages.push_back({"Save to File", "Error Writing File", taken});
        }
    }
    ShowMessages();
}

void JournalFile::ShowMessages()
{
    if (m_showingMessages)
        return; // the call further out shows them, in order
    m_showingMessages = true;
    while (!m_messages.empty()) {
        const Message message = std::move(m_messages.front());
        m_messages.pop_front();
        if (message.failedSave == 0)
            Tell(message.text, message.caption);
        // A failure that a newer save has made good is past. After a stop signal the reason on
        // standard error is all: no box waits for an answer.
        else if (m_lastSaved < message.failedSave && !StopSignalReceived())
            m_boxes.DialogBox(message.text, message.caption, BoxOk);
    }
    m_showingMessages = false;
}

// Shows a box; once a stop signal has arrived, writes its text on standard error instead.
void JournalFile::Tell(const Text &text, const Text &caption)
{
    if (StopSignalReceived())
        std::fprintf(stderr, "lumenlog: %s\n", text.c_str());
    else
        m_boxes.DialogBox(text, caption, BoxOk);
}

void JournalFile::ReportFailure(int error) const
{
    const Text name = ResolveFileName(journalName);
    const Text file = !m_unreadable         ? name
                      : m_asidePath.empty() ? "a new file beside " + name
                                            : m_asidePath;
    const Text reason = error != 0 ? std::strerror(error)
                                   : "it holds text the list lacks, and no copy of it could be "
                                     "made";
    // There may be no journal at all: the folder refused to make one.
    struct stat info = {};
    const bool exists = ::stat(name.c_str(), &info) == 0;
    const Text journal = name + (m_unreadable ? " was left as it is."
                                 : exists     ? " still holds what it held before."
                                              : " was not created.");
    std::fprintf(stderr, "lumenlog: the entries could not be saved to %s: %s. %s\n", file.c_str(),
                 reason.c_str(), journal.c_str());
}

// Whether the journal that the list was loaded from or saved to has been removed since.
bool JournalFile::JournalGone() const
{
    if (m_unreadable || !m_diskSeen)
        return false;
    const std::optional<std::string> target = SaveTargetOf(journalName);
    return target && !IdentityOf(*target) && errno == ENOENT;
}

// A session that began with an unreadable journal and has no rows has nothing of its own to
// keep: no file is made for it.
bool JournalFile::NothingToKeep() const
{
    return m_unreadable && m_asidePath.empty() && m_entries.List().RowCount() == 0;
}
