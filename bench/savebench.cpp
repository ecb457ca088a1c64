// SPDX-License-Identifier: GPL-3.0-or-later
// The background save: how long each command takes to return to an idle window with it on and
// with it off, how long its change takes to reach the disk, and what the save costs the UI
// thread (the copy of the rows it takes there).
//
// Each journal is loaded by two real JournalDialogs, one with the background save and one
// without, each shown offscreen in a folder of its own (a copy of the generated journal, since
// the saves rewrite it), and driven alike, as a user drives it:
// the form's boxes are filled in, the buttons clicked, a row and a heading clicked with mouse
// events. "Idle" is when the event loop has nothing left to do.

#include "benchdialog.h"
#include "benchparts.h"

#include "app/journaldialog.h"
#include "journal/rowsnapshot.h"
#include "resources/resourceids.h"
#include "ui/qt/qtlistview.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

enum class Step { Add, Update, Remove, Click, Sort };
constexpr Step steps[] = {Step::Add, Step::Update, Step::Remove, Step::Click, Step::Sort};

const char *CommandName(Step command)
{
    switch (command) {
    case Step::Add:
        return "Add";
    case Step::Update:
        return "Update";
    case Step::Remove:
        return "Remove";
    case Step::Click:
        return "click on a row";
    case Step::Sort:
        return "sort by Title";
    }
    return "";
}

// Sets up the form for `command` (untimed), as the user does before pressing its button. Each
// Add gets a title of its own, so that no duplicate question stops it.
void Prepare(JournalDialog &dialog, Step command)
{
    static int run = 0;
    ++run;
    if (command == Step::Update || command == Step::Remove)
        ClickRow(dialog, 2);
    if (command == Step::Add || command == Step::Update) {
        dialog.ControlAs<QLineEdit>(IdDate)->setText(QStringLiteral("2024-05-01"));
        dialog.ControlAs<QLineEdit>(IdTitle)->setText(QStringLiteral("Bench %1").arg(run));
    }
    ProcessEvents();
}

void Perform(JournalDialog &dialog, Step command)
{
    switch (command) {
    case Step::Add:
        dialog.ControlAs<QPushButton>(IdAdd)->click();
        break;
    case Step::Update:
        dialog.ControlAs<QPushButton>(IdUpdate)->click();
        break;
    case Step::Remove:
        dialog.ControlAs<QPushButton>(IdRemove)->click();
        break;
    case Step::Click:
        ClickRow(dialog, 3);
        break;
    case Step::Sort:
        ClickHeading(dialog, 1);
        break;
    }
}

struct CommandTimes
{
    std::vector<double> off, on, onDisk;
};

// `off` and `on` hold the same journal, `on` with the background save.
CommandTimes MeasureCommand(const BenchOptions &options, JournalDialog &off, JournalDialog &on,
                            Step command)
{
    CommandTimes times;
    for (int run = 0; run < options.runs; ++run) {
        // Alternating which goes first, so that neither always meets a warmer cache.
        for (const bool saving : run % 2 ? std::vector{true, false} : std::vector{false, true}) {
            JournalDialog &dialog = saving ? on : off;
            Prepare(dialog, command);
            const Clock::time_point start = Clock::now();
            Perform(dialog, command);
            ProcessEvents();
            const Clock::time_point idle = Clock::now();
            (saving ? times.on : times.off)
                .push_back(std::chrono::duration<double>(idle - start).count());
            if (command == Step::Click && dialog.Form().Title != dialog.EntryListView().RowAt(3)[1])
                std::fprintf(stderr, "the click on a row did not load it into the form\n");
            if (saving && command != Step::Click)
                times.onDisk.push_back(WaitUntilSaved(dialog, idle, 10));
        }
    }
    return times;
}

std::string CopyJournal(const BenchOptions &options, const Journal &journal, const char *label)
{
    const std::string folder =
        MakeFolder(options.workFolder, "save-" + std::to_string(journal.entries) + label);
    WriteFile(folder + "/pw.dat", ReadFile(journal.Path()));
    return folder;
}

