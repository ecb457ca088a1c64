// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/rowstore.h"
#include "common/text.h"

#include <optional>
#include <span>
#include <vector>

// Rows `first` to `last` (both included) of a list's selection.
struct RowRange
{
    int first = 0;
    int last = 0;
    friend bool operator==(const RowRange &, const RowRange &) = default;
};

// A list view in report mode whose rows hold byte texts. Rows are identified by index, 0 at
// the top; an operation on a missing row or column is ignored (reads give an empty text).
class ListView
{
public:
    enum class AutoSize {
        Contents,           // fit the column to its contents
        ContentsAndHeading, // fit to contents and heading; the last column fills the rest
    };

    virtual ~ListView() = default;

    // Left aligned, no width.
    virtual void InsertColumn(int column, const Text &heading) = 0;
    // The number of columns, each under its heading; -1 when the list has no heading control.
    virtual int HeadingCount() const = 0;

    // Inserts a row holding `texts` at `index` (clamped to 0..RowCount()); returns the index
    // it got.
    virtual int InsertRow(int index, const RowView &texts) = 0;
    // Inserts many rows at once at `index`, in the given order; the same as InsertRow for each
    // of them, without the per-row cost.
    virtual void InsertRows(int index, RowStore rows) = 0;
    // Replaces the texts of `row`, all at once.
    virtual void SetRow(int row, const RowView &texts) = 0;
    // False when there is no such row.
    virtual bool RemoveRow(int row) = 0;
    virtual int RowCount() const = 0;

    // The texts of one row without copying them (three empty texts for a missing row); valid
    // until the rows change.
    virtual RowView RowAt(int row) const = 0;
    // All rows as they are now, unaffected by later changes to the list and readable on any
    // thread; cheap, since it shares the texts with the list.
    virtual RowStore SnapshotRows() const = 0;
    // Puts the rows in a new order: row i then holds what row order[i] held. `order` must be a
    // permutation of 0..RowCount()-1, or nothing changes. The rows take their selection
    // mark, selection and keyboard focus with them, so that these keep naming the same entries.
    virtual void ReorderRows(std::span<const int> order) = 0;

    // The row the user last clicked or moved to with the keys, or -1.
    virtual int SelectionMark() const = 0;
    // The selected rows as ranges, top first, none overlapping or touching another.
    virtual std::vector<RowRange> SelectedRows() const = 0;
    // Makes `mark` the selection mark and the row under the keyboard's cursor (-1: none) and
    // exactly the rows of `selected` the selection; rows the list does not have are left out.
    // The keyboard's focus stays where it is.
    virtual void SelectRows(int mark, std::span<const RowRange> selected) = 0;
    // Makes `row` the chosen one, as the user's click on it does: the selection mark, the only
    // selected row and the cursor's, and the list has its window's focus; the list scrolls to
    // show it. Ignored for a missing row.
    virtual void ChooseRow(int row) = 0;

    virtual void AutoSizeColumn(int column, AutoSize mode) = 0;
    virtual int ColumnWidth(int column) const = 0;
    virtual void SetColumnWidth(int column, int width) = 0;

    // Replaces the extended style word with full-row selection.
    virtual void SetFullRowSelect() = 0;
    virtual void SetRedraw(bool on) = 0;
    virtual void InvalidateAndErase() = 0;
};

// The inverse of a row order for ListView::ReorderRows: the new index of each row, by its old
// index. Nothing when `order` is not a permutation of 0..count-1.
std::optional<std::vector<int>> NewRowIndexes(std::span<const int> order, int count);
