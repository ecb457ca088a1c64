// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/rowstore.h"
#include "common/text.h"
#include "ui/listview.h"

#include <deque>
#include <vector>

// Undo and Redo for the commands that change the entry list's rows. Each command is carried out
// through the history, which changes the list and keeps one step for it: what the command
// changed, and the selection mark and the selection before and after it. Undo puts the rows
// back exactly, byte for byte, with the mark and selection they had before the command; Redo
// carries the command out again and restores the mark and selection it left. A new step drops
// whatever could be redone; beyond the limit the oldest steps are dropped.
//
// A step's memory is in proportion to what it changed: the texts of the rows it inserted,
// replaced or removed, or, for a new order of all rows, 4 bytes a row.
//
// The steps name rows by index, so every change to the list's rows must go through the history
// while it holds steps; after a change made around it, call Clear.
class UndoHistory
{
public:
    enum class Command { Add, Update, Remove, Sort, Merge };
    static constexpr size_t defaultLimit = 1000;

    explicit UndoHistory(ListView &list, size_t limit = defaultLimit);

    // Inserts `row` at `index`, clamped to 0..RowCount().
    void Add(int index, const Row &row);
    // Writes `texts` into `row`; a missing row changes nothing and makes no step.
    void Update(int row, const Row &texts);
    // Deletes `row`; a missing row changes nothing and makes no step.
    void Remove(int row);
    // Puts the rows in a new order, as ListView::ReorderRows does: row i then holds what row
    // order[i] held. No step when `order` is not a permutation of the rows.
    void Sort(std::vector<int> order);
    // Replaces the `count` rows from `first` on by `rows`, as one Merge step, for a change of
    // many rows at once. No step when those rows are not all in the list.
    void ReplaceRows(int first, int count, RowStore rows);

    bool CanUndo() const { return m_done > 0; }
    bool CanRedo() const { return m_done < m_steps.size(); }
    // The captions of the window menu's items: "Undo Remove", "Redo Add"; "Undo" and "Redo"
    // alone when there is nothing to undo or redo.
    Text UndoText() const;
    Text RedoText() const;
    // False, changing nothing, when there is nothing to undo or redo.
    bool Undo();
    bool Redo();
    // Forgets every step.
    void Clear();

private:
    struct Selection
    {
        int mark = -1;
        std::vector<RowRange> rows;
    };
    // The rows first..first+removed.Count()-1 were replaced by `inserted`; or, for Sort, row i
    // afterwards held what row order[i] held before.
    struct Step
    {
        Command command = Command::Add;
        Selection before, after;
        int first = 0;
        RowStore removed, inserted;
        std::vector<int> order;
    };

    void Replace(int first, int count, RowStore rows, Command command);
    void Do(Step step);
    void Forward(const Step &step);
    void Backward(const Step &step);
    void PutRows(int first, size_t count, const RowStore &rows);
    Selection CurrentSelection() const;
    void Restore(const Selection &selection);

    ListView &m_list;
    size_t m_limit;
    std::deque<Step> m_steps;
    size_t m_done = 0; // steps 0..m_done-1 are done; from m_done on they can be redone
};
