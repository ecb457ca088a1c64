// SPDX-License-Identifier: GPL-3.0-or-later
#include "datepick/datetext.h"
#include "datepick/qt/dateselectdialog.h"
#include "datepick/timevalue.h"
#include "resources/resourceids.h"
#include "support/calendarclicks.h"

#include <QCalendarWidget>
#include <QtTest>

class tst_DateSelectDialog : public QObject
{
    Q_OBJECT

private slots:
    void opensOnItsStartDay_data();
    void opensOnItsStartDay();
    void keysMoveTheSelection_data();
    void keysMoveTheSelection();
    void clickedDayIsPicked_data();
    void clickedDayIsPicked();
};

namespace {
// What the Date command hands the dialog for a day: its local midnight when that has a time
// value, otherwise the day itself.
PickedDate StartOn(QDate date)
{
    const CalendarDay day{date.year(), date.month(), date.day()};
    PickedDate start;
    if (const auto midnight = LocalMidnight(day))
        start.SelectedTime = *midnight;
    else
        start.dayWithoutTime = day;
    return start;
}

QString PickedText(const DateSelectDialog &dialog)
{
    return QString::fromStdString(DateText(dialog.Picked()).value_or("no date"));
}

struct ShownDateDialog
{
    DateSelectDialog dialog;
    QCalendarWidget *calendar = dialog.ControlAs<QCalendarWidget>(IdCalendar);

    explicit ShownDateDialog(const PickedDate &start) : dialog(start, nullptr)
    {
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    }
};
} // namespace

void tst_DateSelectDialog::opensOnItsStartDay_data()
{
    QTest::addColumn<PickedDate>("start");
    QTest::addColumn<QDate>("shown");
    PickedDate afternoon = StartOn(QDate(2006, 9, 22));
    afternoon.SelectedTime += 15 * 3600;
    QTest::newRow("time value in the afternoon") << afternoon << QDate(2006, 9, 22);
    QTest::newRow("day after 2038") << StartOn(QDate(2040, 2, 29)) << QDate(2040, 2, 29);
    QTest::newRow("day before 1900") << StartOn(QDate(1850, 6, 1)) << QDate(1850, 6, 1);
}

void tst_DateSelectDialog::opensOnItsStartDay()
{
    QFETCH(PickedDate, start);
    QFETCH(QDate, shown);
    ShownDateDialog shownDialog(start);
    QCalendarWidget *calendar = shownDialog.calendar;
    QCOMPARE(calendar->selectedDate(), shown);
    QCOMPARE(calendar->yearShown(), shown.year());
    QCOMPARE(calendar->monthShown(), shown.month());
    // The keyboard drives the calendar from the start.
    QVERIFY(calendar->isAncestorOf(shownDialog.dialog.focusWidget()));
    QCOMPARE(PickedText(shownDialog.dialog), shown.toString(Qt::ISODate));
}

void tst_DateSelectDialog::keysMoveTheSelection_data()
{
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("picked");
    const QDate march5(2006, 3, 5);
    QTest::newRow("Right") << march5 << QList<int>{Qt::Key_Right} << "2006-03-06";
    QTest::newRow("Left") << march5 << QList<int>{Qt::Key_Left} << "2006-03-04";
    QTest::newRow("Down") << march5 << QList<int>{Qt::Key_Down} << "2006-03-12";
    QTest::newRow("Up") << march5 << QList<int>{Qt::Key_Up} << "2006-02-26";
    QTest::newRow("Page Down") << march5 << QList<int>{Qt::Key_PageDown} << "2006-04-05";
    QTest::newRow("Page Up") << march5 << QList<int>{Qt::Key_PageUp} << "2006-02-05";
    QTest::newRow("Page Up, Right, Right")
        << march5 << QList<int>{Qt::Key_PageUp, Qt::Key_Right, Qt::Key_Right} << "2006-02-07";
    QTest::newRow("Page Up from 31 March")
        << QDate(2006, 3, 31) << QList<int>{Qt::Key_PageUp} << "2006-02-28";
    QTest::newRow("Right into the new year")
        << QDate(2006, 12, 31) << QList<int>{Qt::Key_Right} << "2007-01-01";
    QTest::newRow("Left into 1969")
        << QDate(1970, 1, 2) << QList<int>{Qt::Key_Left, Qt::Key_Left} << "1969-12-31";
    QTest::newRow("Page Up stops at the earliest day")
        << QDate(1000, 1, 15) << QList<int>{Qt::Key_PageUp} << "1000-01-01";
    QTest::newRow("Down stops at the latest day")
        << QDate(9999, 12, 28) << QList<int>{Qt::Key_Down} << "9999-12-31";
}

void tst_DateSelectDialog::keysMoveTheSelection()
{
    QFETCH(QDate, start);
    QFETCH(QList<int>, keys);
    QFETCH(QString, picked);
    ShownDateDialog shown(StartOn(start));
    QWidget *focused = shown.dialog.focusWidget();
    QVERIFY(focused);
    for (int key : keys)
        QTest::keyClick(focused, Qt::Key(key));
    QVERIFY(shown.dialog.isVisible());
    QTest::keyClick(focused, Qt::Key_Enter);
    QVERIFY(!shown.dialog.isVisible());
    QCOMPARE(shown.dialog.result(), int(TemplateDialog::ResultOk));
    QCOMPARE(PickedText(shown.dialog), picked);
    QCOMPARE(shown.calendar->selectedDate().toString(Qt::ISODate), picked);
}

void tst_DateSelectDialog::clickedDayIsPicked_data()
{
    QTest::addColumn<QDate>("day");
    QTest::addColumn<bool>("hasTimeValue");
    QTest::newRow("2006-03-05") << QDate(2006, 3, 5) << true;
    QTest::newRow("2038-01-18, the last whole day") << QDate(2038, 1, 18) << true;
    QTest::newRow("2038-01-20") << QDate(2038, 1, 20) << false;
    QTest::newRow("1969-12-31") << QDate(1969, 12, 31) << false;
    QTest::newRow("1000-01-01, the earliest day") << QDate(1000, 1, 1) << false;
}

void tst_DateSelectDialog::clickedDayIsPicked()
{
    QFETCH(QDate, day);
    QFETCH(bool, hasTimeValue);
    ShownDateDialog shown(StartOn(QDate(2006, 9, 22)));
    ClickDay(*shown.calendar, day);
    QCOMPARE(shown.calendar->selectedDate(), day);
    // Each selection change is captured at once, before the dialog ends.
    QCOMPARE(PickedText(shown.dialog), day.toString(Qt::ISODate));
    QCOMPARE(!shown.dialog.Picked().dayWithoutTime, hasTimeValue);
    if (hasTimeValue)
        QCOMPARE(shown.dialog.Picked().SelectedTime,
                 LocalMidnight({day.year(), day.month(), day.day()}).value());
}

QTEST_MAIN(tst_DateSelectDialog)
#include "tst_dateselectdialog.moc"