// A dialog shown on a copy of `journal`, in a folder of its own; the working folder is that one
// afterwards. Without the background save, the dialog writes nothing until it is ended.
std::unique_ptr<BenchDialog> ShowOnCopy(const BenchOptions &options, const Journal &journal,
                                        bool backgroundSave)
{
    const std::string folder = CopyJournal(options, journal, backgroundSave ? "" : "-off");
    if (::chdir(folder.c_str()) != 0)
        return nullptr;
    auto bench = std::make_unique<BenchDialog>(backgroundSave);
    bench->dialog.show();
    ProcessEvents();
    return bench;
}

} // namespace

void RunSaveBenchmark(const BenchOptions &options, const std::vector<Journal> &journals)
{
    int boxes = 0;
    Table commandTable({"entries", "command", "save off", "save on", "ratio", "on disk after"});
    Table shareTable({"entries", "copy of the rows", "start of a save", "save on its thread"});
    for (const Journal &journal : journals) {
        if (!journal.IsOrdinary())
            continue;
        std::fprintf(stderr, "measuring the background save at %d entries...\n", journal.entries);
        // The saves of `on` go to the working folder, its own: it is shown last.
        std::unique_ptr<BenchDialog> off = ShowOnCopy(options, journal, false);
        std::unique_ptr<BenchDialog> on = ShowOnCopy(options, journal, true);
        if (!off || !on)
            continue;
        JournalDialog &dialog = on->dialog;
        const bool largest = journal.IsTargetSize();

        for (const Step command : steps) {
            const CommandTimes times = MeasureCommand(options, off->dialog, dialog, command);
            const double off = Median(times.off), on = Median(times.on);
            const double onDisk = times.onDisk.empty() ? 0 : Median(times.onDisk);
            const double slowest =
                times.onDisk.empty() ? 0
                                     : *std::max_element(times.onDisk.begin(), times.onDisk.end());
            if (largest) {
                NoteTarget(std::string(CommandName(command)) +
                               " with the background save within 1.2x of without: " +
                               FormatRatio(on / off),
                           on <= 1.2 * off);
                if (!times.onDisk.empty())
                    NoteTarget(std::string(CommandName(command)) +
                                   " on disk within 1 s (slowest run): " + FormatSeconds(slowest),
                               slowest >= 0 && slowest <= 1);
            }
            commandTable.AddRow({std::to_string(journal.entries), CommandName(command),
                                 FormatSeconds(off), FormatSeconds(on), FormatRatio(on / off),
                                 times.onDisk.empty() ? "-" : FormatSeconds(onDisk)});
        }

        // The save's own parts: the copy taken on the UI thread, the whole of what the UI
        // thread does to start a save, and the formatting and writing on the save's thread.
        QtListView &list = dialog.EntryListView();
        JournalFile &file = dialog.Journal();
        std::vector<double> copies, starts, writes;
        for (int run = 0; run < options.runs; ++run) {
            Clock::time_point start = Clock::now();
            const RowSnapshot snapshot = RowSnapshot::Take(list);
            copies.push_back(SecondsSince(start));
            if (snapshot.Count() != size_t(list.RowCount()))
                std::fprintf(stderr, "the copy lost rows\n");
            file.NoteChange();
            start = Clock::now();
            file.StartBackgroundSave(nullptr);
            starts.push_back(SecondsSince(start));
            start = Clock::now();
            file.FinishBackgroundSave();
            writes.push_back(SecondsSince(start) + starts.back());
        }
        shareTable.AddRow({std::to_string(journal.entries), FormatSeconds(Median(copies)),
                           FormatSeconds(Median(starts)), FormatSeconds(Median(writes))});
        for (const BenchDialog *bench : {off.get(), on.get()})
            boxes += bench->boxes.shown + bench->boxes.questions;
    }
    if (::chdir(options.workFolder.c_str()) != 0)
        std::perror("lumenlog-bench: chdir");
    if (boxes > 0)
        std::fprintf(stderr, "%d message boxes during the save measurements\n", boxes);

    std::printf("\nCommands until the window is idle, background save off and on (medians of %d "
                "runs), and the time from then until the journal on disk holds the change\n",
                options.runs);
    commandTable.Print();
    std::printf("\nThe background save's parts (medians): on the UI thread, the copy of the rows "
                "and all it does to start a save; then the whole save until written\n");
    shareTable.Print();
}
