// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/journalsaver.h"

#include "journal/besidefile.h"
#include "journal/contenthash.h"
#include "journal/journalload.h"

#include <cerrno>
#include <utility>

namespace {

// Another program wrote other bytes to the journal `target` since this one read or wrote it:
// that version is kept before the list replaces it, and when it cannot be kept, nothing is
// written. New times, links or an inode with the same bytes change nothing.
bool KeepOutsideVersion(const SaveJob &job, const std::string &target, SaveOutcome &outcome)
{
    const std::optional<FileIdentity> now = IdentityOf(target);
    if (!now || (job.journalSeen && *now == job.journalSeen->identity))
        return true;
    const std::optional<std::uint64_t> hash = HashOfFile(target);
    if (hash && job.journalSeen && *hash == job.journalSeen->hash) {
        outcome.outsideSeen = FileSeen{*now, *hash};
        return true;
    }
    const std::optional<std::string> kept =
        KeepVersionBeside(target, job.journalName, outsideLabel);
    if (!kept)
        return false;
    outcome.keptOutside = *kept;
    outcome.outsideSeen = FileSeen{*now, hash.value_or(0)};
    return true;
}

void WriteFiles(const SaveJob &job, const RowSnapshot &rows, SaveCalls &calls, SaveOutcome &outcome)
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
    const BeforeReplace beforeReplace = [&job, &outcome](const std::string &target, bool inPlace) {
        // A rename leaves the old file whole for the copy still reading it; a write in place
        // would change it under the copy.
        if (inPlace && job.version)
            job.version->Wait();
        return !job.journalKnown || KeepOutsideVersion(job, target, outcome);
    };
    outcome.saved =
        SaveFileSafely(job.journalName, bytes, calls, &outcome.written, job.lock, beforeReplace);
}

} // namespace

JournalSaver::~JournalSaver()
{
    if (m_worker.joinable())
        m_worker.join();
}

SaveOutcome JournalSaver::Run(const SaveJob &job, const RowSnapshot &rows) const
{
    SaveOutcome outcome;
    outcome.changes = job.changes;
    // The copy that could not be made at load (a full disk) is tried again; once it exists, the
    // journal may be replaced.
    if (job.journalHeld) {
        outcome.originalCopy = KeepOriginal(job.journalName).value_or("");
        if (outcome.originalCopy.empty())
            return outcome;
    }
    errno = 0;
    WriteFiles(job, rows, m_calls, outcome);
    if (!outcome.saved)
        outcome.error = errno != 0 ? errno : EIO;
    return outcome;
}

void JournalSaver::Start(SaveJob job, RowSnapshot rows, std::function<void()> finished)
{
    // The rows are let go of only once the file is written, so that freeing them does not delay
    // the save.
    m_worker = std::thread([this, job = std::move(job), rows = std::move(rows),
                            finished = std::move(finished)]() mutable {
        m_outcome = Run(job, rows);
        rows.Release(); // here, not in the UI thread's wait for this thread to end
        if (finished)
            finished();
    });
}

std::optional<SaveOutcome> JournalSaver::Finish()
{
    if (!m_worker.joinable())
        return std::nullopt;
    m_worker.join();
    return std::move(m_outcome);
}
