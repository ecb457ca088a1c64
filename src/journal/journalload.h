// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/rowstore.h"
#include "common/text.h"
#include "entries/entryform.h"
#include "journal/fileidentity.h"
#include "journal/loadcheck.h"

#include <optional>
#include <string>
#include <string_view>

// The load of the journal: its bytes read as stored, checked for what the rows leave out,
// gathered into rows, and the journal kept beside it as it was when they leave something out;
// then what the user is told about it. A journal that exists but cannot be read is never
// written, so it needs no copy. Until the copy of a partly loaded journal exists, the journal
// must not be replaced; each save tries to make it again (KeepOriginal).
class JournalLoad
{
public:
    // `journalName` is resolved in the working directory each time it is used.
    explicit JournalLoad(std::string_view journalName) : m_journalName(journalName) {}

    // Reads the journal, created empty when missing, and gives its rows, top row first, gathered
    // from the texts of `start`; nothing when its records would take more memory than it is
    // worth loading, which counts as unreadable. The rows are stored in the text's own bytes.
    std::optional<RowStore> Load(const EntryForm &start);

    // Whether the journal exists but could not be read (no permission, not a regular file, a
    // read error, records too large to hold).
    bool Unreadable() const { return m_unreadable; }
    // The journal as it was read, from before it was read; nothing when there was no file.
    const std::optional<FileSeen> &Seen() const { return m_seen; }
    // Whether the load left part of a journal it could read out.
    bool PartlyLoaded() const { return m_unloaded.Any(); }
    // Whether the journal must stay as it is until a copy of it is made.
    bool OriginalMissing() const { return PartlyLoaded() && m_originalCopy.empty(); }
    void NoteOriginalCopy(const std::string &path) { m_originalCopy = path; }

    // What the user is told about an unreadable or a partly loaded journal.
    Text UnreadableText() const;
    Text PartlyLoadedText() const;

private:
    std::string m_journalName;
    bool m_unreadable = false;
    std::optional<FileSeen> m_seen;
    UnloadedPart m_unloaded;
    size_t m_fileBytes = 0;
    std::string m_originalCopy;
};

// Keeps the journal `journalName` (as resolved) as it is now beside it, under the label of the
// original, unless that version is kept there already; the path of the copy.
std::optional<std::string> KeepOriginal(const std::string &journalName);
