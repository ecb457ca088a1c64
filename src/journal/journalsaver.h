// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "journal/fileidentity.h"
#include "journal/rowsnapshot.h"
#include "journal/safesave.h"
#include "journal/versions.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>

// What a save writes where, gathered on the UI thread.
struct SaveJob
{
    std::uint64_t changes = 0;
    std::string journalName; // as resolved in the working directory
    bool aside = false;      // the list goes beside an unreadable journal
    std::string asidePath;   // empty until the first such save has chosen it
    bool journalKnown = false;
    std::optional<FileSeen> journalSeen; // nothing: there was no file
    bool journalHeld = false;            // no copy of the journal yet (see KeepOriginal)
    JournalLock *lock = nullptr;
    VersionCopy *version = nullptr; // copying the journal as it was, which must end before the
                                    // journal is written in place
};

// What a save did, taken on the UI thread.
struct SaveOutcome
{
    std::uint64_t changes = 0;
    bool saved = false;
    FileSeen written;
    std::string asidePath;               // chosen by this save
    std::string originalCopy;            // made by this save
    std::string keptOutside;             // where the outside version is kept
    std::optional<FileSeen> outsideSeen; // the journal as the check found it
    int error = 0;                       // errno of a failure; 0: the journal is held
};

// Writes the rows of a save job: on the caller's thread, or on a thread of its own while the
// window goes on, one save at a time. A save touches files only, never the list or the boxes.
//
// A journal another program wrote other bytes to since this one read or wrote it is kept beside
// it first, checked at the last moment before it is replaced; when it cannot be kept, nothing
// is written. A journal still held for want of a copy of its original is copied first.
class JournalSaver
{
public:
    // `calls` performs the safe save's writing; it must outlive this object.
    explicit JournalSaver(SaveCalls &calls) : m_calls(calls) {}
    // Waits for a save that is still writing; its outcome is not taken.
    ~JournalSaver();
    JournalSaver(const JournalSaver &) = delete;
    JournalSaver &operator=(const JournalSaver &) = delete;

    SaveOutcome Run(const SaveJob &job, const RowSnapshot &rows) const;

    // Runs the save on a thread of its own; none may be running. `finished` is called on that
    // thread once it is done; Finish must then be called on this one.
    void Start(SaveJob job, RowSnapshot rows, std::function<void()> finished);
    bool Running() const { return m_worker.joinable(); }
    // Waits for the save started last and gives its outcome; nothing when none is running.
    std::optional<SaveOutcome> Finish();

private:
    SaveCalls &m_calls;
    std::thread m_worker;
    SaveOutcome m_outcome; // written by m_worker, read once it has been joined
};
