// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/listview.h"
#include "ui/qt/cellwidths.h"

#include <QTreeView>

class ByteRowModel;

// The list view of the toolkit layer: rows of byte texts under clickable headings, shown one
// line per row, with several rows selectable and the selection drawn only while the list has
// the focus. It keeps the bytes themselves, so text the display cannot show survives.
//
// The rows live in a ByteRowModel, which the view shows and changes through its interface;
// CellWidths measures their texts for the columns' widths. The view is a QTreeView, which keeps
// a layout item of about 40 bytes for every row and lays them all out again after each insert
// or sort (about 70 ms and 40 MB at a million rows, against 6 ms and 8 MB for a QTableView);
// that is within what a journal of a million short records may cost, and its keys, focus and
// selection are the list's as users know it, so it stays.
//
// Notifications: listClicked() after the view has handled a left mouse click, and for Space,
// the keyboard's click on the row under the cursor (moving with the keys sends none);
// headingClicked(column) for a click on a heading, or Ctrl with the heading's number (1 for
// the first) while the list has the focus. The list never sorts itself.
class QtListView : public QTreeView, public ListView
{
    Q_OBJECT

public:
    explicit QtListView(QWidget *parent = nullptr);
    ~QtListView() override;

    void InsertColumn(int column, const Text &heading) override;
    int HeadingCount() const override;
    int InsertRow(int index, const RowView &texts) override;
    void InsertRows(int index, RowStore rows) override;
    void SetRow(int row, const RowView &texts) override;
    bool RemoveRow(int row) override;
    int RowCount() const override;
    RowView RowAt(int row) const override;
    RowStore SnapshotRows() const override;
    void ReorderRows(std::span<const int> order) override;
    // The row last clicked or moved to with the keys, -1 when none. Only the user's own clicks
    // and keys in the list set it: the row the view makes current when it merely receives the
    // focus does not. Rows inserted above it move it down; deleting rows above it moves it up;
    // deleting the marked row itself leaves no mark; reordering takes it along with its row.
    int SelectionMark() const override { return m_mark; }
    std::vector<RowRange> SelectedRows() const override;
    // Also scrolls the marked row into view.
    void SelectRows(int mark, std::span<const RowRange> selected) override;
    void ChooseRow(int row) override;
    void AutoSizeColumn(int column, AutoSize mode) override;
    int ColumnWidth(int column) const override;
    void SetColumnWidth(int column, int width) override;
    void SetFullRowSelect() override;
    void SetRedraw(bool on) override;
    void InvalidateAndErase() override;

    void SetClickableHeadings(bool clickable);
    // The width the columns can share without a horizontal scroll bar.
    int AvailableWidth() const;

signals:
    void listClicked();
    void headingClicked(int column);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    int ContentsWidth(int column) const;
    int HeadingWidth(int column) const;
    int CellMargin() const;
    void FollowCurrentRow(const QModelIndex &current);
    // Rows were inserted at `index`: the mark moves down with its row.
    void MarkInserted(int index, int count);

    ByteRowModel *m_model;
    mutable CellWidths m_cellWidths;
    int m_mark = -1;
    bool m_userInput = false; // the view is handling the user's own mouse or key input
};
