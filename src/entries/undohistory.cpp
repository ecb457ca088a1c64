// SPDX-License-Identifier: GPL-3.0-or-later
#include "entries/undohistory.h"

#include <algorithm>
#include <utility>

namespace {
Text CommandName(UndoHistory::Command command)
{
    switch (command) {
    case UndoHistory::Command::Add:
        return "Add";
    case UndoHistory::Command::Update:
        return "Update";
    case UndoHistory::Command::Remove:
        return "Remove";
    case UndoHistory::Command::Sort:
        return "Sort";
    case UndoHistory::Command::Merge:
        return "Merge";
    }
    return {};
}

// A store of just this row's bytes, so that a step holds no more than the row.
RowStore OneRow(const Row &row)
{
    return RowStore::FromRows(std::span(&row, 1));
}
} // namespace

UndoHistory::UndoHistory(ListView &list, size_t limit) : m_list(list), m_limit(limit) {}

void UndoHistory::Add(int index, const Row &row)
{
    Replace(std::clamp(index, 0, m_list.RowCount()), 0, OneRow(row), Command::Add);
}

void UndoHistory::Update(int row, const Row &texts)
{
    Replace(row, 1, OneRow(texts), Command::Update);
}

void UndoHistory::Remove(int row)
{
    Replace(row, 1, RowStore(), Command::Remove);
}

void UndoHistory::Sort(std::vector<int> order)
{
    if (!NewRowIndexes(order, m_list.RowCount()))
        return;
    Step step;
    step.command = Command::Sort;
    step.order = std::move(order);
    Do(std::move(step));
}

void UndoHistory::ReplaceRows(int first, int count, RowStore rows)
{
    Replace(first, count, std::move(rows), Command::Merge);
}

void UndoHistory::Replace(int first, int count, RowStore rows, Command command)
{
    if (first < 0 || count < 0 || first > m_list.RowCount() - count)
        return;
    std::vector<Row> removed;
    removed.reserve(size_t(count));
    for (int row = first; row < first + count; ++row)
        removed.push_back(m_list.RowAt(row).ToRow());
    Step step;
    step.command = command;
    step.first = first;
    step.removed = RowStore::FromRows(removed);
    step.inserted = std::move(rows);
    Do(std::move(step));
}

Text UndoHistory::UndoText() const
{
    return CanUndo() ? "Undo " + CommandName(m_steps[m_done - 1].command) : "Undo";
}

Text UndoHistory::RedoText() const
{
    return CanRedo() ? "Redo " + CommandName(m_steps[m_done].command) : "Redo";
}

bool UndoHistory::Undo()
{
    if (!CanUndo())
        return false;
    const Step &step = m_steps[--m_done];
    Backward(step);
    Restore(step.before);
    return true;
}

bool UndoHistory::Redo()
{
    if (!CanRedo())
        return false;
    const Step &step = m_steps[m_done++];
    Forward(step);
    Restore(step.after);
    return true;
}

void UndoHistory::Clear()
{
    m_steps.clear();
    m_done = 0;
}

// Carries out a command the first time exactly as Redo does it again.
void UndoHistory::Do(Step step)
{
    step.before = CurrentSelection();
    Forward(step);
    step.after = CurrentSelection();
    m_steps.erase(m_steps.begin() + std::ptrdiff_t(m_done), m_steps.end());
    m_steps.push_back(std::move(step));
    if (m_steps.size() > m_limit)
        m_steps.pop_front();
    m_done = m_steps.size();
}

void UndoHistory::Forward(const Step &step)
{
    if (step.command == Command::Sort)
        m_list.ReorderRows(step.order);
    else
        PutRows(step.first, step.removed.Count(), step.inserted);
}

void UndoHistory::Backward(const Step &step)
{
    if (step.command == Command::Sort) {
        // Where each row went is the order that brings it back.
        if (const auto back = NewRowIndexes(step.order, m_list.RowCount()))
            m_list.ReorderRows(*back);
    } else {
        PutRows(step.first, step.inserted.Count(), step.removed);
    }
}

// Replaces the `count` rows from `first` on by `rows`; rows replaced one for one keep their
// place in the list and only change their texts.
void UndoHistory::PutRows(int first, size_t count, const RowStore &rows)
{
    if (count == rows.Count()) {
        for (size_t i = 0; i < count; ++i)
            m_list.SetRow(first + int(i), rows.At(i));
        return;
    }
    for (size_t i = 0; i < count; ++i)
        m_list.RemoveRow(first);
    if (!rows.Empty())
        m_list.InsertRows(first, rows);
}

UndoHistory::Selection UndoHistory::CurrentSelection() const
{
    return Selection{m_list.SelectionMark(), m_list.SelectedRows()};
}

void UndoHistory::Restore(const Selection &selection)
{
    m_list.SelectRows(selection.mark, selection.rows);
}
