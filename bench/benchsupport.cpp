// SPDX-License-Identifier: GPL-3.0-or-later
#include "benchsupport.h"

#include "common/text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <sys/vfs.h>

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::vector<double> TimeRuns(int runs, const std::function<void()> &prepare,
                             const std::function<void()> &work)
{
    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        prepare();
        const Clock::time_point start = Clock::now();
        work();
        seconds.push_back(SecondsSince(start));
    }
    return seconds;
}

namespace {
constexpr std::array<std::string_view, 24> words = {
    "morning", "walk",   "river", "garden", "letter", "train",  "coffee", "friend",
    "rain",    "market", "quiet", "summer", "notes",  "city",   "old",    "bright",
    "dinner",  "book",   "long",  "Monday", "park",   "winter", "call",   "home"};

// Words separated by spaces until the text is at least `length` bytes long.
std::string Words(std::mt19937 &random, size_t length)
{
    std::string text;
    while (text.size() < length) {
        if (!text.empty())
            text += ' ';
        text += words[random() % words.size()];
    }
    return text;
}
} // namespace

std::vector<Row> MakeEntries(int count, bool shortRecords)
{
    std::mt19937 random(20060922u + unsigned(count));
    std::vector<Row> rows;
    rows.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", 1990 + int(random() % 35),
                      1 + int(random() % 12), 1 + int(random() % 28));
        if (shortRecords) {
            rows.push_back(Row{date, Words(random, 1), Words(random, 1)});
            continue;
        }
        std::string entry = Words(random, 120);
        for (int line = 0; line < 2; ++line)
            entry += "\r\n" + Words(random, 130);
        rows.push_back(Row{date, Words(random, 28), entry});
    }
    return rows;
}

Row MakeLongEntry(size_t bytes)
{
    std::mt19937 random(20240101u);
    std::string entry = Words(random, 100);
    entry.reserve(bytes + 200);
    while (entry.size() < bytes)
        entry += "\r\n" + Words(random, 100);
    return Row{"2024-01-01", "A very long entry", std::move(entry)};
}

bool SameRows(const RowStore &a, const RowStore &b)
{
    for (size_t row = 0; row < a.Count() && row < b.Count(); ++row) {
        if (a.At(row).texts != b.At(row).texts)
            return false;
    }
    return a.Count() == b.Count();
}

std::string JournalBytes(const std::vector<Row> &rows)
{
    if (rows.empty())
        return {};
    std::string bytes = "CREATOR=PENWICK 1.0";
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        bytes += "\r\nDATE=" + (*row)[0] + "\r\nTITLE=" + (*row)[1] + "\r\nENTRY=";
        std::string entry = (*row)[2];
        ReplaceAll(entry, "\r\n", "<br>");
        bytes += entry + "\r\n";
    }
    return bytes;
}

std::string MakeFolder(const std::string &parent, const std::string &prefix)
{
    std::string pattern = parent + "/" + prefix + "-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return {};
    return pattern;
}

bool WriteFile(const std::string &path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    return bool(out);
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
}

long long FileSize(const std::string &path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

bool IsOnTmpfs(const std::string &path)
{
    constexpr long tmpfsMagic = 0x01021994;
    struct statfs info;
    return ::statfs(path.c_str(), &info) == 0 && long(info.f_type) == tmpfsMagic;
}

size_t ReadLinesFloor(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(std::move(line));
    return lines.size();
}

void WriteBytesFloor(const std::string &path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

long PeakRssKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

Table::Table(std::vector<std::string> headings)
{
    m_rows.push_back(std::move(headings));
}

void Table::AddRow(std::vector<std::string> cells)
{
    m_rows.push_back(std::move(cells));
}

namespace {
// The columns a UTF-8 cell takes: one per character.
size_t Columns(const std::string &cell)
{
    return size_t(
        std::count_if(cell.begin(), cell.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}
} // namespace

void Table::Print() const
{
    std::vector<size_t> widths;
    for (const auto &row : m_rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], Columns(row[column]));
    }
    for (const auto &row : m_rows) {
        std::string line;
        for (size_t column = 0; column < row.size(); ++column) {
            std::string cell = row[column];
            if (column + 1 < row.size())
                cell.resize(cell.size() + widths[column] + 2 - Columns(cell), ' ');
            line += cell;
        }
        std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
}

namespace {
std::vector<std::pair<std::string, bool>> &Targets()
{
    static std::vector<std::pair<std::string, bool>> targets;
    return targets;
}
} // namespace

void NoteTarget(const std::string &description, bool met)
{
    Targets().emplace_back(description, met);
}

void PrintTargets()
{
    if (Targets().empty())
        return;
    std::printf("\nTargets (100,000 entries unless said otherwise)\n");
    for (const auto &[description, met] : Targets())
        std::printf("%-6s %s\n", met ? "met" : "MISSED", description.c_str());
}

std::string FormatSeconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4f s", seconds);
    return text;
}

std::string FormatRatio(double ratio)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2fx", ratio);
    return text;
}

std::string FormatMiB(double kib)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", kib / 1024);
    return text;
}
