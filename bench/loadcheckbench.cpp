// SPDX-License-Identifier: GPL-3.0-or-later
// The load check: the one pass over a journal's bytes that finds what a load leaves out, against
// the floor of loading (reading the file and splitting it into lines).

#include "benchparts.h"
#include "benchsupport.h"

#include "journal/loadcheck.h"

#include <cstdio>

void RunLoadCheckBenchmark(const BenchOptions &options, const std::vector<Journal> &journals)
{
    Table table({"entries", "file", "floor", "check", "ratio"});
    for (const Journal &journal : journals) {
        if (journal.entries == 0)
            continue;
        const std::string bytes = ReadFile(journal.Path());
        std::vector<double> floors, checks;
        UnloadedPart unloaded;
        // Alternating, so that both see the same load of the machine.
        for (int run = 0; run < options.runs; ++run) {
            Clock::time_point start = Clock::now();
            ReadLinesFloor(journal.Path());
            floors.push_back(SecondsSince(start));
            start = Clock::now();
            unloaded = FindUnloadedPart(bytes);
            checks.push_back(SecondsSince(start));
        }
        if (unloaded.Any())
            std::fprintf(stderr, "the load check found %zu bytes left out of a written journal\n",
                         unloaded.bytes);
        const double floor = Median(floors);
        const double check = Median(checks);
        table.AddRow({journal.Label(), FormatMiB(journal.fileBytes / 1024.0), FormatSeconds(floor),
                      FormatSeconds(check), FormatRatio(check / floor)});
    }
    std::printf("\nLoad check, part of every load (medians of %d runs; floor: reading the file and "
                "splitting it into lines)\n",
                options.runs);
    table.Print();
}
