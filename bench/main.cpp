// SPDX-License-Identifier: GPL-3.0-or-later
// lumenlog-bench: how fast Lumenlog loads, saves, reports, sorts and starts with journals of
// 1,000, 10,000 and 100,000 entries and of a million short records, how its commands fare with
// the background save, and how much memory it needs. See the README's "Benchmarks" section.

#include "benchparts.h"
#include "benchsupport.h"

#include <QApplication>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <unistd.h>

namespace {

// A journal to generate: its number of entries, and whether they are short records; or one
// entry of longEntryMiB MiB.
struct Size
{
    int entries;
    bool shortRecords;
    int longEntryMiB = 0;
};

struct Arguments
{
    BenchOptions options;
    std::vector<Size> sizes = {
        {1000, false}, {10000, false}, {100000, false}, {1000000, true}, {1, false, 200}};
    std::string parentFolder;
    bool list = true;
    bool save = true;
    bool paste = true;
    bool merge = true;
    bool find = true;
    bool memory = true;
    bool startup = true;
    bool keep = false;
    std::string peakFolder; // set in the child that measures memory
};

void PrintUsage()
{
    std::printf(
        "usage: lumenlog-bench [--sizes N,N,...] [--runs N] [--dir FOLDER] [--app PROGRAM]\n"
        "                      [--no-list] [--no-save] [--no-find] [--no-paste] [--no-merge]\n"
        "                      [--no-memory] [--no-startup] [--keep]\n"
        "  --sizes    journal sizes in entries; an s after a size makes short records, a\n"
        "             one-word title and entry each; an M makes one entry of that many MiB\n"
        "             (default 1000,10000,100000,1000000s,200M)\n"
        "  --runs     runs per measurement, the median is shown (default 7, at least 5)\n"
        "  --dir      where the temporary folders go (default $TMPDIR or /tmp)\n"
        "  --app      the lumenlog program for the start-up part (default: this build's)\n"
        "  --keep     keep the generated folders\n");
}

std::vector<Size> ParseSizes(const std::string &text)
{
    std::vector<Size> sizes;
    std::stringstream list(text);
    for (std::string item; std::getline(list, item, ',');) {
        const bool shortRecords = !item.empty() && item.back() == 's';
        const bool longEntry = !item.empty() && item.back() == 'M';
        const int size = std::atoi(item.c_str());
        if (size > 0 && longEntry)
            sizes.push_back({1, false, size});
        else if (size > 0)
            sizes.push_back({size, shortRecords});
    }
    return sizes;
}

bool ParseArguments(int argc, char *argv[], Arguments &arguments)
{
    const char *tmp = std::getenv("TMPDIR");
    arguments.parentFolder = tmp && *tmp ? tmp : "/tmp";
    arguments.options.appPath = LUMENLOG_BINARY;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--sizes" && hasValue)
            arguments.sizes = ParseSizes(argv[++i]);
        else if (argument == "--runs" && hasValue)
            arguments.options.runs = std::max(5, std::atoi(argv[++i]));
        else if (argument == "--dir" && hasValue)
            arguments.parentFolder = argv[++i];
        else if (argument == "--app" && hasValue)
            arguments.options.appPath = argv[++i];
        else if (argument == "--peak-after-load" && hasValue)
            arguments.peakFolder = argv[++i];
        else if (argument == "--no-list")
            arguments.list = false;
        else if (argument == "--no-save")
            arguments.save = false;
        else if (argument == "--no-paste")
            arguments.paste = false;
        else if (argument == "--no-merge")
            arguments.merge = false;
        else if (argument == "--no-find")
            arguments.find = false;
        else if (argument == "--no-memory")
            arguments.memory = false;
        else if (argument == "--no-startup")
            arguments.startup = false;
        else if (argument == "--keep")
            arguments.keep = true;
        else
            return false;
    }
    return !arguments.sizes.empty();
}

std::string ThisProgram(const char *argv0)
{
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, size_t(length)) : std::string(argv0);
}

// The empty journal (a zero-byte pw.dat) first, then one per size.
std::vector<Journal> MakeJournals(const std::string &workFolder, const std::vector<Size> &sizes)
{
    std::vector<Journal> journals;
    Journal empty{0, false, 0, MakeFolder(workFolder, "journal-0")};
    WriteFile(empty.Path(), "");
    journals.push_back(empty);
    for (const auto &[entries, shortRecords, longEntryMiB] : sizes) {
        const std::string name = longEntryMiB > 0
                                     ? std::to_string(longEntryMiB) + "M"
                                     : std::to_string(entries) + (shortRecords ? "s" : "");
        Journal journal{entries, shortRecords, longEntryMiB,
                        MakeFolder(workFolder, "journal-" + name)};
        const std::string bytes =
            JournalBytes(longEntryMiB > 0 ? std::vector{MakeLongEntry(size_t(longEntryMiB) << 20)}
                                          : MakeEntries(entries, shortRecords));
        if (!WriteFile(journal.Path(), bytes))
            std::fprintf(stderr, "cannot write %s\n", journal.Path().c_str());
        journal.fileBytes = (long long)bytes.size();
        journals.push_back(journal);
    }
    return journals;
}

} // namespace

int main(int argc, char *argv[])
{
    Arguments arguments;
    if (!ParseArguments(argc, argv, arguments)) {
        PrintUsage();
        return 2;
    }
    // The list measurements run offscreen; the real program's start-up gets an X display.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    if (!arguments.peakFolder.empty())
        return PrintPeakAfterLoad(arguments.peakFolder);

    BenchOptions &options = arguments.options;
    options.selfPath = ThisProgram(argv[0]);
    options.workFolder = MakeFolder(arguments.parentFolder, "lumenlog-bench");
    if (options.workFolder.empty()) {
        std::fprintf(stderr, "cannot make a folder in %s\n", arguments.parentFolder.c_str());
        return 1;
    }
    const std::vector<Journal> journals = MakeJournals(options.workFolder, arguments.sizes);
    std::printf(
        "lumenlog-bench: journals in %s%s, %d runs per measurement\n", options.workFolder.c_str(),
        IsOnTmpfs(options.workFolder) ? " (tmpfs: fsync costs nothing there)" : "", options.runs);
    std::fflush(stdout);

    if (arguments.list) {
        RunListBenchmarks(options, journals);
        RunLoadCheckBenchmark(options, journals);
    }
    if (arguments.merge)
        RunMergeBenchmark(options, journals);
    if (arguments.save) {
        RunSaveBenchmark(options, journals);
        RunVersionBenchmark(options, journals);
    }
    if (arguments.paste)
        RunPasteBenchmark(options);
    if (arguments.find)
        RunFindBenchmark(options, journals);
    if (arguments.memory)
        RunMemoryBenchmark(options, journals);
    if (arguments.startup)
        RunStartupBenchmark(options, journals);

    PrintTargets();
    if (!arguments.keep)
        std::filesystem::remove_all(options.workFolder);
    return 0;
}
