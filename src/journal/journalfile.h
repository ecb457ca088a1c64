#pragma once

#include "entries/entrylist.h"
#include "journal/safesave.h"
#include "ui/messageboxes.h"

// The journal "pw.dat" in the working directory: loaded into the entry list at start, the
// whole list written back at close (format in journal/journalformat.h).
class JournalFile
{
public:
    JournalFile(EntryList &entries, MessageBoxes &boxes);
    // `calls` performs the safe save's writing; it must outlive this object.
    JournalFile(EntryList &entries, MessageBoxes &boxes, SaveCalls &calls);
    JournalFile(const JournalFile &) = delete;
    JournalFile &operator=(const JournalFile &) = delete;

    // Inserts the journal's records above the rows the list holds, sizes the columns and
    // recounts when any were added, and leaves Date, Title and Entry empty. A missing journal
    // is created empty. Chooses the text encoding from the journal's bytes.
    void LoadJournal();
    // Writes every row, bottom row first, and leaves Date, Title and Entry empty and
    // EntryCount at the number of rows. On failure, and when the journal existed at load but
    // could not be read, shows the "Save to File" box and leaves the journal as it is.
    void SaveJournal();

private:
    EntryList &m_entries;
    MessageBoxes &m_boxes;
    SaveCalls m_systemCalls;
    SaveCalls &m_calls;
    bool m_journalUnreadable = false;
};
