// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Properties of the journal reader and writer that must hold for any file content. Shared by
// the fuzz target fuzz_journal and by tests/tst_fuzzregressions.cpp, which replays the seed
// corpus and the inputs the fuzzer once failed on in every ordinary test run. Each check
// returns an empty text when the property holds, otherwise a description of what failed.

#include "checkhelpers.h"

#include "common/textfile.h"
#include "entries/entrylist.h"
#include "journal/journalfile.h"
#include "journal/journalformat.h"
#include "journal/loadcheck.h"
#include "journal/safesave.h"
#include "support/testsupport.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

namespace fuzzchecks {

// What the text-mode read must deliver for a file holding `raw`: everything before the first
// 0x1A, each CR LF as LF.
inline Text ExpectedTextModeRead(std::string_view raw)
{
    Text text(raw.substr(0, raw.find('\x1A')));
    ReplaceAll(text, "\r\n", "\n");
    return text;
}

// A value as the journal keeps it across a save and a load: line breaks protected (CR LF and
// LF become `lineBreak`), 0x1A left out, trailing white space lost; in an entry text every
// "<br>", written or typed, comes back as CR LF.
inline Text ValueAfterSaveAndLoad(std::string_view value, std::string_view lineBreak, bool isEntry)
{
    Text kept(value);
    ReplaceAll(kept, "\r\n", lineBreak);
    ReplaceAll(kept, "\n", lineBreak);
    std::erase(kept, '\x1A');
    kept.resize(WithoutTrailingWhiteSpace(kept).size());
    if (isEntry)
        ReplaceAll(kept, "<br>", "\r\n");
    return kept;
}

// The rows a save followed by a load gives for any rows: each value as above, and a row whose
// date keeps nothing is not committed (its title and entry are overwritten by the next record's
// lines, so no other row changes).
inline std::vector<Row> RowsAfterSaveAndLoad(const std::vector<Row> &rows)
{
    std::vector<Row> kept;
    for (const Row &row : rows) {
        Row after{ValueAfterSaveAndLoad(row[0], " ", false),
                  ValueAfterSaveAndLoad(row[1], " ", false),
                  ValueAfterSaveAndLoad(row[2], "<br>", true)};
        if (!after[0].empty())
            kept.push_back(std::move(after));
    }
    return kept;
}

// Arbitrary rows from arbitrary bytes: fields separated by 0x1F, three to a row. A journal's
// bytes without 0x1F make one row whose date is the whole file, LF, CR and 0x1A included.
inline std::vector<Row> RowsFromFields(std::string_view bytes)
{
    std::vector<Row> rows;
    size_t field = 0;
    for (size_t start = 0;; ++field) {
        const size_t end = std::min(bytes.find('\x1F', start), bytes.size());
        if (field % 3 == 0)
            rows.emplace_back();
        rows.back()[field % 3] = bytes.substr(start, end - start);
        if (end == bytes.size())
            break;
        start = end + 1;
    }
    return rows;
}

inline Text CompareRows(const std::vector<Row> &actual, const std::vector<Row> &expected)
{
    if (actual.size() != expected.size())
        return "got " + std::to_string(actual.size()) + " rows, expected " +
               std::to_string(expected.size());
    for (size_t row = 0; row < actual.size(); ++row) {
        for (size_t column = 0; column < 3; ++column) {
            if (actual[row][column] != expected[row][column])
                return "row " + std::to_string(row) + " column " + std::to_string(column) + ": " +
                       ShownDifference(actual[row][column], expected[row][column]);
        }
    }
    return {};
}

// The bytes this program stores for the journal text `text`: each LF as CR LF.
inline Text StoredBytes(Text text)
{
    ReplaceAll(text, "\n", "\r\n");
    return text;
}

inline Text ShownUnloaded(const UnloadedPart &unloaded)
{
    return std::to_string(unloaded.bytes) + " bytes (kinds " + std::to_string(unloaded.kinds) + ")";
}

// The load check claims nothing for a journal this program wrote.
inline Text CheckNothingClaimedForWritten(const std::vector<Row> &rows)
{
    if (const UnloadedPart unloaded = FindUnloadedPart(StoredBytes(SavedText(rows)));
        unloaded.Any())
        return "the load check claims " + ShownUnloaded(unloaded) +
               " left out of a journal this program wrote";
    return {};
}

// When the load check claims nothing for a file, nothing of it is lost: the file ends in white
// space (and end-of-file marks) after its last line end, and each of its lines that holds
// anything is the creator line or a DATE, TITLE or ENTRY line whose value, if any, a save of the
// loaded rows writes again.
inline Text CheckNothingMissed(std::string_view bytes, const std::vector<Row> &rows)
{
    if (FindUnloadedPart(bytes).Any())
        return {};
    const auto holdsNothing = [](std::string_view part) {
        Text kept(part);
        std::erase(kept, '\x1A');
        return WithoutTrailingWhiteSpace(kept).empty();
    };
    const size_t mark = bytes.find('\x1A');
    if (mark != std::string_view::npos && !holdsNothing(bytes.substr(mark)))
        return "the load check missed the text after an end-of-file mark";
    const Text text = ExpectedTextModeRead(bytes);
    const size_t unreadFrom = text.rfind('\n') == Text::npos ? 0 : text.rfind('\n') + 1;
    if (!holdsNothing(std::string_view(text).substr(unreadFrom)))
        return "the load check missed the text after the last line end";

    const Text saved = SavedText(rows);
    std::set<std::string_view> savedLines;
    for (size_t start = 0, end; (end = saved.find('\n', start)) != Text::npos; start = end + 1)
        savedLines.insert(std::string_view(saved).substr(start, end - start));
    for (size_t start = 0, end; (end = text.find('\n', start)) != Text::npos; start = end + 1) {
        const Text line(
            WithoutTrailingWhiteSpace(std::string_view(text).substr(start, end - start)));
        if (line.empty() || line == "CREATOR=PENWICK 1.0")
            continue;
        const size_t equals = line.find('=');
        const Text key = line.substr(0, equals);
        if (key != "DATE" && key != "TITLE" && key != "ENTRY")
            return "the load check missed a line it does not know: " + Shown(line);
        if (equals != Text::npos && equals + 1 < line.size() && !savedLines.contains(line))
            return "the load check missed a value the save does not write: " + Shown(line);
    }
    return {};
}

inline Text CheckParsedRows(const std::vector<Row> &rows)
{
    for (const Row &row : rows) {
        // A record is committed only with a date; every value lost its trailing white space.
        if (row[0].empty())
            return "a row without a date was committed";
        for (const Text &value : row) {
            if (!value.empty() && Text(" \t\n\v\f\r").find(value.back()) != Text::npos &&
                !value.ends_with("\r\n"))
                return "a value kept trailing white space: " + Shown(value);
        }
    }
    // Rows read from a file are already in the form the journal keeps, so they survive a save
    // and a load unchanged.
    if (Text failure = CompareRows(LoadedRows(SavedText(rows), EntryForm{}), rows);
        !failure.empty())
        return "parsed rows do not survive format and parse: " + failure;
    return CheckNothingClaimedForWritten(rows);
}

inline Text CheckArbitraryRows(const std::vector<Row> &rows)
{
    const Text text = SavedText(rows);
    if (rows.empty() != text.empty())
        return "an empty journal text must mean no rows";
    if (text.find('\x1A') != Text::npos)
        return "the journal text holds 0x1A, which would end the file early";
    if (!text.empty() && text.back() != '\n')
        return "the journal text does not end with a line end";
    if (Text failure = CompareRows(LoadedRows(text, EntryForm{}), RowsAfterSaveAndLoad(rows));
        !failure.empty())
        return "rows do not survive format and parse as documented: " + failure;
    // The list only ever holds rows with a date, which a save keeps.
    const bool datesKept = std::all_of(rows.begin(), rows.end(), [](const Row &row) {
        return !ValueAfterSaveAndLoad(row[0], " ", false).empty();
    });
    return datesKept ? CheckNothingClaimedForWritten(rows) : Text();
}

// Writes without flushing to the disk: the fuzzer saves thousands of journals a second.
class UnsyncedSaveCalls : public SaveCalls
{
public:
    int Sync(int) override { return 0; }
};

// Loads "pw.dat" from the working directory into a fresh list through the fakes.
struct LoadedJournal
{
    FakeListView list;
    EntryForm form;
    FakeFormExchange exchange{form};
    EntryList entries{list, form, exchange};
    ScriptedBoxes boxes;
    UnsyncedSaveCalls calls;
    JournalFile journal{entries, boxes, calls};

