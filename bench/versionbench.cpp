// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping a version of the journal, beside the save it must never hold up: the save alone, the
// copy of the journal into a new version alone, the save while that copy runs on its own thread
// (as the first save of a session starts it), and the check that finds the same bytes already
// kept. Each journal is saved in a folder of its own, with its versions in a folder beside it.

#include "benchparts.h"
#include "benchsupport.h"

#include "common/textfile.h"
#include "journal/journalformat.h"
#include "journal/safesave.h"
#include "journal/versions.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <unistd.h>

namespace {

struct VersionTimes
{
    std::vector<double> save, copy, beside, copyDone, duplicate;
};

bool Kept(const KeepOutcome &outcome, KeepOutcome::Result expected)
{
    if (outcome.result == expected)
        return true;
    std::fprintf(stderr, "keeping a version failed: %s: %s\n", outcome.path.c_str(),
                 std::strerror(outcome.error));
    return false;
}

VersionTimes MeasureVersions(const BenchOptions &options, const Journal &journal)
{
    const std::string folder =
        MakeFolder(options.workFolder, "versions-" + std::to_string(journal.entries));
    const std::string path = folder + "/pw.dat";
    const std::string root = folder + "/versions";
    Text text = ReadFile(journal.Path());
    WriteFile(path, text);
    ToTextModeText(text);
    const RowStore rows =
        *ParseJournalRows(std::move(text), {}, std::numeric_limits<size_t>::max());
    SaveCalls calls;
    const auto save = [&] {
        if (!SaveFileSafely(
                path, [&](ByteOutput &out) { WriteJournalFile(rows, out); }, calls))
            std::fprintf(stderr, "the save failed\n");
    };
    const std::string realPath = *JournalRealPath(path);

    VersionTimes times;
    for (int run = 0; run < options.runs; ++run) {
        const std::time_t when = std::time(nullptr) + run;
        times.save.push_back(TimeRuns(
                                 1, [] {}, save)
                                 .front());

        std::filesystem::remove_all(root);
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        Clock::time_point start = Clock::now();
        Kept(KeepVersion(fd, realPath, root, when), KeepOutcome::Kept);
        times.copy.push_back(SecondsSince(start));
        start = Clock::now();
        Kept(KeepVersion(fd, realPath, root, when), KeepOutcome::AlreadyKept);
        times.duplicate.push_back(SecondsSince(start));
        ::close(fd);

        std::filesystem::remove_all(root);
        VersionCopy copy(root);
        start = Clock::now();
        copy.Start(path, when);
        save();
        times.beside.push_back(SecondsSince(start));
        copy.Wait();
        times.copyDone.push_back(SecondsSince(start));
        const std::optional<KeepOutcome> outcome = copy.TakeOutcome();
        if (outcome && Kept(*outcome, KeepOutcome::Kept) && run == 0 &&
            ReadFile(outcome->path) != ReadFile(journal.Path()))
            std::fprintf(stderr, "the version does not hold the journal as it was\n");
    }
    std::filesystem::remove_all(folder);
    return times;
}

} // namespace

void RunVersionBenchmark(const BenchOptions &options, const std::vector<Journal> &journals)
{
    Table table({"entries", "file", "save", "version copy", "ratio", "save beside copy", "ratio",
                 "copy done after", "same bytes found"});
    for (const Journal &journal : journals) {
        if (journal.entries == 0 || journal.shortRecords)
            continue;
        std::fprintf(stderr, "measuring the version copy at %d entries...\n", journal.entries);
        const VersionTimes times = MeasureVersions(options, journal);
        const double save = Median(times.save);
        const double copy = Median(times.copy);
        const double beside = Median(times.beside);
        if (journal.IsTargetSize()) {
            NoteTarget("save with a version copied beside it within 1.2x of the save alone: " +
                           FormatRatio(beside / save),
                       beside <= 1.2 * save);
            NoteTarget("version copy within the save's own time: " + FormatRatio(copy / save),
                       copy <= save);
        }
        table.AddRow({journal.Label(), FormatMiB(double(journal.fileBytes) / 1024.0),
                      FormatSeconds(save), FormatSeconds(copy), FormatRatio(copy / save),
                      FormatSeconds(beside), FormatRatio(beside / save),
                      FormatSeconds(Median(times.copyDone)),
                      FormatSeconds(Median(times.duplicate))});
    }
    std::printf("\nKeeping a version (medians of %d runs, fsync included; ratios to the save "
                "alone): the copy alone, the save while the copy runs on its own thread, when "
                "that copy was done, and the check that finds the same bytes already kept\n",
                options.runs);
    table.Print();
}
