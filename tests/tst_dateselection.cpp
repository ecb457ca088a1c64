// SPDX-License-Identifier: GPL-3.0-or-later
#include "datepick/datecommand.h"
#include "datepick/dateselection.h"
#include "datepick/datetext.h"
#include "datepick/timevalue.h"
#include "support/scopedtimezone.h"
#include "support/testsupport.h"

#include <QtTest>

using namespace std::chrono;

class tst_DateSelection : public QObject
{
    Q_OBJECT

private slots:
    void chosenDayBecomesDate_data();
    void chosenDayBecomesDate();
    void returnWithoutChoosingGivesToday_data();
    void returnWithoutChoosingGivesToday();
    void opensOnTodayNotOnFormDate();
    void lastChosenDayCounts();
    void writeFormKeepsSelectionForInvalidTime();
    void invalidTimeFromDialogLeavesDate();
};

namespace {
class FakeCalendar : public MonthCalendar
{
public:
    CalendarDay selected{2000, 1, 1};
    int selectCalls = 0;
    CalendarDay SelectedDay() const override { return selected; }
    void SelectDay(const CalendarDay &day) override
    {
        ++selectCalls;
        selected = day;
    }
};

// Plays the Date Selection dialog on the real dialog logic with a fake calendar: opens, lets
// the user click the days in `clicks`, then closes by Return or Escape.
class ScriptedDatePicker : public DatePicker
{
public:
    std::vector<CalendarDay> clicks;
    bool pressReturn = true;
    std::optional<CalendarDay> openedOn;

    PickedDate Run(const PickedDate &start) override
    {
        FakeCalendar calendar;
        DateSelection dialog(calendar, start);
        dialog.WriteForm();
        openedOn = calendar.selected;
        for (const CalendarDay &day : clicks) {
            calendar.selected = day;
            dialog.OnSelChange();
        }
        if (pressReturn)
            dialog.ReadForm();
        dialog.OnDestroy();
        return dialog.Picked();
    }
};

struct Fixture : FakeEntries
{
    ScriptedDatePicker picker;
};

const system_clock::time_point someNoon = sys_days(2006y / 9 / 22) + 12h;

QString dateOf(const Fixture &f)
{
    return QString::fromStdString(f.exchange.controls.Date);
}
} // namespace

void tst_DateSelection::chosenDayBecomesDate_data()
{
    QTest::addColumn<QString>("zone");
    QTest::addColumn<CalendarDay>("day");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("pressReturn");
    const char *const zones[] = {"UTC", "America/New_York", "Pacific/Kiritimati", "Asia/Kolkata",
                                 "America/Sao_Paulo"};
    const struct
    {
        CalendarDay day;
        const char *text;
    } days[] = {
        {{2006, 3, 5}, "2006-03-05"},   {{2006, 12, 22}, "2006-12-22"},
        {{1969, 12, 31}, "1969-12-31"}, {{1970, 1, 1}, "1970-01-01"},
        {{1850, 6, 1}, "1850-06-01"},   {{1900, 1, 1}, "1900-01-01"},
        {{1899, 12, 31}, "1899-12-31"}, {{2038, 1, 18}, "2038-01-18"},
        {{2038, 1, 19}, "2038-01-19"},  {{2038, 1, 20}, "2038-01-20"},
        {{2040, 2, 29}, "2040-02-29"},  {{2006, 4, 2}, "2006-04-02"},
        {{2006, 10, 29}, "2006-10-29"}, {{2018, 11, 4}, "2018-11-04"},
        {{2019, 2, 16}, "2019-02-16"},
    };
    for (const char *zone : zones) {
        for (const auto &d : days) {
            QTest::addRow("%s %s Return", zone, d.text) << QString(zone) << d.day << d.text << true;
            QTest::addRow("%s %s Escape", zone, d.text)
                << QString(zone) << d.day << d.text << false;
        }
    }
    QTest::newRow("skipped day") << "Pacific/Apia" << CalendarDay{2011, 12, 30} << "2011-12-30"
                                 << true;
}

void tst_DateSelection::chosenDayBecomesDate()
{
    QFETCH(QString, zone);
    QFETCH(CalendarDay, day);
    QFETCH(QString, text);
    QFETCH(bool, pressReturn);
    ScopedTimeZone tz(zone.toStdString());
    Fixture f;
    f.picker.clicks = {day};
    f.picker.pressReturn = pressReturn;
    PickDateIntoForm(f.entries, f.picker, someNoon);
    QCOMPARE(dateOf(f), text);
}

