// SPDX-License-Identifier: GPL-3.0-or-later
// Load, save, report and sort on the real main dialog, offscreen.
//
// Each measurement uses a real JournalDialog: its QtListView, its form exchange through the
// dialog's bound controls, and the real JournalFile, Report and SortByColumn working on them.
// The dialog is shown in an empty folder first (so its own start-up loads nothing); a
// JournalFile on that dialog's entry list then loads the journal being measured.

#include "benchdialog.h"
#include "benchparts.h"
#include "benchsupport.h"

#include "app/journaldialog.h"
#include "entries/columnsort.h"
#include "journal/journalfile.h"
#include "report/report.h"
#include "resources/resourceids.h"
#include "ui/qt/qtlistview.h"

#include <QApplication>
#include <QMenu>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <numeric>
#include <unistd.h>

namespace {

// The system's save calls, with the time spent in fsync added up.
class TimedSaveCalls : public SaveCalls
{
public:
    double syncSeconds = 0;
    int Sync(int fd) override
    {
        const Clock::time_point start = Clock::now();
        const int result = SaveCalls::Sync(fd);
        syncSeconds += SecondsSince(start);
        return result;
    }
};

void ChangeFolder(const std::string &folder)
{
    if (::chdir(folder.c_str()) != 0)
        std::fprintf(stderr, "cannot change to %s\n", folder.c_str());
}

std::unique_ptr<BenchDialog> ShowEmptyDialog(const std::string &emptyFolder)
{
    ChangeFolder(emptyFolder);
    // No background save: the commands timed here would otherwise write the list into this
    // folder while later ones are timed.
    auto bench = std::make_unique<BenchDialog>(false);
    bench->dialog.show();
    ProcessEvents();
    return bench;
}

struct LoadSaveTimes
{
    std::vector<double> floor, load, paint, save, sync;
};

// One dialog per run: the floor, the load into it and the save from it, interleaved so that
// any drift of the machine affects all three alike. Returns the last run's loaded dialog.
std::unique_ptr<BenchDialog> MeasureLoadAndSave(const BenchOptions &options, const Journal &journal,
                                                const std::string &emptyFolder,
                                                LoadSaveTimes &times)
{
    const std::string stored = ReadFile(journal.Path());
    std::unique_ptr<BenchDialog> bench;
    for (int run = 0; run < options.runs; ++run) {
        bench.reset();
        bench = ShowEmptyDialog(emptyFolder);
        JournalDialog &dialog = bench->dialog;
        ChangeFolder(journal.folder);

        Clock::time_point start = Clock::now();
        const size_t lines = ReadLinesFloor(journal.Path());
        times.floor.push_back(SecondsSince(start));
        if (lines == 0 && journal.entries > 0)
            std::fprintf(stderr, "the floor read no lines\n");

        CountingBoxes boxes;
        TimedSaveCalls calls;
        JournalFile file(dialog.Entries(), boxes, calls);
        start = Clock::now();
        file.LoadJournal();
        times.load.push_back(SecondsSince(start));
        start = Clock::now();
        ProcessEvents();
        times.paint.push_back(SecondsSince(start));
        if (dialog.EntryListView().RowCount() != journal.entries)
            std::fprintf(stderr, "loaded %d rows, expected %d\n", dialog.EntryListView().RowCount(),
                         journal.entries);

        file.NoteChange(); // a close without a change writes nothing
        start = Clock::now();
        file.SaveJournal();
        times.save.push_back(SecondsSince(start));
        times.sync.push_back(calls.syncSeconds);
        if (boxes.shown > 0 || (run == 0 && ReadFile(journal.Path()) != stored))
            std::fprintf(stderr, "the save did not give the journal back byte for byte\n");
    }
    return bench;
}

std::string KilobyteLineTemplate()
{
    std::string text = "<div class=\"entry\">\n<h2>#DATE# - #TITLE#</h2>\n<p>#ENTRY#</p>\n"
                       "<img src=#IMAGE#\n";
    while (text.size() < 1000)
        text += "<!-- padding that makes the line template one kilobyte long -->\n";
    return text + "</div>\n";
}

struct Measured
{
    double seconds;
    double floor;
    double sync = 0; // the part of `seconds` spent in fsync, where it is timed apart
};

// `runs` timings of `work` and of its floor, alternating, so that both see the same load of
// the machine; each is timed after its untimed preparation.
Measured TimePairs(int runs, const std::function<void()> &prepare,
                   const std::function<void()> &work, const std::function<void()> &prepareFloor,
                   const std::function<void()> &floor)
{
    std::vector<double> times, floors;
    for (int run = 0; run < runs; ++run) {
        const std::vector<double> time = TimeRuns(1, prepare, work);
        const std::vector<double> floorTime = TimeRuns(1, prepareFloor, floor);
        times.push_back(time.front());
        floors.push_back(floorTime.front());
    }
    return {Median(times), Median(floors)};
}

// The report on the loaded dialog, in `folder`; `lineTemplate` empty means no templates at all.
Measured MeasureReport(const BenchOptions &options, JournalDialog &dialog,
                       const std::string &folder, const std::string &lineTemplate)
{
    ChangeFolder(folder);
    CountingBoxes boxes;
    NoShell shell;
    TimedSaveCalls calls;
    std::vector<double> syncs;
    Report report(dialog.Entries(), boxes, shell, calls);
    const auto prepare = [&] {
        for (const char *name : {"Header.htm", "Footer.htm", "ReportLine.htm", "Report.htm"})
            std::filesystem::remove(name);
        if (!lineTemplate.empty())
            WriteFile("ReportLine.htm", lineTemplate);
    };
    std::string bytes;
    Measured measured = TimePairs(
        options.runs, prepare,
        [&] {
            const double syncBefore = calls.syncSeconds;
            dialog.ReadForm();
            report.OnReport();
            dialog.WriteForm();
            syncs.push_back(calls.syncSeconds - syncBefore);
        },
        // Like the report, the floor writes a new file each time.
        [&] {
            if (bytes.empty())
                bytes = ReadFile("Report.htm");
            std::filesystem::remove("Floor.htm");
        },
        [&] { WriteBytesFloor("Floor.htm", bytes); });
    if (boxes.shown > 0)
        std::fprintf(stderr, "the report showed an error\n");
    measured.sync = Median(syncs);
    return measured;
}

// Row indexes of `count` rows ordered by their texts, as `rowAt(index)` gives them.
template <typename RowAt> std::vector<int> ByTexts(size_t count, RowAt rowAt)
{
    std::vector<int> indexes(count);
    std::iota(indexes.begin(), indexes.end(), 0);
    std::sort(indexes.begin(), indexes.end(),
              [&](int a, int b) { return rowAt(a).texts < rowAt(b).texts; });
    return indexes;
}

// Puts the list's rows back in the order they have in `before`, a snapshot of the same rows.
void RestoreOrder(ListView &list, const RowStore &before)
{
    const size_t count = before.Count();
    const std::vector<int> then = ByTexts(count, [&](int row) { return before.At(size_t(row)); });
    const std::vector<int> now = ByTexts(count, [&](int row) { return list.RowAt(row); });
    // Rows with the same texts are interchangeable; row then[i] of `before` is row now[i] now.
    std::vector<int> order(count);
    for (size_t i = 0; i < count; ++i)
        order[size_t(then[i])] = now[i];
    list.ReorderRows(order);
    if (count > 0 && list.RowAt(0).texts != before.At(0).texts)
        std::fprintf(stderr, "the rows did not get their order back\n");
}

// A sort of the loaded list by `column`, from the load's order each time, until it has been
// repainted; the floor sorts the same texts in a plain vector.
Measured MeasureSort(const BenchOptions &options, JournalDialog &dialog, int column)
{
    QtListView &list = dialog.EntryListView();
    const RowStore unsorted = list.SnapshotRows();
    std::vector<std::string> keys;
    const Measured measured = TimePairs(
        options.runs,
        [&] {
            RestoreOrder(list, unsorted);
            ProcessEvents();
        },
        [&] {
            SortByColumn(dialog.Entries(), column);
            ProcessEvents();
        },
        [&] {
            keys.clear();
            for (size_t row = 0; row < unsorted.Count(); ++row)
                keys.emplace_back(unsorted.At(row)[size_t(column)]);
        },
        [&] { std::stable_sort(keys.begin(), keys.end()); });
    RestoreOrder(list, unsorted);
    return measured;
}

// The dialog's Undo, as its window menu's first item gives it.
void Undo(JournalDialog &dialog)
{
    QAction *undo = dialog.SystemMenu()->actions().front();
    if (!undo->text().startsWith("Undo"))
        std::fprintf(stderr, "the window menu's first item is not Undo\n");
    undo->trigger();
    ProcessEvents();
}

// The dialog's Undo of its sort by Title, against that sort itself (a click on the heading),
// each until repainted.
Measured MeasureUndoSort(const BenchOptions &options, JournalDialog &dialog)
{
    QtListView &list = dialog.EntryListView();
    const RowStore unsorted = list.SnapshotRows();
    const auto restore = [&] {
        RestoreOrder(list, unsorted);
        dialog.Entries().History().Clear(); // the order was put back around the history
        ProcessEvents();
    };
    const auto sort = [&] {
        ClickHeading(dialog, 1);
        ProcessEvents();
    };
    const Measured measured = TimePairs(
        options.runs,
        [&] {
            restore();
            sort();
        },
        [&] { Undo(dialog); }, restore, sort);
    restore();
    sort();
    Undo(dialog);
    if (!SameRows(list.SnapshotRows(), unsorted))
        std::fprintf(stderr, "undoing the sort did not give the rows back\n");
    return measured;
}

// The dialog's Undo of a Remove of the chosen row against that Remove, pressed, each until
// repainted.
Measured MeasureUndoRemove(const BenchOptions &options, JournalDialog &dialog)
{
    QtListView &list = dialog.EntryListView();
    const RowStore rows = list.SnapshotRows();
    const RowRange marked[] = {{2, 2}};
    const auto choose = [&] {
        list.SelectRows(2, marked);
        ProcessEvents();
    };
    const auto remove = [&] {
        dialog.ControlAs<QPushButton>(IdRemove)->click();
        ProcessEvents();
    };
    dialog.Entries().History().Clear();
    const Measured measured = TimePairs(
        options.runs,
        [&] {
            Undo(dialog); // what the last timed Remove took
            choose();
            remove();
        },
        [&] { Undo(dialog); }, choose, remove);
    Undo(dialog);
    if (!SameRows(list.SnapshotRows(), rows) ||
        list.SelectedRows() != std::vector<RowRange>{{2, 2}})
        std::fprintf(stderr, "undoing the Remove did not give the row and selection back\n");
    return measured;
}

// The time, the fsync within it when timed apart, the floor and the ratio without the fsync.
std::vector<std::string> Cells(const Measured &measured, bool withSync = false)
{
    std::vector<std::string> cells = {FormatSeconds(measured.seconds)};
    if (withSync)
        cells.push_back(FormatSeconds(measured.sync));
    cells.push_back(FormatSeconds(measured.floor));
    cells.push_back(FormatRatio((measured.seconds - measured.sync) / measured.floor));
    return cells;
}

} // namespace

