// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "entries/entrylist.h"
#include "ui/messageboxes.h"

// The Add, Update and Remove buttons. The dialog's command table wraps each handler in
// ReadForm and WriteForm; the handlers themselves work on the form and the list through
// EntryList. Each command that changes a row is one step of the entries' history; a refused
// Add, and an Update or Remove without a marked row, make none.
class EntryCommands
{
public:
    EntryCommands(EntryList &entries, MessageBoxes &boxes);

    // Inserts the form's entry as the new top row. Refuses an empty Date, and asks before
    // adding a second row with the same Date and Title. The form keeps its texts.
    void OnAdd();
    // Writes the form's texts into the marked row, without any question; an empty Date or no
    // marked row changes nothing. The columns are re-sized in every case.
    void OnUpdate();
    // Deletes the marked row only, even when more rows are selected, without asking.
    void OnRemove();
    // 1 when a row has the form's Date and Title (case-sensitive; Entry is not compared),
    // else 0. Also sets EntryCount to the number of rows.
    int FindDuplicate();

private:
    EntryList &m_entries;
    MessageBoxes &m_boxes;
};
