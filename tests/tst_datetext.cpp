// SPDX-License-Identifier: GPL-3.0-or-later
#include "datepick/datetext.h"
#include "datepick/timevalue.h"
#include "support/scopedtimezone.h"

#include <QtTest>

#include <limits>

using namespace std::chrono;

class tst_DateText : public QObject
{
    Q_OBJECT

private slots:
    void dateText_data();
    void dateText();
    void localMidnight_data();
    void localMidnight();
    void localDayOfTime_data();
    void localDayOfTime();
    void timeValueOfNow_data();
    void timeValueOfNow();
    void midnightGivesItsDayBack_data();
    void midnightGivesItsDayBack();
};

namespace {
constexpr std::int32_t maxTime = std::numeric_limits<std::int32_t>::max();
constexpr qint64 none = std::numeric_limits<qint64>::min();

const char *const zones[] = {"UTC",          "America/New_York",  "Pacific/Kiritimati",
                             "Asia/Kolkata", "America/Sao_Paulo", "Pacific/Apia"};

QString dayText(const std::optional<CalendarDay> &day)
{
    return day ? QString::fromStdString(DateText(*day)) : QString("none");
}
} // namespace

void tst_DateText::dateText_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<QString>("text");
    QTest::newRow("March") << 2006 << 3 << 5 << "2006-03-05";
    QTest::newRow("December") << 2006 << 12 << 22 << "2006-12-22";
    QTest::newRow("before 1900") << 1850 << 6 << 1 << "1850-06-01";
    QTest::newRow("leap day") << 2040 << 2 << 29 << "2040-02-29";
    QTest::newRow("three-digit year") << 999 << 1 << 9 << "999-01-09";
    QTest::newRow("five-digit year") << 12345 << 10 << 10 << "12345-10-10";
}

void tst_DateText::dateText()
{
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(DateText(CalendarDay{year, month, day})), text);
}

void tst_DateText::localMidnight_data()
{
    QTest::addColumn<QString>("zone");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<qint64>("time");
    const auto add = [](const char *tag, const char *zone, int y, int m, int d, qint64 time) {
        QTest::newRow(tag) << QString(zone) << y << m << d << time;
    };
    add("epoch in UTC", "UTC", 1970, 1, 1, 0);
    add("day before epoch in UTC", "UTC", 1969, 12, 31, none);
    add("epoch day west of UTC", "America/New_York", 1970, 1, 1, 18000);
    add("epoch day east of UTC", "Asia/Kolkata", 1970, 1, 1, none);
    add("epoch day at -10:40", "Pacific/Kiritimati", 1970, 1, 1, 38400);
    add("1900 in UTC", "UTC", 1900, 1, 1, none);
    add("1850 west of UTC", "America/New_York", 1850, 6, 1, none);
    add("2038-01-18 in UTC", "UTC", 2038, 1, 18, 2147385600);
    add("2038-01-19 in UTC", "UTC", 2038, 1, 19, 2147472000);
    add("2038-01-19 west of UTC", "America/New_York", 2038, 1, 19, none);
    add("2038-01-19 at +14", "Pacific/Kiritimati", 2038, 1, 19, 2147421600);
    add("2038-01-20 at +14", "Pacific/Kiritimati", 2038, 1, 20, none);
    add("2040 leap day", "UTC", 2040, 2, 29, none);
    add("DST starts at 2:00", "America/New_York", 2006, 4, 2, 1143954000);
    add("DST ends at 2:00", "America/New_York", 2006, 10, 29, 1162094400);
    add("midnight skipped by DST", "America/Sao_Paulo", 2018, 11, 4, 1541300400);
    add("whole day skipped", "Pacific/Apia", 2011, 12, 30, none);
    add("day after the skipped one", "Pacific/Apia", 2011, 12, 31, 1325239200);
    add("30 February", "UTC", 2006, 2, 30, none);
    add("month 13", "UTC", 2006, 13, 1, none);
    add("day 0", "UTC", 2006, 3, 0, none);
}

