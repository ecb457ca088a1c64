// SPDX-License-Identifier: GPL-3.0-or-later
#include "entries/columnsort.h"
#include "support/testsupport.h"

#include <QtTest>

#include <random>

class tst_ColumnSort : public QObject
{
    Q_OBJECT

private slots:
    void clicks_data();
    void clicks();
    void emptyAndOneRowListsUnchanged_data();
    void emptyAndOneRowListsUnchanged();
    void equalDatesKeepOrderThenSwapOnReverse();
    void selectionMarkFollowsItsEntry();
    void formAndWidthsUntouched();
    void equalsBubbleSortOnRandomLists();
};

namespace {
using Fixture = FakeEntries;

// Rows titled by the given texts; the date and entry name the row's original position, so
// that a comparison sees whether equal titles kept their order.
std::vector<Row> rowsTitled(const QStringList &titles)
{
    std::vector<Row> rows;
    for (const QString &title : titles) {
        const std::string position = std::to_string(rows.size());
        rows.push_back(Row{"2006-01-0" + position, title.toStdString(), "entry " + position});
    }
    return rows;
}

QStringList titlesOf(const std::vector<Row> &rows)
{
    QStringList titles;
    for (const Row &row : rows)
        titles << QString::fromStdString(row[1]);
    return titles;
}

// What a click did step by step: bubble passes with an early stop, exchanging a neighbouring
// pair only when the upper text is greater, and a reversal when nothing was exchanged.
void bubbleSortClick(std::vector<Row> &rows, int column)
{
    const size_t n = rows.size();
    int swaps = 0;
    bool sorted = false;
    while (!sorted) {
        sorted = true;
        if (n < 2)
            break;
        for (size_t j = 0; j + 1 < n; ++j) {
            if (CompareText(rows[j][column], rows[j + 1][column]) > 0) {
                std::swap(rows[j], rows[j + 1]);
                sorted = false;
                ++swaps;
            }
        }
    }
    if (swaps == 0)
        std::reverse(rows.begin(), rows.end());
}
} // namespace

void tst_ColumnSort::clicks_data()
{
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QList<QStringList>>("afterEachClick");

    QTest::newRow("unsorted: ascending, descending, ascending")
        << QStringList{"b", "c", "a"}
        << QList<QStringList>{{"a", "b", "c"}, {"c", "b", "a"}, {"a", "b", "c"}};
    QTest::newRow("already ascending: descending first")
        << QStringList{"a", "b", "c"} << QList<QStringList>{{"c", "b", "a"}, {"a", "b", "c"}};
    QTest::newRow("capitals before small letters")
        << QStringList{"apple", "Zoo", "Apple", "zoo"}
        << QList<QStringList>{{"Apple", "Zoo", "apple", "zoo"}};
    QTest::newRow("bytes above 0x7F after ASCII")
        << QStringList{"\xc3\xa9t\xc3\xa9", "zz", "Z"}
        << QList<QStringList>{{"Z", "zz", "\xc3\xa9t\xc3\xa9"}};
    QTest::newRow("prefix before longer text")
        << QStringList{"ab", "a", "abc"} << QList<QStringList>{{"a", "ab", "abc"}};
    QTest::newRow("all equal keys reverse each click")
        << QStringList{"x", "x", "x"} << QList<QStringList>{{"x", "x", "x"}, {"x", "x", "x"}};
}

void tst_ColumnSort::clicks()
{
    QFETCH(QStringList, titles);
    QFETCH(QList<QStringList>, afterEachClick);
    Fixture f;
    f.list.rows = rowsTitled(titles);
    std::vector<Row> expected = f.list.rows;
    for (const QStringList &after : afterEachClick) {
        SortByColumn(f.entries, 1);
        QCOMPARE(titlesOf(f.list.rows), after);
        // Also checks which of equal rows went where, and that rows moved whole.
        bubbleSortClick(expected, 1);
        QCOMPARE(f.list.rows, expected);
    }
}