void RunListBenchmarks(const BenchOptions &options, const std::vector<Journal> &journals)
{
    const std::string emptyFolder = MakeFolder(options.workFolder, "empty");
    const std::string reportFolder = MakeFolder(options.workFolder, "report");
    const std::string lineTemplate = KilobyteLineTemplate();

    Table loadTable({"entries", "file", "floor", "load", "ratio", "(paint)", "save", "ratio",
                     "(fsync)", "save-fsync", "ratio"});
    Table reportTable({"entries", "report", "no templates", "(fsync)", "floor", "ratio",
                       "1 KB template", "(fsync)", "floor", "ratio"});
    Table sortTable(
        {"entries", "sort", "by Title", "floor", "ratio", "by Entry", "floor", "ratio"});
    Table undoTable({"entries", "undo", "of a sort by Title", "the sort", "ratio", "of a Remove",
                     "the Remove", "ratio"});
    for (const Journal &journal : journals) {
        if (journal.entries == 0)
            continue;
        std::fprintf(stderr, "measuring %s entries...\n", journal.Label().c_str());
        LoadSaveTimes times;
        const std::unique_ptr<BenchDialog> bench =
            MeasureLoadAndSave(options, journal, emptyFolder, times);
        JournalDialog &dialog = bench->dialog;
        const double floor = Median(times.floor);
        const double load = Median(times.load);
        const double save = Median(times.save);
        const double sync = Median(times.sync);
        const bool largest = journal.IsTargetSize();
        if (largest) {
            NoteTarget("load within 3x floor and under 1 s: " + FormatSeconds(load) + ", " +
                           FormatRatio(load / floor),
                       load <= 3 * floor && load < 1);
            NoteTarget("save without fsync within 2x floor: " + FormatRatio((save - sync) / floor),
                       save - sync <= 2 * floor);
        }
        loadTable.AddRow({journal.Label(), FormatMiB(journal.fileBytes / 1024.0),
                          FormatSeconds(floor), FormatSeconds(load), FormatRatio(load / floor),
                          FormatSeconds(Median(times.paint)), FormatSeconds(save),
                          FormatRatio(save / floor), FormatSeconds(sync),
                          FormatSeconds(save - sync), FormatRatio((save - sync) / floor)});

        // The short records and the long entry are there for loading, memory and start-up only.
        if (!journal.IsOrdinary())
            continue;
        std::vector<std::string> reportRow = {journal.Label(), ""};
        for (const std::string &lines : {std::string(), lineTemplate}) {
            const Measured report = MeasureReport(options, dialog, reportFolder, lines);
            if (largest)
                NoteTarget(std::string("report ") +
                               (lines.empty() ? "without templates" : "with 1 KB template") +
                               " without fsync within 3x floor, under 2 s in all: " +
                               FormatSeconds(report.seconds) + ", " +
                               FormatRatio((report.seconds - report.sync) / report.floor),
                           report.seconds - report.sync <= 3 * report.floor && report.seconds < 2);
            const auto cells = Cells(report, true);
            reportRow.insert(reportRow.end(), cells.begin(), cells.end());
        }
        reportTable.AddRow(reportRow);

        std::vector<std::string> sortRow = {journal.Label(), ""};
        for (const int column : {1, 2}) {
            const Measured sort = MeasureSort(options, dialog, column);
            if (largest)
                NoteTarget(std::string("sort by ") + (column == 1 ? "Title" : "Entry") +
                               " within 3x floor and under 0.5 s: " + FormatSeconds(sort.seconds) +
                               ", " + FormatRatio(sort.seconds / sort.floor),
                           sort.seconds <= 3 * sort.floor && sort.seconds < 0.5);
            const auto cells = Cells(sort);
            sortRow.insert(sortRow.end(), cells.begin(), cells.end());
        }
        sortTable.AddRow(sortRow);

        const Measured undoSort = MeasureUndoSort(options, dialog);
        const Measured undoRemove = MeasureUndoRemove(options, dialog);
        if (largest) {
            NoteTarget(
                "undo of a sort within the sort's own time: " + FormatSeconds(undoSort.seconds) +
                    ", " + FormatRatio(undoSort.seconds / undoSort.floor),
                undoSort.seconds <= undoSort.floor);
            NoteTarget("undo of a Remove within 2x the Remove and under 0.1 s: " +
                           FormatSeconds(undoRemove.seconds) + ", " +
                           FormatRatio(undoRemove.seconds / undoRemove.floor),
                       undoRemove.seconds <= 2 * undoRemove.floor && undoRemove.seconds < 0.1);
        }
        std::vector<std::string> undoRow = {journal.Label(), ""};
        for (const Measured &undo : {undoSort, undoRemove}) {
            const auto cells = Cells(undo);
            undoRow.insert(undoRow.end(), cells.begin(), cells.end());
        }
        undoTable.AddRow(undoRow);
    }
    ChangeFolder(options.workFolder);

    std::printf("\nLoad and save (medians of %d runs; ratios to the floor: reading the file and "
                "splitting it into lines; paint and fsync are shown apart)\n",
                options.runs);
    loadTable.Print();
    if (!reportTable.HasRows())
        return;
    std::printf("\nReport (floor: writing the same bytes through one buffered stream; the report's "
                "fsync, which puts it on the disk before it replaces the previous one, is shown "
                "apart and left out of the ratio)\n");
    reportTable.Print();
    std::printf("\nSort, until repainted (floor: std::stable_sort of the same texts)\n");
    sortTable.Print();
    std::printf("\nUndo, until repainted, against the command it undoes\n");
    undoTable.Print();
}

