// SPDX-License-Identifier: GPL-3.0-or-later
#include "entries/entrycommands.h"

namespace {
const Text dateBlankText = "Date Blank.\r\nNo entry added.";
const Text dateBlankCaption = "Error";
const Text duplicateQuestion =
    "This entry is already in the list.\r\nDo you really want to add this item?";
} // namespace

EntryCommands::EntryCommands(EntryList &entries, MessageBoxes &boxes)
    : m_entries(entries), m_boxes(boxes)
{
}

void EntryCommands::OnAdd()
{
    m_entries.ReadForm();
    const EntryForm &form = m_entries.Form();
    if (form.Date.empty()) {
        m_boxes.DialogBox(dateBlankText, dateBlankCaption, BoxOk);
        return;
    }
    if (FindDuplicate() == 1 && m_boxes.AppBox(duplicateQuestion, BoxYesNo) != AnswerYes)
        return;
    m_entries.History().Add(0, Row{form.Date, form.Title, form.Entry});
    m_entries.AutoSizeColumns();
    m_entries.RecountEntries();
}

void EntryCommands::OnUpdate()
{
    m_entries.ReadForm();
    const EntryForm &form = m_entries.Form();
    // The history ignores a missing row, so no mark (-1) changes nothing and makes no step.
    if (!form.Date.empty())
        m_entries.History().Update(m_entries.List().SelectionMark(),
                                   Row{form.Date, form.Title, form.Entry});
    m_entries.AutoSizeColumns();
}

void EntryCommands::OnRemove()
{
    m_entries.History().Remove(m_entries.List().SelectionMark());
    m_entries.AutoSizeColumns();
    m_entries.RecountEntries();
}

int EntryCommands::FindDuplicate()
{
    m_entries.ReadForm();
    EntryForm &form = m_entries.Form();
    const ListView &list = m_entries.List();
    const int rows = list.RowCount();
    form.EntryCount = rows;
    // The texts where the list keeps them, and the title only when the date matches, so that
    // nothing is copied for every Add.
    for (int row = 0; row < rows; ++row) {
        const RowView texts = list.RowAt(row);
        if (CompareText(texts[0], form.Date) == 0 && CompareText(texts[1], form.Title) == 0)
            return 1;
    }
    return 0;
}
