// Times the HTML report and the column sort for 1,000, 10,000 and 100,000 entries and
// compares each with a floor measured in the same run: for the report, writing the same
// bytes through one buffered stream; for the sort, std::stable_sort of the same keys in a
// plain vector. Run from a scratch directory: it writes the report files there.

#include "entries/columnsort.h"
#include "report/report.h"
#include "support/testsupport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

double MedianSeconds(int runs, const std::function<void()> &prepare,
                     const std::function<void()> &work)
{
    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        prepare();
        const auto start = Clock::now();
        work();
        seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
}

std::vector<Row> MakeRows(int count)
{
    std::mt19937 random(20060922);
    const auto word = [&](int length) {
        std::string text;
        for (int i = 0; i < length; ++i)
            text += char('a' + random() % 26);
        return text;
    };
    std::vector<Row> rows;
    rows.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", 1990 + int(random() % 30),
                      1 + int(random() % 12), 1 + int(random() % 28));
        rows.push_back(Row{date, word(20), word(90) + "\r\n" + word(90)});
    }
    return rows;
}

Text OneKilobyteTemplate()
{
    Text text = "<div class=\"entry\">\n<h2>#DATE# - #TITLE#</h2>\n<p>#ENTRY#</p>\n"
                "<img src=#IMAGE#\n";
    while (text.size() < 1000)
        text += "<!-- padding to make the template one kilobyte long -->\n";
    return text + "</div>\n";
}

struct Setup
{
    FakeListView list;
    EntryForm form;
    FakeFormExchange exchange{form};
    EntryList entries{list, form, exchange};
    ScriptedBoxes boxes;
    RecordingShell shell;
    Report report{entries, boxes, shell};
};

void BenchReport(int count, const char *label, const Text &lineTemplate, int runs)
{
    Setup setup;
    setup.list.rows = MakeRows(count);
    setup.exchange.controls.ImagePath = "pic.jpg";
    for (const char *name : {"Header.htm", "Footer.htm", "ReportLine.htm"})
        std::remove(name);
    const auto prepare = [&] {
        WriteBytes("ReportLine.htm", lineTemplate);
        setup.boxes.answers = {AnswerNo};
    };
    const double report = MedianSeconds(runs, prepare, [&] {
        setup.entries.ReadForm();
        setup.report.OnReport();
        setup.entries.WriteForm();
    });
    const std::string bytes = ReadBytes("Report.htm");
    const double floor = MedianSeconds(runs, [] {}, [&] {
        std::ofstream out("Floor.htm", std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
    });
    std::printf("report %-14s %7d entries %6.1f MB: %8.4f s, floor %8.4f s, ratio %5.2f\n",
                label, count, double(bytes.size()) / 1e6, report, floor, report / floor);
}

void BenchSort(int count, int column, const char *label, int runs)
{
    Setup setup;
    const std::vector<Row> unsorted = MakeRows(count);
    const double sort = MedianSeconds(runs, [&] { setup.list.rows = unsorted; },
                                      [&] { SortByColumn(setup.entries, column); });
    std::vector<std::string> keys;
    const double floor = MedianSeconds(
        runs,
        [&] {
            keys.clear();
            for (const Row &row : unsorted)
                keys.push_back(row[size_t(column)]);
        },
        [&] { std::stable_sort(keys.begin(), keys.end()); });
    std::printf("sort by %-11s %7d entries: %8.4f s, floor %8.4f s, ratio %5.2f\n", label,
                count, sort, floor, sort / floor);
}
} // namespace

int main()
{
    const Text kilobyte = OneKilobyteTemplate();
    for (const int count : {1000, 10000, 100000}) {
        const int runs = count >= 100000 ? 5 : 11;
        BenchReport(count, "no templates", "", runs);
        BenchReport(count, "1 KB template", kilobyte, runs);
        BenchSort(count, 1, "Title", runs);
        BenchSort(count, 2, "Entry", runs);
    }
    return 0;
}