void tst_DateSelection::returnWithoutChoosingGivesToday_data()
{
    QTest::addColumn<QString>("zone");
    QTest::addColumn<qint64>("now"); // seconds since 1970-01-01 00:00 UTC
    QTest::addColumn<QString>("today");
    const auto at = [](sys_days day, hours hour) {
        return qint64(sys_seconds(day + hour).time_since_epoch().count());
    };
    const auto add = [](const char *tag, const char *zone, qint64 now, const char *today) {
        QTest::newRow(tag) << QString(zone) << now << QString(today);
    };
    const sys_days day = 2006y / 9 / 22;
    add("noon UTC", "UTC", at(day, 12h), "2006-09-22");
    add("noon UTC in New York", "America/New_York", at(day, 12h), "2006-09-22");
    add("noon UTC at +14", "Pacific/Kiritimati", at(day, 12h), "2006-09-23");
    add("late UTC in Kolkata", "Asia/Kolkata", at(day, 20h), "2006-09-23");
    add("early UTC in New York", "America/New_York", at(day, 2h), "2006-09-21");
    add("last time value in New York", "America/New_York", qint64(INT32_MAX), "2038-01-18");
    add("clock past 2038", "UTC", at(2040y / 2 / 29, 12h), "2040-02-29");
    add("clock past 2038 at +14", "Pacific/Kiritimati", at(2040y / 2 / 29, 12h), "2040-03-01");
    add("clock before 1970", "UTC", at(1969y / 12 / 31, 12h), "1969-12-31");
}

void tst_DateSelection::returnWithoutChoosingGivesToday()
{
    QFETCH(QString, zone);
    QFETCH(qint64, now);
    QFETCH(QString, today);
    ScopedTimeZone tz(zone.toStdString());
    Fixture f;
    PickDateIntoForm(f.entries, f.picker, system_clock::time_point(seconds(now)));
    QCOMPARE(dateOf(f), today);
    QVERIFY(f.picker.openedOn);
    QCOMPARE(QString::fromStdString(DateText(*f.picker.openedOn)), today);
}

void tst_DateSelection::opensOnTodayNotOnFormDate()
{
    ScopedTimeZone tz("UTC");
    Fixture f;
    f.exchange.controls = EntryForm{"2001-01-01", "typed title", "typed\r\ntext", 5, "pic.jpg"};
    PickDateIntoForm(f.entries, f.picker, someNoon);
    QVERIFY(f.picker.openedOn == (CalendarDay{2006, 9, 22}));
    const EntryForm expected{"2006-09-22", "typed title", "typed\r\ntext", 5, "pic.jpg"};
    QCOMPARE(f.exchange.controls.Date, expected.Date);
    QCOMPARE(f.exchange.controls.Title, expected.Title);
    QCOMPARE(f.exchange.controls.Entry, expected.Entry);
    QCOMPARE(f.exchange.controls.EntryCount, expected.EntryCount);
    QCOMPARE(f.exchange.controls.ImagePath, expected.ImagePath);
}

void tst_DateSelection::lastChosenDayCounts()
{
    ScopedTimeZone tz("America/New_York");
    Fixture f;
    // A day without a time value, then one with: the second replaces the first.
    f.picker.clicks = {{1850, 6, 1}, {2006, 3, 5}};
    f.picker.pressReturn = false;
    const PickedDate picked = f.picker.Run(PickedDateAt(someNoon));
    QCOMPARE(picked.SelectedTime, LocalMidnight(CalendarDay{2006, 3, 5}).value());
    QVERIFY(!picked.dayWithoutTime);

    f.picker.clicks = {{2006, 3, 5}, {2040, 2, 29}};
    PickDateIntoForm(f.entries, f.picker, someNoon);
    QCOMPARE(dateOf(f), QString("2040-02-29"));
}

void tst_DateSelection::writeFormKeepsSelectionForInvalidTime()
{
    ScopedTimeZone tz("UTC");
    FakeCalendar calendar;
    const CalendarDay before = calendar.selected;
    DateSelection dialog(calendar, PickedDate{-5, std::nullopt});
    dialog.WriteForm();
    QCOMPARE(calendar.selectCalls, 0);
    QVERIFY(calendar.selected == before);
}

namespace {
class BrokenPicker : public DatePicker
{
public:
    PickedDate Run(const PickedDate &) override { return PickedDate{-1, std::nullopt}; }
};
} // namespace

void tst_DateSelection::invalidTimeFromDialogLeavesDate()
{
    Fixture f;
    BrokenPicker picker;
    f.exchange.controls.Date = "2006-03-05";
    PickDateIntoForm(f.entries, picker, someNoon);
    QCOMPARE(dateOf(f), QString("2006-03-05"));
}

QTEST_GUILESS_MAIN(tst_DateSelection)
#include "tst_dateselection.moc"