void tst_DateText::localMidnight()
{
    QFETCH(QString, zone);
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(qint64, time);
    ScopedTimeZone tz(zone.toStdString());
    const std::optional<std::int32_t> midnight = LocalMidnight(CalendarDay{year, month, day});
    QCOMPARE(midnight ? qint64(*midnight) : none, time);
}

void tst_DateText::localDayOfTime_data()
{
    QTest::addColumn<QString>("zone");
    QTest::addColumn<qint64>("time");
    QTest::addColumn<QString>("day");
    const auto add = [](const char *zone, qint64 time, const char *day) {
        QTest::addRow("%s %lld", zone, time) << QString(zone) << time << QString(day);
    };
    add("UTC", 0, "1970-01-01");
    add("Asia/Kolkata", 0, "1970-01-01");
    add("America/New_York", 0, "1969-12-31");
    add("UTC", maxTime, "2038-01-19");
    add("America/New_York", maxTime, "2038-01-18");
    add("Pacific/Kiritimati", maxTime, "2038-01-19");
    add("UTC", 1141516800, "2006-03-05");
    add("UTC", -1, "none");
    add("UTC", std::numeric_limits<std::int32_t>::min(), "none");
}

void tst_DateText::localDayOfTime()
{
    QFETCH(QString, zone);
    QFETCH(qint64, time);
    QFETCH(QString, day);
    ScopedTimeZone tz(zone.toStdString());
    QCOMPARE(dayText(LocalDayOf(static_cast<std::int32_t>(time))), day);
}

void tst_DateText::timeValueOfNow_data()
{
    QTest::addColumn<qint64>("milliseconds");
    QTest::addColumn<qint64>("time");
    QTest::newRow("epoch") << qint64(0) << qint64(0);
    QTest::newRow("just before epoch") << qint64(-1) << none;
    QTest::newRow("last second, late in it") << qint64(maxTime) * 1000 + 999 << qint64(maxTime);
    QTest::newRow("past 2038") << (qint64(maxTime) + 1) * 1000 << none;
    QTest::newRow("2006") << qint64(1141560000) * 1000 << qint64(1141560000);
}

void tst_DateText::timeValueOfNow()
{
    QFETCH(qint64, milliseconds);
    QFETCH(qint64, time);
    const std::optional<std::int32_t> value =
        TimeValueOf(system_clock::time_point(std::chrono::milliseconds(milliseconds)));
    QCOMPARE(value ? qint64(*value) : none, time);
}

void tst_DateText::midnightGivesItsDayBack_data()
{
    QTest::addColumn<QString>("zone");
    for (const char *zone : zones)
        QTest::newRow(zone) << QString(zone);
}

// Every day with a time value must come back as the same day, through every daylight saving
// change of a year and across both ends of the valid range.
void tst_DateText::midnightGivesItsDayBack()
{
    QFETCH(QString, zone);
    ScopedTimeZone tz(zone.toStdString());
    const auto check = [](sys_days from, sys_days to) {
        int withTime = 0;
        for (sys_days d = from; d <= to; d += days(1)) {
            const year_month_day civil(d);
            const CalendarDay day{int(civil.year()), int(unsigned(civil.month())),
                                  int(unsigned(civil.day()))};
            if (const auto midnight = LocalMidnight(day)) {
                ++withTime;
                if (LocalDayOf(*midnight) != day)
                    return QString::fromStdString(DateText(day)) + " came back as " +
                           dayText(LocalDayOf(*midnight));
            }
        }
        return withTime > 0 ? QString() : QString("no day had a time value");
    };
    QCOMPARE(check(sys_days(1969y / 12 / 25), sys_days(1970y / 1 / 5)), QString());
    QCOMPARE(check(sys_days(2006y / 1 / 1), sys_days(2006y / 12 / 31)), QString());
    QCOMPARE(check(sys_days(2011y / 12 / 1), sys_days(2012y / 1 / 1)), QString());
    QCOMPARE(check(sys_days(2018y / 1 / 1), sys_days(2018y / 12 / 31)), QString());
    QCOMPARE(check(sys_days(2038y / 1 / 10), sys_days(2038y / 1 / 25)), QString());
}

QTEST_GUILESS_MAIN(tst_DateText)
#include "tst_datetext.moc"
