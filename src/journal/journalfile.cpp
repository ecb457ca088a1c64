// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/journalfile.h"

#include "common/textfile.h"
#include "journal/rowsnapshot.h"
#include "session/stopsignals.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <utility>

namespace {

constexpr std::string_view journalName = "pw.dat";
const Text notReadCaption = "Journal Not Read";
const Text changedOutsideCaption = "Journal Changed Outside";
const Text partlyLoadedCaption = "Journal Partly Loaded";
const Text versionNotKeptCaption = "Version Not Kept";

} // namespace

JournalFile::JournalFile(EntryList &entries, MessageBoxes &boxes, JournalLock *lock)
    : m_entries(entries), m_boxes(boxes), m_lock(lock), m_load(journalName), m_saver(m_systemCalls)
{
}

JournalFile::JournalFile(EntryList &entries, MessageBoxes &boxes, SaveCalls &calls,
                         std::string versionsRoot)
    : m_entries(entries), m_boxes(boxes), m_load(journalName), m_version(std::move(versionsRoot)),
      m_saver(calls)
{
}

void JournalFile::LoadJournal()
{
    m_entries.ReadForm();
    std::optional<RowStore> rows = m_load.Load(m_entries.Form());
    m_diskKnown = !m_load.Unreadable();
    m_diskSeen = m_load.Seen();
    m_savedChanges = m_changes; // the list now holds what is on disk: nothing to save yet
    if (rows && !rows->Empty()) {
        // All records at once and the columns sized once: the same rows, widths and count as
        // inserting the records one by one at the top, without the cost per record.
        m_entries.List().InsertRows(0, std::move(*rows));
        m_entries.AutoSizeColumns();
        m_entries.RecountEntries();
    }
    m_entries.OnClear();
    m_entries.WriteForm();
}

void JournalFile::AnnounceUnreadableJournal()
{
    Tell(m_load.UnreadableText(), notReadCaption);
}

void JournalFile::AnnouncePartlyLoadedJournal()
{
    Tell(m_load.PartlyLoadedText(), partlyLoadedCaption);
}

bool JournalFile::StartBackgroundSave(std::function<void()> finished)
{
    if (m_saver.Running() || !ChangedSinceLastSave() || NothingToKeep())
        return false;
    // The copy is taken here, on the thread that owns the list; formatting and writing it
    // happen on the save's thread.
    m_saver.Start(PrepareSave(), RowSnapshot::Take(m_entries.List()), std::move(finished));
    return true;
}

void JournalFile::FinishBackgroundSave()
{
    // A copy: the boxes below run an event loop, in which the next save may start.
    if (const std::optional<SaveOutcome> outcome = m_saver.Finish())
        TakeOutcome(*outcome, false);
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
        const SaveOutcome outcome = m_saver.Run(PrepareSave(), RowSnapshot::Take(m_entries.List()));
        saved = outcome.saved;
        TakeOutcome(outcome, true);
    }
    if (saved && m_load.Unreadable() && !m_asidePath.empty()) {
        const Text name = ResolveFileName(journalName);
        Tell(name +
                 " could not be read and has been left as it is. The entries of this session "
                 "are saved in " +
                 m_asidePath + ".",
             notReadCaption);
    }
    m_closeSaveFailed = !saved;
    m_version.Wait();
    NoteVersionOutcome();
    ShowMessages();

    m_entries.OnClear();
    m_entries.WriteForm();
}

SaveJob JournalFile::PrepareSave()
{
    KeepVersionBeforeFirstSave();
    SaveJob job;
    job.changes = m_changes;
    job.journalName = ResolveFileName(journalName);
    job.aside = m_load.Unreadable();
    job.asidePath = m_asidePath;
    job.journalKnown = m_diskKnown && !m_load.Unreadable();
    job.journalSeen = m_diskSeen;
    job.journalHeld = m_load.OriginalMissing();
    job.lock = m_lock;
    job.version = &m_version;
    return job;
}

// Starts copying the journal, as the file there is now, among its versions: once a session,
// before its first save. A journal that could not be read is never written, so there is
// nothing to keep. The versions are this computer's history of the journal, which a merge
// takes its base from: a journal another program changed since it was read here is not part of
// it. The save keeps that one beside the journal, and the next save keeps the one it wrote.
void JournalFile::KeepVersionBeforeFirstSave()
{
    if (m_versionStarted || m_load.Unreadable())
        return;
    const std::string name = ResolveFileName(journalName);
    if (m_diskSeen && IdentityOf(name) != m_diskSeen->identity)
        return;
    m_versionStarted = true;
    m_version.Start(name);
}

// Tells, once the copy has ended, that it failed; the save was not held up by it. Until a save
// has succeeded, the journal is still as it was, and the next save tries to keep it again.
void JournalFile::NoteVersionOutcome()
{
    const std::optional<KeepOutcome> kept = m_version.TakeOutcome();
    if (!kept || kept->result != KeepOutcome::Failed)
        return;
    // A journal another program wrote to while it was copied is no longer what was read here
    // (the save keeps it beside the journal): the next save keeps the journal it wrote.
    if (m_lastSaved == 0 || kept->error == EAGAIN) {
        m_versionStarted = false;
        return;
    }
    const Text name = ResolveFileName(journalName);
    const Text text = name + " as it was before this session could not be kept among its " +
                      "earlier versions (" + kept->path + ": " + std::strerror(kept->error) +
                      "). The entries are saved all the same.";
    if (!StopSignalReceived()) // Tell writes it there then
        std::fprintf(stderr, "lumenlog: %s\n", text.c_str());
    m_messages.push_back({text, versionNotKeptCaption});
}

// All of the outcome's state is taken before any box is shown: a box runs an event loop, in
// which a newer save may finish and be taken.
void JournalFile::TakeOutcome(const SaveOutcome &outcome, bool atClose)
{
    const std::uint64_t taken = ++m_outcomesTaken;
    if (!outcome.asidePath.empty())
        m_asidePath = outcome.asidePath;
    if (!outcome.originalCopy.empty())
        m_load.NoteOriginalCopy(outcome.originalCopy);
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
    NoteVersionOutcome();
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
    const Text file = !m_load.Unreadable()  ? name
                      : m_asidePath.empty() ? "a new file beside " + name
                                            : m_asidePath;
    const Text reason = error != 0 ? std::strerror(error)
                                   : "it holds text the list lacks, and no copy of it could be "
                                     "made";
    // There may be no journal at all: the folder refused to make one.
    struct stat info = {};
    const bool exists = ::stat(name.c_str(), &info) == 0;
    const Text journal = name + (m_load.Unreadable() ? " was left as it is."
                                 : exists            ? " still holds what it held before."
                                                     : " was not created.");
    std::fprintf(stderr, "lumenlog: the entries could not be saved to %s: %s. %s\n", file.c_str(),
                 reason.c_str(), journal.c_str());
}

// Whether the journal that the list was loaded from or saved to has been removed since.
bool JournalFile::JournalGone() const
{
    if (m_load.Unreadable() || !m_diskSeen)
        return false;
    const std::optional<std::string> target = SaveTargetOf(journalName);
    return target && !IdentityOf(*target) && errno == ENOENT;
}

// A session that began with an unreadable journal and has no rows has nothing of its own to
// keep: no file is made for it.
bool JournalFile::NothingToKeep() const
{
    return m_load.Unreadable() && m_asidePath.empty() && m_entries.List().RowCount() == 0;
}
