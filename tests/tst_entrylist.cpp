// SPDX-License-Identifier: GPL-3.0-or-later
#include "entries/entrylist.h"
#include "support/testsupport.h"

#include <QtTest>

class tst_EntryList : public QObject
{
    Q_OBJECT

private slots:
    void reverseRows_data();
    void reverseRows();
    void loadRowIntoFormKeepsImagePath_data();
    void loadRowIntoFormKeepsImagePath();
    void clearKeepsImagePathAndCount();
};

namespace {
using Fixture = FakeEntries;

std::vector<Row> rowsNamed(const QStringList &titles)
{
    std::vector<Row> rows;
    for (const QString &title : titles)
        rows.push_back(Row{"2006-01-01", title.toStdString(), "text"});
    return rows;
}
} // namespace

void tst_EntryList::reverseRows_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("none") << QStringList{} << QStringList{};
    QTest::newRow("one") << QStringList{"A"} << QStringList{"A"};
    QTest::newRow("two") << QStringList{"A", "B"} << QStringList{"B", "A"};
    QTest::newRow("three") << QStringList{"A", "B", "C"} << QStringList{"C", "B", "A"};
}

void tst_EntryList::reverseRows()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    Fixture f;
    f.list.rows = rowsNamed(before);
    f.entries.ReverseRows();
    QCOMPARE(f.list.rows, rowsNamed(after));
    QCOMPARE(f.form.EntryCount, before.size());
    QCOMPARE(f.exchange.controls.EntryCount, before.size());
}

void tst_EntryList::loadRowIntoFormKeepsImagePath_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("title");
    QTest::newRow("existing row") << 1 << "B";
    QTest::newRow("no mark") << -1 << "";
    QTest::newRow("past the end") << 5 << "";
}

void tst_EntryList::loadRowIntoFormKeepsImagePath()
{
    QFETCH(int, row);
    QFETCH(QString, title);
    Fixture f;
    f.list.rows = rowsNamed({"A", "B"});
    f.exchange.controls.ImagePath = "typed.jpg";
    f.exchange.controls.EntryCount = 9;
    f.exchange.controls.Title = "was here";
    f.list.selectionMark = row;
    f.entries.OnListClick();
    QCOMPARE(QString::fromStdString(f.exchange.controls.Title), title);
    QCOMPARE(f.exchange.controls.ImagePath, Text("typed.jpg"));
    QCOMPARE(f.exchange.controls.EntryCount, 9);
}

void tst_EntryList::clearKeepsImagePathAndCount()
{
    Fixture f;
    f.exchange.controls = EntryForm{"2006-03-05", "t", "e\r\nf", 4, "pic.jpg"};
    f.entries.OnClear();
    QCOMPARE(f.exchange.controls.Date, Text());
    QCOMPARE(f.exchange.controls.Title, Text());
    QCOMPARE(f.exchange.controls.Entry, Text());
    QCOMPARE(f.exchange.controls.EntryCount, 4);
    QCOMPARE(f.exchange.controls.ImagePath, Text("pic.jpg"));
}

QTEST_GUILESS_MAIN(tst_EntryList)
#include "tst_entrylist.moc"
