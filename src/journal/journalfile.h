// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "entries/entrylist.h"
#include "journal/fileidentity.h"
#include "journal/journalload.h"
#include "journal/journalsaver.h"
#include "journal/safesave.h"
#include "ui/messageboxes.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

// The journal "pw.dat" in the working directory: loaded into the entry list at start, written
// back whenever the list has changed (on a thread of its own, so that the window never waits
// for the disk) and once more at close (format in journal/journalformat.h).
//
// Nothing is ever overwritten that the program has not seen: the journal's identity on disk and
// a hash of its bytes are remembered after every load and save, and a journal whose bytes
// another program changed since is first copied beside it ("pw.changed-outside-<time>.dat"),
// checked right before the list replaces it. A journal that exists but cannot be read is never
// written at all; the list goes to a file beside it ("pw.saved-while-unreadable-<time>.dat")
// instead. A journal holding text that the load leaves out (journal/loadcheck.h) is copied
// beside it at load ("pw.original-<time>.dat"), before any save can replace it; until a copy
// can be made (each save tries again), it is never replaced. A version already kept beside the
// journal is never copied a second time.
//
// The journal as it was before the session's first save is kept among its versions
// (journal/versions.h), copied on a thread of its own beside that save. When it cannot be kept,
// the save goes ahead all the same and the user is told once, after it. While no save has
// succeeded, the journal is still as it was, and the next save tries again; so it does when
// another program wrote to the journal while it was copied.
//
// Once a stop signal has arrived, the program is ending and no one may be there to answer a
// box: what a box would say goes to standard error instead.
class JournalFile
{
public:
    // `lock`, when given, is the journal's lock; a save that puts a new file in the journal's
    // place carries it over to that file.
    JournalFile(EntryList &entries, MessageBoxes &boxes, JournalLock *lock = nullptr);
    // `calls` performs the safe save's writing; it must outlive this object. Versions are kept
    // below `versionsRoot`.
    JournalFile(EntryList &entries, MessageBoxes &boxes, SaveCalls &calls,
                std::string versionsRoot = VersionsRoot());
    JournalFile(const JournalFile &) = delete;
    JournalFile &operator=(const JournalFile &) = delete;

    // Inserts the journal's records above the rows the list holds, sizes the columns and
    // recounts when any were added, and leaves Date, Title and Entry empty. A missing journal
    // is created empty. Chooses the text encoding from the journal's bytes.
    void LoadJournal();
    // Whether the journal exists but could not be read at load (no permission, not a regular
    // file, a read error, records too large to hold). AnnounceUnreadableJournal tells the user.
    bool JournalUnreadable() const { return m_load.Unreadable(); }
    void AnnounceUnreadableJournal();
    // Whether the load left part of the journal out. AnnouncePartlyLoadedJournal tells the
    // user how much, and which file keeps the journal as it was.
    bool JournalPartlyLoaded() const { return m_load.PartlyLoaded(); }
    void AnnouncePartlyLoadedJournal();

    // A command changed the list's rows: the next save has something to write.
    void NoteChange() { ++m_changes; }
    // Whether the list may differ from what the last load or save found or wrote (true before
    // the first of them).
    bool ChangedSinceLastSave() const { return m_savedChanges != m_changes; }

    // Starts writing the list as it is now on a thread of its own, from a copy of its rows
    // taken here. Does nothing and returns false while a background save is still running, and
    // when nothing changed since the last save. `finished` is called on the save's thread once
    // it is done; FinishBackgroundSave must then be called on this thread.
    bool StartBackgroundSave(std::function<void()> finished);
    bool BackgroundSaveRunning() const { return m_saver.Running(); }
    // Waits for the background save, if there is one, and takes its outcome: remembers what is
    // on disk now; tells the user which file keeps a version another program had written; and
    // shows the "Save to File" box for a failure, once until a save succeeds again, unless a
    // newer save has succeeded by the time the box would be shown.
    void FinishBackgroundSave();

    // The save at close: finishes a background save still running, then writes every row,
    // bottom row first, when the list changed since the last load or save or the journal has
    // been removed (otherwise nothing is written, not even to a read-only journal); leaves
    // Date, Title and Entry empty and EntryCount at the number of rows. A failure shows the
    // "Save to File" box. For a journal that could not be read, the list goes to the file
    // beside it and a box names that file.
    void SaveJournal();
    // Whether the save at close failed: the file it wrote still holds what it held before, and
    // the reason has been written on standard error.
    bool CloseSaveFailed() const { return m_closeSaveFailed; }

private:
    // A box to show once every outcome taken so far has been applied.
    struct Message
    {
        Text text;
        Text caption;
        std::uint64_t failedSave = 0; // the outcome whose failure it tells; 0 for none
    };

    SaveJob PrepareSave();
    void KeepVersionBeforeFirstSave();
    void NoteVersionOutcome();
    void Tell(const Text &text, const Text &caption);
    void ReportFailure(int error) const;
    void TakeOutcome(const SaveOutcome &outcome, bool atClose);
    void ShowMessages();
    bool NothingToKeep() const;
    bool JournalGone() const;

    EntryList &m_entries;
    MessageBoxes &m_boxes;
    SaveCalls m_systemCalls;
    JournalLock *m_lock = nullptr;
    JournalLoad m_load;

    std::string m_asidePath;
    // The identity of the file the saves write (the journal, or the file beside an unreadable
    // one) as this program last read or wrote it; unknown before the first load or save.
    bool m_diskKnown = false;
    std::optional<FileSeen> m_diskSeen;
    std::uint64_t m_changes = 0;
    std::optional<std::uint64_t> m_savedChanges; // m_changes as of the last load or save
    bool m_failureShown = false;
    bool m_closeSaveFailed = false;
    std::uint64_t m_outcomesTaken = 0;
    std::uint64_t m_lastSaved = 0; // the number of the last outcome taken that saved
    std::deque<Message> m_messages;
    bool m_showingMessages = false;
    VersionCopy m_version;
    bool m_versionStarted = false;

    // Last, so that a save still writing ends before anything it was started from goes.
    JournalSaver m_saver;
};
