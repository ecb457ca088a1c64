// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Plain helpers of the benchmark: timing, medians, the generated journals, the floors and the
// printed table. Nothing here knows Qt.

#include "ui/listview.h"

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start);
double Median(std::vector<double> values);

// `runs` timings of `work`, each after an untimed `prepare`.
std::vector<double> TimeRuns(int runs, const std::function<void()> &prepare,
                             const std::function<void()> &work);

// `count` entries in random order: dates from 1990 on, titles of about 30 bytes, entry texts of
// about 400 bytes in a few lines (CR LF between them); with `shortRecords` a title and an entry
// text of one word each. The same count gives the same entries.
std::vector<Row> MakeEntries(int count, bool shortRecords = false);

// One entry whose text is `bytes` long (or a little longer), in lines of about 100 bytes.
Row MakeLongEntry(size_t bytes);

// The journal file for `rows` (top row first) as it is stored: bottom row first, CR LF line
// ends, "<br>" for the line breaks of an entry text; empty for no rows.
std::string JournalBytes(const std::vector<Row> &rows);

// Whether two stores hold the same rows in the same order.
bool SameRows(const RowStore &a, const RowStore &b);

// A new folder below `parent`; empty when it could not be made.
std::string MakeFolder(const std::string &parent, const std::string &prefix);
bool WriteFile(const std::string &path, std::string_view bytes);
std::string ReadFile(const std::string &path);
long long FileSize(const std::string &path);
// Whether `path` is on a file system held in memory, where fsync costs nothing.
bool IsOnTmpfs(const std::string &path);

// The floor of loading: reads the file with one std::ifstream and splits it into lines, one
// std::string each, with std::getline. Returns the number of lines, so the work is used.
size_t ReadLinesFloor(const std::string &path);
// The floor of the report: writes `bytes` through one buffered std::ofstream.
void WriteBytesFloor(const std::string &path, std::string_view bytes);

// Peak resident set size (VmHWM) of a process in KiB, -1 when unknown.
long PeakRssKiB(pid_t pid);

// A table of left-aligned text cells, printed with columns as wide as their widest cell.
class Table
{
public:
    explicit Table(std::vector<std::string> headings);
    void AddRow(std::vector<std::string> cells);
    bool HasRows() const { return m_rows.size() > 1; }
    void Print() const;

private:
    std::vector<std::vector<std::string>> m_rows;
};

// The targets, checked where they are measured and listed at the end.
void NoteTarget(const std::string &description, bool met);
void PrintTargets();

std::string FormatSeconds(double seconds);
std::string FormatRatio(double ratio);
std::string FormatMiB(double kib);
