// SPDX-License-Identifier: GPL-3.0-or-later
// A paste of 1 MiB into Title or Entry, and the Add and Update that follow, on the real main
// dialog, offscreen, loaded with a journal of 1,000 entries: how long the paste takes until the
// window is idle, against the same paste into a lone box of the same kind; how long the Add and
// an Update of the added row take until idle, and until the journal on disk holds the change,
// against the same for an entry of an ordinary length in the same window.

#include "benchdialog.h"
#include "benchparts.h"

#include "app/journaldialog.h"
#include "resources/resourceids.h"
#include "ui/qt/qtlistview.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

// A command's times until the window is idle and until the journal on disk holds its change.
struct CommandTimes
{
    std::vector<double> idle, onDisk;

    void Note(std::pair<double, double> times)
    {
        idle.push_back(times.first);
        onDisk.push_back(times.second);
    }
};

struct PasteTimes
{
    std::vector<double> paste, floor;
    CommandTimes add, update, ordinaryAdd, ordinaryUpdate;
};

// The text to paste: prose in lines, with LF line breaks as the clipboard gives them; a single
// line of it for a one-line box.
QString PastedText(bool oneLine)
{
    Text text = MakeLongEntry(size_t(1) << 20)[2];
    ReplaceAll(text, "\r\n", oneLine ? " " : "\n");
    text.resize(size_t(1) << 20);
    return QString::fromStdString(text);
}

void Paste(QWidget *box)
{
    if (auto *line = qobject_cast<QLineEdit *>(box))
        line->paste();
    else if (auto *lines = qobject_cast<QPlainTextEdit *>(box))
        lines->paste();
    ProcessEvents();
}

void Empty(QWidget *box)
{
    if (auto *line = qobject_cast<QLineEdit *>(box))
        line->clear();
    else if (auto *lines = qobject_cast<QPlainTextEdit *>(box))
        lines->clear();
}

// A box like `model`, of the same kind, size and font, shown in a window of its own.
std::unique_ptr<QWidget> LoneBox(QWidget *model)
{
    std::unique_ptr<QWidget> box;
    if (qobject_cast<QLineEdit *>(model)) {
        auto line = std::make_unique<QLineEdit>();
        line->setMaxLength(1 << 30);
        box = std::move(line);
    } else {
        auto lines = std::make_unique<QPlainTextEdit>();
        lines->setLineWrapMode(QPlainTextEdit::NoWrap);
        lines->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        lines->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        box = std::move(lines);
    }
    box->setFont(model->font());
    box->resize(model->size());
    box->show();
    ProcessEvents();
    return box;
}

// Clicks the button; the seconds until the window is idle and until the journal on disk holds
// the change, both from the click.
std::pair<double, double> TimeCommand(JournalDialog &dialog, int buttonId)
{
    const Clock::time_point start = Clock::now();
    dialog.ControlAs<QPushButton>(buttonId)->click();
    ProcessEvents();
    const double idle = SecondsSince(start);
    const double onDisk = WaitUntilSaved(dialog, start, 60);
    return {idle, onDisk};
}

// Removes the top row, the one just added, and waits until the journal no longer holds it.
void RemoveTopRow(JournalDialog &dialog)
{
    ClickRow(dialog, 0);
    dialog.ControlAs<QPushButton>(IdRemove)->click();
    ProcessEvents();
    WaitUntilSaved(dialog, Clock::now(), 60);
}

void SetForm(JournalDialog &dialog, const QString &title)
{
    dialog.ControlAs<QLineEdit>(IdDate)->setText(QStringLiteral("2024-05-01"));
    dialog.ControlAs<QLineEdit>(IdTitle)->setText(title);
}

// Adds the form's entry, then updates that row with another date, and removes it again.
void AddUpdateRemove(JournalDialog &dialog, CommandTimes &add, CommandTimes &update)
{
    add.Note(TimeCommand(dialog, IdAdd));
    ClickRow(dialog, 0);
    dialog.ControlAs<QLineEdit>(IdDate)->setText(QStringLiteral("2024-05-02"));
    ProcessEvents();
    update.Note(TimeCommand(dialog, IdUpdate));
    RemoveTopRow(dialog);
}