void tst_ColumnSort::emptyAndOneRowListsUnchanged_data()
{
    QTest::addColumn<QStringList>("titles");
    QTest::newRow("empty") << QStringList{};
    QTest::newRow("one row") << QStringList{"only"};
}

void tst_ColumnSort::emptyAndOneRowListsUnchanged()
{
    QFETCH(QStringList, titles);
    Fixture f;
    f.list.rows = rowsTitled(titles);
    const std::vector<Row> before = f.list.rows;
    f.exchange.controls.EntryCount = 42;
    for (int column = 0; column < 3; ++column) {
        SortByColumn(f.entries, column);
        QCOMPARE(f.list.rows, before);
    }
    QCOMPARE(f.exchange.controls.EntryCount, titles.size());
}

void tst_ColumnSort::equalDatesKeepOrderThenSwapOnReverse()
{
    Fixture f;
    f.list.rows = {
        {"2006-09-22", "second", ""}, {"2006-09-21", "first", ""}, {"2006-09-22", "third", ""}};
    SortByColumn(f.entries, 0);
    QCOMPARE(titlesOf(f.list.rows), (QStringList{"first", "second", "third"}));
    SortByColumn(f.entries, 0);
    QCOMPARE(titlesOf(f.list.rows), (QStringList{"third", "second", "first"}));
}

void tst_ColumnSort::selectionMarkFollowsItsEntry()
{
    Fixture f;
    f.list.rows = rowsTitled({"c", "a", "b"});
    f.list.selectionMark = 0;
    SortByColumn(f.entries, 1);
    QCOMPARE(f.list.selectionMark, 2);
    SortByColumn(f.entries, 1); // the reversal
    QCOMPARE(f.list.selectionMark, 0);
    f.entries.OnListClick();
    QCOMPARE(f.form.Title, std::string("c"));
}

void tst_ColumnSort::formAndWidthsUntouched()
{
    Fixture f;
    f.entries.SetupColumns();
    f.list.rows = rowsTitled({"a much longer title", "b", "a"});
    f.list.SetColumnWidth(1, 5);
    const std::vector<int> widths = f.list.widths;
    f.exchange.controls = EntryForm{"2001-02-03", "typed title", "typed\r\nentry", 0, "pic.jpg"};
    for (int click = 0; click < 3; ++click)
        SortByColumn(f.entries, 1);
    QCOMPARE(f.list.widths, widths);
    QCOMPARE(f.list.redrawOffCount, 1); // only SetupColumns suspended redrawing
    const EntryForm &shown = f.exchange.controls;
    QCOMPARE(shown.Date, std::string("2001-02-03"));
    QCOMPARE(shown.Title, std::string("typed title"));
    QCOMPARE(shown.Entry, std::string("typed\r\nentry"));
    QCOMPARE(shown.ImagePath, std::string("pic.jpg"));
    QCOMPARE(shown.EntryCount, 3);
}

void tst_ColumnSort::equalsBubbleSortOnRandomLists()
{
    std::mt19937 random(20060922);
    for (int round = 0; round < 400; ++round) {
        // Small alphabets and short texts make equal keys and already ordered runs common.
        const int alphabet = 1 + int(random() % 3);
        const int length = 1 + int(random() % 2);
        const auto randomText = [&] {
            Text text;
            for (int i = 0; i < length; ++i)
                text += char('A' + random() % alphabet);
            return text;
        };
        const size_t n = random() % 40;
        Fixture f;
        for (size_t i = 0; i < n; ++i)
            f.list.rows.push_back(Row{randomText(), randomText(), std::to_string(i)});
        std::vector<Row> expected = f.list.rows;
        for (int click = 0; click < 4; ++click) {
            const int column = int(random() % 2);
            SortByColumn(f.entries, column);
            bubbleSortClick(expected, column);
            QVERIFY2(f.list.rows == expected,
                     qPrintable(QStringLiteral("round %1, click %2").arg(round).arg(click)));
        }
    }
}

QTEST_GUILESS_MAIN(tst_ColumnSort)
#include "tst_columnsort.moc"