int PrintPeakAfterLoad(const std::string &folder)
{
    ChangeFolder(folder);
    {
        BenchDialog bench;
        bench.dialog.show();
        ProcessEvents();
        std::printf("%ld\n", PeakRssKiB(::getpid()));
        std::fflush(stdout);
        // Leaving without ending the dialog: nothing is saved.
    }
    return 0;
}

void RunMemoryBenchmark(const BenchOptions &options, const std::vector<Journal> &journals)
{
    const auto peak = [&](const std::string &folder) {
        std::vector<double> peaks;
        for (int run = 0; run < 3; ++run) {
            const std::string command =
                "'" + options.selfPath + "' --peak-after-load '" + folder + "' 2>/dev/null";
            FILE *child = ::popen(command.c_str(), "r");
            long kib = -1;
            if (child) {
                if (std::fscanf(child, "%ld", &kib) != 1)
                    kib = -1;
                ::pclose(child);
            }
            peaks.push_back(double(kib));
        }
        return Median(peaks);
    };
    const double empty = peak(MakeFolder(options.workFolder, "empty-memory"));
    Table table({"entries", "file", "peak RSS", "above empty", "ratio to file"});
    table.AddRow({"0", "0", FormatMiB(empty), "", ""});
    for (const Journal &journal : journals) {
        if (journal.entries == 0)
            continue;
        const double loaded = peak(journal.folder);
        const double above = loaded - empty;
        const double ratio = above * 1024 / double(journal.fileBytes);
        if (journal.IsTargetSize())
            NoteTarget("loaded app's memory above the empty app's within 1.5x the file size: " +
                           FormatRatio(ratio),
                       ratio <= 1.5);
        if (journal.IsMillionShort())
            NoteTarget("1,000,000 short records: memory above the empty app's within 2x the file "
                       "size: " +
                           FormatRatio(ratio),
                       ratio <= 2);
        if (journal.IsLongEntryTarget())
            NoteTarget("one entry of 200 MiB: memory above the empty app's within 2x the file "
                       "size: " +
                           FormatRatio(ratio),
                       ratio <= 2);
        table.AddRow({journal.Label(), FormatMiB(journal.fileBytes / 1024.0), FormatMiB(loaded),
                      FormatMiB(above), FormatRatio(ratio)});
    }
    std::printf("\nPeak memory of the loaded main dialog, offscreen (VmHWM of a child process; "
                "median of 3)\n");
    table.Print();
}