    LoadedJournal() { journal.LoadJournal(); }
};

// Removes the copies of journals that loads kept beside them ("pw.original-<time>.dat").
inline void RemoveKeptOriginals()
{
    for (const auto &file : std::filesystem::directory_iterator(".")) {
        if (file.path().filename().string().starts_with("pw.original-"))
            std::filesystem::remove(file.path());
    }
}

inline Text CheckLoadAndSave(std::string_view bytes, const std::vector<Row> &parsedRows)
{
    LoadedJournal loaded;
    RemoveKeptOriginals();
    if (loaded.journal.JournalPartlyLoaded() != FindUnloadedPart(bytes).Any())
        return "LoadJournal and the load check differ on what was left out";
    if (Text failure = CompareRows(loaded.list.rows, parsedRows); !failure.empty())
        return "LoadJournal differs from ParseJournalRows: " + failure;
    const EntryForm &shown = loaded.exchange.controls;
    if (!shown.Date.empty() || !shown.Title.empty() || !shown.Entry.empty())
        return "the form is not cleared after loading";
    if (shown.EntryCount != int(parsedRows.size()))
        return "EntryCount after loading is " + std::to_string(shown.EntryCount);

    loaded.journal.NoteChange(); // a close without a change writes nothing
    loaded.journal.SaveJournal();
    if (!loaded.boxes.shown.empty())
        return "saving showed a box: " + loaded.boxes.shown.front().text;
    Text expectedBytes = SavedText(parsedRows);
    ReplaceAll(expectedBytes, "\n", "\r\n");
    if (const Text saved = ReadBytes("pw.dat"); saved != expectedBytes)
        return "the saved journal differs from the formatted text: " +
               ShownDifference(saved, expectedBytes);

    LoadedJournal reloaded;
    RemoveKeptOriginals();
    if (Text failure = CompareRows(reloaded.list.rows, parsedRows); !failure.empty())
        return "a save and a load changed the rows: " + failure;
    if (reloaded.journal.JournalPartlyLoaded())
        return "the journal this program saved counts as partly loaded";
    return {};
}

// Parsed rows larger than this skip the checks that copy them several times; parsing stops
// there. A title or entry carries over to every following record that lacks its own line, so
// a journal of 128 KiB could parse into more than 600 MB of rows; no journal the program
// wrote does that, since every record it writes has all three lines. Eight times the largest
// input is reached only by such carrying over, and inputs beyond it would slow the fuzzer to
// a few runs a second while adding nothing the smaller ones do not reach. The limit lies
// within what the program itself loads of a journal that small.
inline constexpr size_t copiedRowsLimit = 1024 * 1024;
static_assert(copiedRowsLimit <= JournalRowsBudget(0));

// All journal checks for `bytes` as the content of "pw.dat". The working directory must be a
// scratch folder of the caller's own: "pw.dat" is written and replaced there.
inline Text CheckJournalBytes(std::string_view bytes)
{
    WriteBytes("pw.dat", Text(bytes));
    Text text;
    if (!ReadWholeFile("pw.dat", text))
        return "reading pw.dat failed";
    ToTextModeText(text);
    if (text != ExpectedTextModeRead(bytes))
        return "the text-mode read differs: " + ShownDifference(text, ExpectedTextModeRead(bytes));

    if (Text failure = CheckArbitraryRows(RowsFromFields(bytes)); !failure.empty())
        return failure;
    const std::optional<RowStore> stored =
        ParseJournalRows(Text(text), EntryForm{}, copiedRowsLimit);
    if (!stored)
        return {};
    const std::optional<std::vector<Row>> rows = RowsOf(*stored);
    if (Text failure = CheckParsedRows(*rows); !failure.empty())
        return failure;
    if (Text failure = CheckNothingMissed(bytes, *rows); !failure.empty())
        return failure;
    return CheckLoadAndSave(bytes, *rows);
}

} // namespace fuzzchecks
