// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Fakes of the toolkit interfaces for logic tests: a list that records its rows, a form whose
// "controls" are plain texts, and message boxes that answer from a script.

#include "entries/entryform.h"
#include "entries/entrylist.h"
#include "ui/formexchange.h"
#include "ui/listview.h"
#include "ui/messageboxes.h"
#include "ui/shell.h"

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class FakeListView : public ListView
{
public:
    // Widths are 7 units per byte, so tests can predict them.
    static constexpr int unitsPerByte = 7;
    int clientWidth = 600;
    int selectionMark = -1;
    std::vector<RowRange> selection; // kept as given, not moved with the rows
    bool hasHeader = true;
    std::vector<Text> headings;
    std::vector<int> widths;
    std::vector<Row> rows;
    int redrawOffCount = 0;

    void InsertColumn(int column, const Text &heading) override;
    int HeadingCount() const override;
    int InsertRow(int index, const RowView &texts) override;
    void InsertRows(int index, RowStore newRows) override;
    void SetRow(int row, const RowView &texts) override;
    bool RemoveRow(int row) override;
    int RowCount() const override;
    RowView RowAt(int row) const override;
    RowStore SnapshotRows() const override { return RowStore::FromRows(rows); }
    // Moves the rows and the mark with them.
    void ReorderRows(std::span<const int> order) override;
    int SelectionMark() const override { return selectionMark; }
    std::vector<RowRange> SelectedRows() const override { return selection; }
    void SelectRows(int mark, std::span<const RowRange> selected) override
    {
        selectionMark = mark;
        selection.assign(selected.begin(), selected.end());
    }
    void ChooseRow(int row) override
    {
        if (row >= 0 && row < RowCount())
            SelectRows(row, std::vector<RowRange>{{row, row}});
    }
    void AutoSizeColumn(int column, AutoSize mode) override;
    int ColumnWidth(int column) const override;
    void SetColumnWidth(int column, int width) override;
    void SetFullRowSelect() override {}
    void SetRedraw(bool on) override { redrawOffCount += on ? 0 : 1; }
    void InvalidateAndErase() override {}
};

// The form's controls as plain fields; ReadForm and WriteForm copy between them and the form.
class FakeFormExchange : public FormExchange
{
public:
    explicit FakeFormExchange(EntryForm &form) : m_form(form) {}
    EntryForm controls;
    int reads = 0;
    int writes = 0;
    void ReadForm() override;
    void WriteForm() override;

private:
    EntryForm &m_form;
};

// An entry list over the fakes, as the logic tests start from.
struct FakeEntries
{
    FakeListView list;
    EntryForm form;
    FakeFormExchange exchange{form};
    EntryList entries{list, form, exchange};
};

struct ShownBox
{
    Text text;
    Text caption; // the application title for application boxes
    BoxType type;
    bool application;
};

// Answers boxes from `answers` in order (AnswerOk once they run out) and records each box.
class ScriptedBoxes : public MessageBoxes
{
public:
    static constexpr const char *appTitle = "Penwick";
    std::deque<int> answers;
    std::vector<ShownBox> shown;
    std::function<void()> whileShown; // run once inside the next box, as its event loop would
    int DialogBox(const Text &text, const Text &caption, BoxType type) override;
    int AppBox(const Text &text, BoxType type) override;
    // Recorded as a Yes/No box, with "accept|decline" after the caption.
    int ChoiceBox(const Text &text, const Text &caption, const Text &accept,
                  const Text &decline) override;

private:
    int Next(BoxType type);
};

class RecordingShell : public Shell
{
public:
    std::vector<Text> opened;
    bool Open(const Text &target) override
    {
        opened.push_back(target);
        return true;
    }
};

// The rows of a store, top row first.
std::vector<Row> RowsOf(const RowStore &store);

// The text of a row's cell, as the list keeps it; empty for a missing row.
Text CellText(const ListView &list, int row, int column);

// The rows the load gives for a journal text (LF line ends, as a text-mode read delivers it),
// through the load's own parse without a budget.
std::vector<Row> LoadedRows(std::string_view text, const EntryForm &start = {});
// The journal file the save writes for `rows`, as stored and as a text-mode read delivers it.
Text SavedBytes(const std::vector<Row> &rows);
Text SavedText(const std::vector<Row> &rows);

// Reads or writes a whole file as raw bytes, for comparing what the program stored.
std::string ReadBytes(const std::string &path);
void WriteBytes(const std::string &path, const std::string &bytes);
