// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/journalload.h"

#include "common/textfile.h"
#include "journal/besidefile.h"
#include "journal/contenthash.h"
#include "journal/journalformat.h"
#include "journal/safesave.h"

#include <cerrno>
#include <sys/stat.h>
#include <utility>

namespace {

// Reads the whole journal, its bytes as stored, into `text`. False when a journal exists but could
// not be read in full; `text` then holds what was read before the failure. `seen` receives the
// journal's identity from before it was read, so that a change made while it is read counts as
// a change made after (the later save keeps that version instead of losing it), and the hash of
// the bytes read.
bool ReadJournalBytes(std::string_view journalName, Text &text, std::optional<FileSeen> &seen)
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

std::optional<RowStore> JournalLoad::Load(const EntryForm &start)
{
    Text text;
    m_seen.reset();
    m_unreadable = !ReadJournalBytes(m_journalName, text, m_seen);
    // What the rows cannot hold is found in the bytes as stored; the reading rules then take
    // the text as the text-mode read delivers it.
    const UnloadedPart unloaded = FindUnloadedPart(text);
    const size_t fileBytes = text.size();
    std::optional<RowStore> rows = ParseStoredJournal(std::move(text), start);
    m_unreadable = m_unreadable || !rows;
    // Copied before the window appears, so that no save, in the background or at close, can
    // replace the journal first.
    if (unloaded.Any() && !m_unreadable) {
        m_unloaded = unloaded;
        m_fileBytes = fileBytes;
        m_originalCopy = KeepOriginal(ResolveFileName(m_journalName)).value_or("");
    }
    return rows;
}

Text JournalLoad::UnreadableText() const
{
    const Text name = ResolveFileName(m_journalName);
    return name + " could not be read, so the list starts empty. " + name +
           " will be left as it is; what you enter is saved in a new file beside it.";
}

Text JournalLoad::PartlyLoadedText() const
{
    const Text name = ResolveFileName(m_journalName);
    Text text = std::to_string(m_unloaded.bytes) + " of the " + std::to_string(m_fileBytes) +
                " bytes in " + name +
                " could not be loaded into the list: " + UnloadedKindsText(m_unloaded.kinds) + ". ";
    if (!m_originalCopy.empty())
        return text + name + " as it was is kept in " + m_originalCopy + "; " + name +
               " itself will hold the entries shown here.";
    return text + "No copy of " + name + " could be made beside it, so " + name +
           " will be left as it is, and what you change here cannot be saved, until a copy can "
           "be made: each save tries again.";
}

std::optional<std::string> KeepOriginal(const std::string &journalName)
{
    const std::optional<std::string> source = SaveTargetOf(journalName);
    return source ? KeepVersionBeside(*source, journalName, originalLabel) : std::nullopt;
}
