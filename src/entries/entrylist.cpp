// SPDX-License-Identifier: GPL-3.0-or-later
#include "entries/entrylist.h"

#include <numeric>
#include <utility>
#include <vector>

namespace {
const Text columnHeadings[] = {"Date", "Title", "Entry"};
}

EntryList::EntryList(ListView &list, EntryForm &form, FormExchange &exchange)
    : m_list(list), m_form(form), m_exchange(exchange)
{
}

void EntryList::SetupColumns()
{
    for (int column = 0; column < 3; ++column)
        m_list.InsertColumn(column, columnHeadings[column]);
    m_list.SetFullRowSelect();
    AutoSizeColumns();
}

void EntryList::AutoSizeColumns()
{
    const int columns = m_list.HeadingCount();
    if (columns < 0)
        return;
    m_list.SetRedraw(false);
    for (int column = 0; column < columns; ++column) {
        m_list.AutoSizeColumn(column, ListView::AutoSize::Contents);
        const int contents = m_list.ColumnWidth(column);
        m_list.AutoSizeColumn(column, ListView::AutoSize::ContentsAndHeading);
        const int withHeading = m_list.ColumnWidth(column);
        m_list.SetColumnWidth(column, contents > withHeading ? contents : withHeading);
    }
    m_list.SetRedraw(true);
    m_list.InvalidateAndErase();
}

void EntryList::RecountEntries()
{
    m_form.EntryCount = m_list.RowCount();
    WriteForm();
}

void EntryList::LoadRowIntoForm(int row)
{
    ReadForm();
    const RowView texts = m_list.RowAt(row);
    m_form.Date = texts[0];
    m_form.Title = texts[1];
    m_form.Entry = texts[2];
    WriteForm();
}

void EntryList::ReverseRows()
{
    ReadForm();
    const int n = m_list.RowCount();
    m_form.EntryCount = n;
    // Reordering all rows at once gives the same rows as swapping pairs from the outside in,
    // without one update per swap, and the mark and selection stay with their entries.
    if (n > 1) {
        std::vector<int> order(static_cast<size_t>(n));
        std::iota(order.rbegin(), order.rend(), 0);
        m_history.Sort(std::move(order));
    }
    WriteForm();
}

void EntryList::OnListClick()
{
    LoadRowIntoForm(m_list.SelectionMark());
}

void EntryList::OnClear()
{
    ReadForm();
    m_form.Date.clear();
    m_form.Title.clear();
    m_form.Entry.clear();
    WriteForm();
}
