// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/byteoutput.h"
#include "common/rowstore.h"
#include "journal/journalformat.h"
#include "ui/listview.h"

// The rows a background save writes: taken on the UI thread when the save is due, then
// formatted and written on the save's own thread while the list goes on changing. Taking it
// copies the list's index of rows only; the texts are shared with the list (see RowStore).
class RowSnapshot
{
public:
    static RowSnapshot Take(const ListView &list) { return RowSnapshot(list.SnapshotRows()); }

    // The journal file's bytes for the rows (see WriteJournalFile).
    void WriteJournal(ByteOutput &out) const { WriteJournalFile(m_rows, out); }
    size_t Count() const { return m_rows.Count(); }
    // Lets go of the rows.
    void Release() { m_rows = RowStore(); }

private:
    explicit RowSnapshot(RowStore rows) : m_rows(std::move(rows)) {}

    RowStore m_rows;
};
