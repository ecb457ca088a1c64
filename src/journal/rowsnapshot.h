#pragma once

#include "journal/journalformat.h"
#include "ui/listview.h"

#include <vector>

// The rows a background save writes: taken on the UI thread when the save is due, then
// formatted and written on the save's own thread while the list goes on changing. For now a
// plain copy of every row's texts; a store of rows that can share them with a snapshot would
// make Take cheap without changing its users.
class RowSnapshot
{
public:
    static RowSnapshot Take(const ListView &list) { return RowSnapshot(list.Rows()); }

    // The journal text of the rows, as FormatJournal gives it for the list they came from.
    Text Format() const { return FormatJournal(m_rows); }
    size_t Count() const { return m_rows.size(); }
    // Frees the rows.
    void Release() { std::vector<Row>().swap(m_rows); }

private:
    explicit RowSnapshot(std::vector<Row> rows) : m_rows(std::move(rows)) {}

    std::vector<Row> m_rows;
};
