// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractItemView>
#include <QCalendarWidget>
#include <QtTest>

// Chooses `day` on a calendar as a user does: turns to its month, then clicks its cell.
inline void ClickDay(QCalendarWidget &calendar, QDate day)
{
    calendar.setCurrentPage(day.year(), day.month());
    auto *grid = calendar.findChild<QAbstractItemView *>();
    QVERIFY(grid);
    const QAbstractItemModel *cells = grid->model();
    // The grid starts with the previous month's last days; the month begins at the first "1".
    bool inMonth = false;
    for (int row = 0; row < cells->rowCount(); ++row) {
        for (int column = 0; column < cells->columnCount(); ++column) {
            const QModelIndex cell = cells->index(row, column);
            const int number = cells->data(cell).toInt();
            inMonth = inMonth || number == 1;
            if (inMonth && number == day.day()) {
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                                  grid->visualRect(cell).center());
                return;
            }
        }
    }
    QFAIL("the day has no cell");
}
