// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The parts of the benchmark. Each prints its own table.

#include <string>
#include <vector>

// A generated journal: "pw.dat" in a folder of its own.
struct Journal
{
    int entries = 0;
    bool shortRecords = false; // a one-word title and entry text instead of the usual sizes
    int longEntryMiB = 0;      // else one entry of this many MiB of text
    std::string folder;
    long long fileBytes = 0;

    std::string Path() const { return folder + "/pw.dat"; }
    // The entry count, with " short" for a journal of short records.
    std::string Label() const
    {
        if (longEntryMiB > 0)
            return "1 of " + std::to_string(longEntryMiB) + " MiB";
        return std::to_string(entries) + (shortRecords ? " short" : "");
    }
    // A journal of many ordinary entries, which the report, sort and commands are measured on.
    bool IsOrdinary() const { return entries > 0 && !shortRecords && longEntryMiB == 0; }
    // The journal the targets for 100,000 entries are checked on.
    bool IsTargetSize() const { return entries == 100000 && !shortRecords; }
    // The journal of a million short records, with targets of its own.
    bool IsMillionShort() const { return entries == 1000000 && shortRecords; }
    // The journal of one entry of 200 MiB, with targets of its own.
    bool IsLongEntryTarget() const { return longEntryMiB == 200; }
};

struct BenchOptions
{
    int runs = 7;
    std::string workFolder; // holds every folder the benchmark makes
    std::string selfPath;   // this program, started again for the memory measurement
    std::string appPath;    // the real lumenlog binary, for the start-up measurement
};

// Load into the real list, save, and their floor; then the report and the sort.
void RunListBenchmarks(const BenchOptions &options, const std::vector<Journal> &journals);

// The one pass over a journal's bytes that finds what a load leaves out, against the floor.
void RunLoadCheckBenchmark(const BenchOptions &options, const std::vector<Journal> &journals);

// The merge of a copy into the list: two journals differing by 1% of their records, against
// the floor of loading both.
void RunMergeBenchmark(const BenchOptions &options, const std::vector<Journal> &journals);

// Each command with the background save on and off, the time until its change is on disk, and
// the save's share of the UI thread.
void RunSaveBenchmark(const BenchOptions &options, const std::vector<Journal> &journals);

// Keeping a version of each journal: the copy alone and beside the save, against the save.
void RunVersionBenchmark(const BenchOptions &options, const std::vector<Journal> &journals);
// A paste of 1 MiB into Title and into Entry, and the Add that follows, against a lone box and
// an ordinary Add.
void RunPasteBenchmark(const BenchOptions &options);
// One search through every row without a match, against memmem over the same texts; and keys
// typed into the Find window, each until the window is idle.
void RunFindBenchmark(const BenchOptions &options, const std::vector<Journal> &journals);

// Peak memory of a process that loads each journal, against one that loads an empty journal.
void RunMemoryBenchmark(const BenchOptions &options, const std::vector<Journal> &journals);
// The child side: loads the journal in `folder` into a shown main dialog and prints its peak
// resident set size in KiB.
int PrintPeakAfterLoad(const std::string &folder);

// The real program under Xvfb: time to its window and to idle, and its peak memory. `journals`
// should begin with the empty one.
void RunStartupBenchmark(const BenchOptions &options, const std::vector<Journal> &journals);
