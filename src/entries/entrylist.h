// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "entries/entryform.h"
#include "entries/undohistory.h"
#include "ui/formexchange.h"
#include "ui/listview.h"

// The entry list and the form that edits one entry. The list control is the only store of
// entries; the commands, the sort, the journal file and the report all work through these
// operations. The commands that change rows (Add, Update, Remove, a sort) do so through
// History(), so that each of them can be undone.
class EntryList
{
public:
    EntryList(ListView &list, EntryForm &form, FormExchange &exchange);

    ListView &List() { return m_list; }
    UndoHistory &History() { return m_history; }
    EntryForm &Form() { return m_form; }
    void ReadForm() { m_exchange.ReadForm(); }
    void WriteForm() { m_exchange.WriteForm(); }

    void SetupColumns();
    void AutoSizeColumns();
    // EntryCount := number of rows, then WriteForm.
    void RecountEntries();
    // ReadForm; Date, Title, Entry := the texts of `row` (empty for a missing row); WriteForm.
    void LoadRowIntoForm(int row);
    // Reverses the order of the rows, as one step of the history when there are two or more;
    // the mark and the selection move with their entries.
    void ReverseRows();
    void OnListClick();
    void OnClear();

private:
    ListView &m_list;
    EntryForm &m_form;
    FormExchange &m_exchange;
    UndoHistory m_history{m_list};
};