PasteTimes MeasurePaste(const BenchOptions &options, JournalDialog &dialog, int boxId)
{
    QWidget *box = dialog.Control(boxId);
    const std::unique_ptr<QWidget> lone = LoneBox(box);
    QApplication::clipboard()->setText(PastedText(boxId == IdTitle));
    auto *entry = dialog.ControlAs<QPlainTextEdit>(IdEntry);
    const int rows = dialog.EntryListView().RowCount();
    PasteTimes times;
    for (int run = 0; run < options.runs; ++run) {
        // The ordinary Add first, as a user adds entries between the long ones.
        SetForm(dialog, QStringLiteral("Ordinary %1").arg(run));
        entry->setPlainText(QStringLiteral("An entry of an ordinary length."));
        ProcessEvents();
        AddUpdateRemove(dialog, times.ordinaryAdd, times.ordinaryUpdate);

        // A title of its own, which a paste into Title goes after: no duplicate question.
        SetForm(dialog, QStringLiteral("Pasted %1 ").arg(run));
        entry->clear();
        box->setFocus();
        ProcessEvents();
        Clock::time_point start = Clock::now();
        Paste(box);
        times.paste.push_back(SecondsSince(start));

        Empty(lone.get());
        lone->setFocus();
        ProcessEvents();
        start = Clock::now();
        Paste(lone.get());
        times.floor.push_back(SecondsSince(start));

        Empty(lone.get());
        AddUpdateRemove(dialog, times.add, times.update);
        Empty(box);
        ProcessEvents();
        if (dialog.EntryListView().RowCount() != rows)
            std::fprintf(stderr, "the added rows were not all removed\n");
    }
    return times;
}

} // namespace

void RunPasteBenchmark(const BenchOptions &options)
{
    const std::string folder = MakeFolder(options.workFolder, "paste");
    WriteFile(folder + "/pw.dat", JournalBytes(MakeEntries(1000)));
    if (folder.empty() || ::chdir(folder.c_str()) != 0)
        return;
    std::fprintf(stderr, "measuring a paste of 1 MiB...\n");
    auto bench = std::make_unique<BenchDialog>();
    JournalDialog &dialog = bench->dialog;
    dialog.show();
    ProcessEvents();
    Table table({"box", "paste", "floor", "ratio", "Add", "on disk", "Update", "on disk",
                 "ordinary Add", "on disk", "ordinary Update", "on disk"});
    for (const int boxId : {IdTitle, IdEntry}) {
        const PasteTimes times = MeasurePaste(options, dialog, boxId);
        const double paste = Median(times.paste), floor = Median(times.floor);
        const char *name = boxId == IdTitle ? "Title" : "Entry";
        NoteTarget(std::string("paste of 1 MiB into ") + name +
                       " within 1.5x of a lone box: " + FormatRatio(paste / floor),
                   paste <= 1.5 * floor);
        std::vector<std::string> cells = {name, FormatSeconds(paste), FormatSeconds(floor),
                                          FormatRatio(paste / floor)};
        for (const CommandTimes *command :
             {&times.add, &times.update, &times.ordinaryAdd, &times.ordinaryUpdate}) {
            cells.push_back(FormatSeconds(Median(command->idle)));
            cells.push_back(FormatSeconds(Median(command->onDisk)));
        }
        table.AddRow(cells);
    }
    const int boxes = bench->boxes.shown + bench->boxes.questions;
    bench.reset();
    if (boxes > 0)
        std::fprintf(stderr, "%d message boxes during the paste measurements\n", boxes);
    if (::chdir(options.workFolder.c_str()) != 0)
        std::perror("lumenlog-bench: chdir");
    std::printf("\nA paste of 1 MiB into a box of the main dialog with 1,000 entries, until idle "
                "(medians of %d runs; floor: the same paste into a lone box of that kind); the Add "
                "that follows and an Update of that row, until idle and until on disk (from the "
                "click); the same for an entry of an ordinary length\n",
                options.runs);
    table.Print();
}
