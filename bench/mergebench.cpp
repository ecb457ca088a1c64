// SPDX-License-Identifier: GPL-3.0-or-later
// The merge of a copy another computer wrote into the list: two journals of each size that
// differ by 1% of their records, against the floor of loading both.

#include "benchdialog.h"
#include "benchparts.h"
#include "benchsupport.h"

#include "common/textfile.h"
#include "journal/journalformat.h"
#include "journal/recordmerge.h"
#include "journal/versions.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

namespace {

// The journal's rows as a load gives them.
RowStore Load(const std::string &bytes)
{
    Text text = bytes;
    ToTextModeText(text);
    return *ParseJournalRows(std::move(text), EntryForm{}, std::numeric_limits<size_t>::max());
}

// Both sides grown from `base`, each with a quarter of `differing` records removed and a
// quarter added: ours adds new entries at the top, theirs edits half of its quarter in place
// and adds the other half at the top.
void MakeSides(const std::vector<Row> &base, int differing, std::vector<Row> &ours,
               std::vector<Row> &theirs)
{
    const int quarter = std::max(2, differing / 4);
    const size_t stride = base.size() / size_t(2 * quarter);
    ours.clear();
    theirs.clear();
    for (size_t row = 0; row < base.size(); ++row) {
        const size_t step = row % stride;
        if (step != 1 || row / stride >= size_t(quarter))
            ours.push_back(base[row]);
        if (step == 2 && row / stride < size_t(quarter / 2))
            theirs.push_back({base[row][0], base[row][1], base[row][2] + " (edited)"});
        else if (step != 3 || row / stride >= size_t(quarter / 2))
            theirs.push_back(base[row]);
    }
    std::vector<Row> oursAdded, theirsAdded;
    for (int added = 0; added < quarter; ++added) {
        oursAdded.push_back({"2026-12-10", "Added here " + std::to_string(added), "x"});
        if (added < quarter / 2)
            theirsAdded.push_back({"2026-12-10", "Added there " + std::to_string(added), "y"});
    }
    ours.insert(ours.begin(), oursAdded.begin(), oursAdded.end());
    theirs.insert(theirs.begin(), theirsAdded.begin(), theirsAdded.end());
}

// The base kept as the journal's only version, below `root`.
bool KeepBase(const std::string &folder, const std::string &baseBytes, const std::string &root)
{
    const std::string file = folder + "/base.dat";
    const std::optional<std::string> journal = JournalRealPath(folder + "/pw.dat");
    const int fd = WriteFile(file, baseBytes) ? ::open(file.c_str(), O_RDONLY) : -1;
    const bool kept = fd >= 0 && journal &&
                      KeepVersion(fd, *journal, root, 1765022400).result == KeepOutcome::Kept;
    if (fd >= 0)
        ::close(fd);
    ::unlink(file.c_str());
    return kept;
}

// The merge as the window does it when Merge is answered: the copy found beside the journal,
// read, its base chosen among the kept versions read from their files, the merge, and the
// list's rows replaced as one step of the history, sized, counted and repainted. Each run
// merges a new copy (each is offered once a run); the step is undone between runs.
std::vector<double> MeasureWiredMerge(const BenchOptions &options, const std::string &oursBytes,
                                      const std::string &theirsBytes, const std::string &baseBytes,
                                      size_t &rowsAfter)
{
    std::vector<double> times;
    const std::string folder = MakeFolder(options.workFolder, "merge");
    const std::string data = folder + "/data";
    const char *oldData = std::getenv("XDG_DATA_HOME");
    const std::string previousData = oldData ? oldData : "";
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    if (folder.empty() || !WriteFile(folder + "/pw.dat", oursBytes) ||
        !KeepBase(folder, baseBytes, VersionsRoot()) || ::chdir(folder.c_str()) != 0) {
        std::fprintf(stderr, "the merge benchmark could not set up %s\n", folder.c_str());
        return times;
    }
    BenchDialog bench(false);
    bench.boxes.choiceAnswer = AnswerYes;
    bench.dialog.show();
    ProcessEvents();
    EntryList &entries = bench.dialog.Entries();
    int run = 0;
    times = TimeRuns(
        options.runs,
        [&] {
            if (entries.History().CanUndo())
                entries.History().Undo();
            ProcessEvents();
            WriteFile(folder + "/pw.sync-conflict-20261210-1010" + std::to_string(10 + run++) +
                          "-ABCDEFG.dat",
                      theirsBytes);
        },
        [&] {
            bench.dialog.OfferMerge();
            ProcessEvents();
        });
    rowsAfter = size_t(entries.List().RowCount());
    bench.dialog.hide();
    if (oldData)
        ::setenv("XDG_DATA_HOME", previousData.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
    if (::chdir(options.workFolder.c_str()) != 0)
        std::fprintf(stderr, "cannot change to %s\n", options.workFolder.c_str());
    return times;
}

} // namespace

void RunMergeBenchmark(const BenchOptions &options, const std::vector<Journal> &journals)
{
    Table table({"entries", "differing", "floor", "base", "ratio", "merge", "ratio", "summary"});
    for (const Journal &journal : journals) {
        if (journal.entries < 1000)
            continue;
        const std::vector<Row> base = MakeEntries(journal.entries, journal.shortRecords);
        const int differing = journal.entries / 100;
        std::vector<Row> oursRows, theirsRows;
        MakeSides(base, differing, oursRows, theirsRows);
        const std::string oursBytes = JournalBytes(oursRows);
        const std::string theirsBytes = JournalBytes(theirsRows);
        const RowStore baseStore = Load(JournalBytes(base));
        const RowStore ours = Load(oursBytes);
        const RowStore theirs = Load(theirsBytes);
        const auto loadVersion = [&](size_t) -> std::optional<RowStore> { return baseStore; };

        std::vector<double> floors, bases, merges;
        MergeResult result;
        // Alternating, so that all see the same load of the machine.
        for (int run = 0; run < options.runs; ++run) {
            Clock::time_point start = Clock::now();
            const size_t loaded = Load(oursBytes).Count() + Load(theirsBytes).Count();
            floors.push_back(SecondsSince(start));
            start = Clock::now();
            const MergeBase found = FindMergeBase(theirs, 1, loadVersion);
            bases.push_back(SecondsSince(start));
            start = Clock::now();
            result = MergeRecords(found.rows, ours, theirs);
            merges.push_back(SecondsSince(start));
            if (loaded != ours.Count() + theirs.Count() || !found.version)
                std::fprintf(stderr, "the merge benchmark loaded its journals wrongly\n");
        }
        const double floor = Median(floors);
        const double merge = Median(merges);
        if (journal.IsTargetSize()) {
            NoteTarget("merge of two journals differing by " + std::to_string(differing) +
                           " records under 0.5 s: " + FormatSeconds(merge),
                       merge < 0.5);
            size_t rows = 0;
            const double wired = Median(
                MeasureWiredMerge(options, oursBytes, theirsBytes, JournalBytes(base), rows));
            std::printf("\nThe same merge as the window does it, from the files to the list "
                        "repainted: %s (%s the floor), %zu rows after it\n",
                        FormatSeconds(wired).c_str(), FormatRatio(wired / floor).c_str(), rows);
            if (rows != result.rows.Count())
                std::fprintf(stderr, "the window merged to %zu rows, not %zu\n", rows,
                             result.rows.Count());
        }
        table.AddRow({journal.Label(), std::to_string(differing), FormatSeconds(floor),
                      FormatSeconds(Median(bases)), FormatRatio(Median(bases) / floor),
                      FormatSeconds(merge), FormatRatio(merge / floor), result.summary.Describe()});
    }
    std::printf("\nMerge of a copy into the list (medians of %d runs; floor: loading both "
                "journals from memory; base: choosing the base among one kept version)\n",
                options.runs);
    table.Print();
}
