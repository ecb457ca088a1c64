// SPDX-License-Identifier: GPL-3.0-or-later
// Find: one search through every row without a match, against memmem over the same texts, and
// the time a key typed into the Find window takes to be handled.
//
// Each journal is loaded by a real JournalDialog, shown offscreen in the journal's folder; the
// search runs on its real list view, and keys reach the real Find window as QKeyEvents. The
// dialog is left without ending it, so nothing is saved.

#include "benchdialog.h"
#include "benchparts.h"
#include "benchsupport.h"

#include "app/journaldialog.h"
#include "find/entrysearch.h"
#include "find/qt/findwindow.h"
#include "ui/qt/qtlistview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace {

// Needles no generated entry holds: one that begins as a frequent word does ("river"), so that
// many places are tried, and two with letters beyond ASCII, the second one at the start.
const char *const needles[] = {"riverbank", "Zürich", "été"};

// The processor time this thread has used: on a machine that other work keeps busy, the part of
// a search's time that was its own.
double ThreadSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The floor: memmem of the needle's bytes in each text, as a case-sensitive byte search does.
size_t MemmemFloor(const RowStore &rows, std::string_view needle)
{
    size_t found = 0;
    for (size_t row = 0; row < rows.Count(); ++row) {
        const RowView texts = rows.At(row);
        for (const std::string_view text : texts.texts)
            found += ::memmem(text.data(), text.size(), needle.data(), needle.size()) != nullptr;
    }
    return found;
}

struct SearchTimes
{
    std::vector<double> floor, find, floorCpu, findCpu;
};

SearchTimes MeasureSearch(const BenchOptions &options, const ListView &list, const char *needle)
{
    const RowStore rows = list.SnapshotRows();
    const TextMatcher matcher(needle, false);
    SearchTimes times;
    for (int run = 0; run < options.runs; ++run) {
        Clock::time_point start = Clock::now();
        double cpu = ThreadSeconds();
        if (MemmemFloor(rows, needle) != 0)
            std::fprintf(stderr, "the floor found \"%s\"\n", needle);
        times.floor.push_back(SecondsSince(start));
        times.floorCpu.push_back(ThreadSeconds() - cpu);
        start = Clock::now();
        cpu = ThreadSeconds();
        if (FindRow(list, matcher, -1, FindDirection::Next).row >= 0)
            std::fprintf(stderr, "the search found \"%s\"\n", needle);
        times.find.push_back(SecondsSince(start));
        times.findCpu.push_back(ThreadSeconds() - cpu);
    }
    return times;
}

void PressKey(QWidget *target, int key, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

struct TypingTimes
{
    std::vector<double> slowestKey, key, findNext;
};

// Types a word into the Find window key by key, each timed until the window is idle, then
// presses Return, which searches every row without finding it.
TypingTimes MeasureTyping(const BenchOptions &options, JournalDialog &dialog)
{
    auto *find = dialog.findChild<FindWindow *>();
    find->ShowFind();
    auto *box = find->findChild<QLineEdit *>();
    ProcessEvents();
    TypingTimes times;
    const QString word = QStringLiteral("riverbank");
    for (int run = 0; run < options.runs; ++run) {
        box->clear();
        ProcessEvents();
        double slowest = 0;
        for (const QChar c : word) {
            const Clock::time_point start = Clock::now();
            PressKey(box, Qt::Key_A + (c.unicode() - 'a'), QString(c));
            ProcessEvents();
            times.key.push_back(SecondsSince(start));
            slowest = std::max(slowest, times.key.back());
        }
        times.slowestKey.push_back(slowest);
        const Clock::time_point start = Clock::now();
        PressKey(box, Qt::Key_Return, QStringLiteral("\r"));
        ProcessEvents();
        times.findNext.push_back(SecondsSince(start));
    }
    find->hide();
    return times;
}

std::string Milliseconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f ms", seconds * 1000);
    return text;
}

} // namespace

void RunFindBenchmark(const BenchOptions &options, const std::vector<Journal> &journals)
{
    Table searchTable(
        {"entries", "needle", "memmem", "find", "ratio", "(memmem CPU)", "(find CPU)", "ratio"});
    Table typingTable({"entries", "key (median)", "slowest key", "Return (Find Next)"});
    for (const Journal &journal : journals) {
        if (journal.entries == 0)
            continue;
        std::fprintf(stderr, "finding in %s entries...\n", journal.Label().c_str());
        if (::chdir(journal.folder.c_str()) != 0)
            continue;
        BenchDialog bench(false);
        JournalDialog &dialog = bench.dialog;
        dialog.show();
        ProcessEvents();
        for (const char *needle : needles) {
            const SearchTimes times = MeasureSearch(options, dialog.EntryListView(), needle);
            const double floor = Median(times.floor);
            const double find = Median(times.find);
            if (journal.IsMillionShort())
                NoteTarget(std::string("1,000,000 short records: finding \"") + needle +
                               "\" within 3x memmem and under 50 ms: " + Milliseconds(find) + ", " +
                               FormatRatio(find / floor),
                           find <= 3 * floor && find < 0.05);
            const double floorCpu = Median(times.floorCpu);
            const double findCpu = Median(times.findCpu);
            searchTable.AddRow({journal.Label(), needle, Milliseconds(floor), Milliseconds(find),
                                FormatRatio(find / floor), Milliseconds(floorCpu),
                                Milliseconds(findCpu), FormatRatio(findCpu / floorCpu)});
        }
        const TypingTimes typing = MeasureTyping(options, dialog);
        const double slowest = Median(typing.slowestKey);
        if (journal.IsTargetSize())
            NoteTarget("typing in the Find window, slowest key idle within one frame (16 ms): " +
                           Milliseconds(slowest),
                       slowest < 0.016);
        typingTable.AddRow({journal.Label(), Milliseconds(Median(typing.key)),
                            Milliseconds(slowest), Milliseconds(Median(typing.findNext))});
    }
    if (::chdir(options.workFolder.c_str()) != 0)
        std::fprintf(stderr, "cannot change to %s\n", options.workFolder.c_str());

    std::printf("\nFind through every row without a match, ignoring case (medians of %d runs; "
                "floor: memmem of the needle in each text; the processor time of the thread "
                "apart)\n",
                options.runs);
    searchTable.Print();
    std::printf("\nTyping \"riverbank\" into the Find window, each key until idle, then Return "
                "(medians; slowest key: the median over runs of each run's slowest)\n");
    typingTable.Print();
}
