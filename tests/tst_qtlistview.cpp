// SPDX-License-Identifier: GPL-3.0-or-later
#include "entries/entryform.h"
#include "entries/entrylist.h"
#include "support/testsupport.h"
#include "ui/qt/qtlistview.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QtTest>

class tst_QtListView : public QObject
{
    Q_OBJECT

private slots:
    void insertSetGetDelete();
    void missingRowsAreIgnored_data();
    void missingRowsAreIgnored();
    void deletingAMissingRowChangesNothing();
    void keepsBytesTheDisplayCannotShow();
    void showsLineBreaksAsSpaces();
    void showsTheStartOfALongText_data();
    void showsTheStartOfALongText();
    void markFollowsClicksAndKeys();
    void clickNotifiesOnlyForTheMouse();
    void clickOnEmptySpaceKeepsTheMark();
    void selectRowsSetsMarkCursorAndSelection();
    void markMovesWithInsertAndDelete_data();
    void markMovesWithInsertAndDelete();
    void headingClickCarriesColumnAndDoesNotSort();
    void autoSizeFitsHeadingsAndFillsTheRest();
    void autoSizeFollowsLongestText();
    void autoSizeIsNeverNarrowerThanTheText_data();
    void autoSizeIsNeverNarrowerThanTheText();
    void selectionIsDrawnOnlyWithFocus();
    void largeListLoadsAndSizes();
};

namespace {
// A shown list with the three columns of the journal.
struct ShownList
{
    QtListView list;
    EntryForm form;
    FakeFormExchange exchange{form};
    EntryList entries{list, form, exchange};

    ShownList()
    {
        list.resize(400, 200);
        list.SetClickableHeadings(true);
        entries.SetupColumns();
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
    }

    void Fill(int rows)
    {
        std::vector<Row> texts;
        for (int i = 0; i < rows; ++i)
            texts.push_back(Row{"2006-01-0" + std::to_string(i % 10), "t" + std::to_string(i), ""});
        list.InsertRows(0, RowStore::FromRows(texts));
    }

    QPoint CellCentre(int row) const
    {
        return list.visualRect(list.model()->index(row, 0)).center();
    }

    int WidthSum() const { return list.ColumnWidth(0) + list.ColumnWidth(1) + list.ColumnWidth(2); }
};
} // namespace

void tst_QtListView::insertSetGetDelete()
{
    QtListView list;
    for (const char *heading : {"Date", "Title", "Entry"})
        list.InsertColumn(list.HeadingCount(), heading);
    QCOMPARE(list.HeadingCount(), 3);
    QCOMPARE(list.InsertRow(0, {{"b", "", ""}}), 0);
    QCOMPARE(list.InsertRow(0, {{"a", "", ""}}), 0);
    QCOMPARE(list.InsertRow(99, {{"c", "", ""}}), 2); // past the end: appended
    QSignalSpy changes(list.model(), &QAbstractItemModel::dataChanged);
    list.SetRow(1, {{"b", "title of b", "entry of b"}});
    list.SetRow(1, {{"b", "title of b", "entry of b"}}); // the same texts change nothing
    QCOMPARE(changes.size(), 1);                         // one change for the whole row
    QCOMPARE(list.RowCount(), 3);
    QVERIFY(list.RemoveRow(0));
    list.InsertRows(1, RowStore::FromRows(std::vector<Row>{{"x", "1", ""}, {"y", "2", ""}}));
    QCOMPARE(
        RowsOf(list.SnapshotRows()),
        (std::vector<Row>{
            {"b", "title of b", "entry of b"}, {"x", "1", ""}, {"y", "2", ""}, {"c", "", ""}}));
}

void tst_QtListView::missingRowsAreIgnored_data()
{
    QTest::addColumn<int>("row");
    QTest::newRow("row -1") << -1;
    QTest::newRow("row past the end") << 1;
}

void tst_QtListView::missingRowsAreIgnored()
{
    QFETCH(int, row);
    QtListView list;
    for (int i = 0; i < 3; ++i)
        list.InsertColumn(i, "h");
    list.InsertRow(0, {{"only", "", ""}});
    list.SetRow(row, {{"lost", "lost", "lost"}});
    QCOMPARE(list.RowAt(row).ToRow(), Row{});
    QCOMPARE(RowsOf(list.SnapshotRows()), (std::vector<Row>{{"only", "", ""}}));
}

void tst_QtListView::deletingAMissingRowChangesNothing()
{
    QtListView list;
    list.InsertColumn(0, "h");
    list.InsertRow(0, {{"only", "", ""}});
    QCOMPARE(list.RemoveRow(-1), false);
    QCOMPARE(list.RemoveRow(1), false);
    QCOMPARE(list.RowCount(), 1);
}

void tst_QtListView::keepsBytesTheDisplayCannotShow()
{
    QtListView list;
    list.InsertColumn(0, "Date");
    const Text invalid = "caf\xe9 \xff\xfe\r\nend";
    list.InsertRow(0, {{invalid, "", ""}});
    QCOMPARE(list.RowAt(0).ToRow(), (Row{invalid, "", ""}));
    QCOMPARE(RowsOf(list.SnapshotRows()).front()[0], invalid);
}

void tst_QtListView::showsLineBreaksAsSpaces()
{
    QtListView list;
    list.InsertColumn(0, "Entry");
    list.InsertRow(0, {{"first\r\nsecond\nthird", "", ""}});
    QCOMPARE(list.model()->index(0, 0).data().toString(), QString("first second third"));
}

void tst_QtListView::showsTheStartOfALongText_data()
{
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QByteArray>("filler");
    QTest::addColumn<QByteArray>("end");
    QTest::addColumn<QString>("shownStart");
    QTest::newRow("UTF-8 throughout") << QByteArray("caf\xc3\xa9 ") << QByteArray("ab")
                                      << QByteArray("\xc3\xa9") << QString::fromUtf8("café ab");
    QTest::newRow("Windows-1252 past the shown part")
        << QByteArray("caf\xc3\xa9 ") << QByteArray("ab") << QByteArray("\xe9")
        << QString::fromUtf8("cafÃ© ab");
    QTest::newRow("cut inside a character")
        << QByteArray("x") << QByteArray("\xc3\xa9") << QByteArray() << QString::fromUtf8("xéé");
}

void tst_QtListView::showsTheStartOfALongText()
{
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, filler);
    QFETCH(QByteArray, end);
    QFETCH(QString, shownStart);
    QtListView list;
    list.InsertColumn(0, "Entry");
    const QByteArray text = start + filler.repeated((8 << 20) / filler.size()) + end;
    list.InsertRow(0, {{text.toStdString(), "", ""}});
    const QString shown = list.model()->index(0, 0).data().toString();
    QVERIFY(shown.startsWith(shownStart));
    QVERIFY(shown.size() < 10000);
    QVERIFY(!shown.contains(QChar::ReplacementCharacter));
}

void tst_QtListView::markFollowsClicksAndKeys()
{
    ShownList shown;
    shown.Fill(5);
    QCOMPARE(shown.list.SelectionMark(), -1);
    QTest::mouseClick(shown.list.viewport(), Qt::LeftButton, {}, shown.CellCentre(2));
    QCOMPARE(shown.list.SelectionMark(), 2);
    QTest::keyClick(&shown.list, Qt::Key_Down);
    QCOMPARE(shown.list.SelectionMark(), 3);
    QTest::keyClick(&shown.list, Qt::Key_Home);
    QCOMPARE(shown.list.SelectionMark(), 0);
}

void tst_QtListView::clickNotifiesOnlyForTheMouse()
{
    ShownList shown;
    shown.Fill(5);
    QSignalSpy clicks(&shown.list, &QtListView::listClicked);
    int markAtClick = -2;
    connect(&shown.list, &QtListView::listClicked, this,
            [&] { markAtClick = shown.list.SelectionMark(); });
    QTest::mouseClick(shown.list.viewport(), Qt::LeftButton, {}, shown.CellCentre(3));
    QCOMPARE(clicks.size(), 1);
    QCOMPARE(markAtClick, 3); // the mark already names the clicked row
    QTest::keyClick(&shown.list, Qt::Key_Up);
    QTest::mouseClick(shown.list.viewport(), Qt::RightButton, {}, shown.CellCentre(1));
    QCOMPARE(clicks.size(), 1);
}

void tst_QtListView::clickOnEmptySpaceKeepsTheMark()
{
    ShownList shown;
    shown.Fill(2);
    QTest::mouseClick(shown.list.viewport(), Qt::LeftButton, {}, shown.CellCentre(1));
    QSignalSpy clicks(&shown.list, &QtListView::listClicked);
    const QPoint below(5, shown.list.viewport()->height() - 3);
    QVERIFY(!shown.list.indexAt(below).isValid());
    QTest::mouseClick(shown.list.viewport(), Qt::LeftButton, {}, below);
    QCOMPARE(clicks.size(), 1);
    QCOMPARE(shown.list.SelectionMark(), 1);
}

void tst_QtListView::selectRowsSetsMarkCursorAndSelection()
{
    ShownList shown;
    shown.Fill(6);
    const RowRange selected[] = {{0, 1}, {2, 2}, {4, 9}};
    shown.list.SelectRows(2, selected);
    QCOMPARE(shown.list.SelectedRows(), (std::vector<RowRange>{{0, 2}, {4, 5}}));
    QCOMPARE(shown.list.SelectionMark(), 2);
    QTest::keyClick(&shown.list, Qt::Key_Down); // the cursor moves on from the mark
    QCOMPARE(shown.list.SelectionMark(), 3);
    shown.list.SelectRows(-1, {});
    QVERIFY(shown.list.SelectedRows().empty());
    QCOMPARE(shown.list.SelectionMark(), -1);
    QVERIFY(!shown.list.currentIndex().isValid());
}

void tst_QtListView::markMovesWithInsertAndDelete_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("markAfter");
    QTest::addColumn<QString>("markedTitle");
    // The mark starts on row 2, title "t2" of rows t0..t4.
    QTest::newRow("insert above") << "insert 0" << 3 << "t2";
    QTest::newRow("insert below") << "insert 4" << 2 << "t2";
    QTest::newRow("delete above") << "delete 0" << 1 << "t2";
    QTest::newRow("delete below") << "delete 4" << 2 << "t2";
    QTest::newRow("delete the marked row") << "delete 2" << -1 << "";
}

void tst_QtListView::markMovesWithInsertAndDelete()
{
    QFETCH(QString, change);
    QFETCH(int, markAfter);
    QFETCH(QString, markedTitle);
    ShownList shown;
    std::vector<Row> rows;
    for (int i = 0; i < 5; ++i)
        rows.push_back(Row{"d", "t" + std::to_string(i), ""});
    shown.list.InsertRows(0, RowStore::FromRows(rows));
    QTest::mouseClick(shown.list.viewport(), Qt::LeftButton, {}, shown.CellCentre(2));
    const QStringList words = change.split(' ');
    if (words[0] == "insert")
        shown.list.InsertRow(words[1].toInt(), {{"new", "", ""}});
    else
        shown.list.RemoveRow(words[1].toInt());
    QCOMPARE(shown.list.SelectionMark(), markAfter);
    QCOMPARE(QString::fromStdString(CellText(shown.list, shown.list.SelectionMark(), 1)),
             markedTitle);
    // A keyboard move starts again from where the mark is.
    QTest::keyClick(&shown.list, Qt::Key_Down);
    QCOMPARE(shown.list.SelectionMark(), markAfter + 1);
}

void tst_QtListView::headingClickCarriesColumnAndDoesNotSort()
{
    ShownList shown;
    shown.list.InsertRows(0, RowStore::FromRows(std::vector<Row>{{"b", "", ""}, {"a", "", ""}}));
    QSignalSpy headings(&shown.list, &QtListView::headingClicked);
    QHeaderView *header = shown.list.header();
    const auto middleOf = [header](int column) {
        return QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                      header->height() / 2);
    };
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, middleOf(1));
    QCOMPARE(headings.size(), 1);
    QCOMPARE(headings.front().front().toInt(), 1);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, middleOf(0));
    QCOMPARE(headings.back().front().toInt(), 0);
    QTest::keyClick(&shown.list, Qt::Key_3, Qt::ControlModifier); // the keyboard's way
    QCOMPARE(headings.size(), 3);
    QCOMPARE(headings.back().front().toInt(), 2);
    QCOMPARE(CellText(shown.list, 0, 0), Text("b"));
}

void tst_QtListView::autoSizeFitsHeadingsAndFillsTheRest()
{
    ShownList shown;
    for (int column = 0; column < 3; ++column)
        QVERIFY(shown.list.ColumnWidth(column) >= shown.list.header()->sectionSizeHint(column));
    QCOMPARE(shown.WidthSum(), shown.list.viewport()->width());
    // With more rows than fit, the scroll bar takes its room and no horizontal one appears.
    shown.Fill(50);
    shown.entries.AutoSizeColumns();
    QTRY_VERIFY(shown.list.verticalScrollBar()->isVisible());
    QCOMPARE(shown.WidthSum(), shown.list.viewport()->width());
}

void tst_QtListView::autoSizeFollowsLongestText()
{
    ShownList shown;
    const int narrow = shown.list.ColumnWidth(1);
    const Text longTitle(80, 'W');
    shown.list.InsertRows(0, RowStore::FromRows(std::vector<Row>{{"2006-03-05", longTitle, ""},
                                                                 {"2006-03-06", "s", ""}}));
    shown.entries.AutoSizeColumns();
    const QFontMetrics metrics(shown.list.font());
    const int textWidth = metrics.horizontalAdvance(QString(80, 'W'));
    QVERIFY(shown.list.ColumnWidth(1) > textWidth);
    QVERIFY(shown.list.ColumnWidth(1) < textWidth + 20);
    shown.list.SetRow(0, {{"2006-03-05", "tiny", ""}});
    shown.entries.AutoSizeColumns();
    QCOMPARE(shown.list.ColumnWidth(1), narrow);
    shown.list.SetRow(0, {{"2006-03-05", longTitle, ""}});
    shown.entries.AutoSizeColumns();
    QVERIFY(shown.list.ColumnWidth(1) > textWidth);
    shown.list.RemoveRow(0);
    shown.entries.AutoSizeColumns();
    QCOMPARE(shown.list.ColumnWidth(1), narrow);
}

void tst_QtListView::autoSizeIsNeverNarrowerThanTheText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("kerning pairs") << "AVAVAV To Ty Wa LT";
    QTest::newRow("accented Latin") << QString::fromUtf8("Déjà vu, çà et là");
    QTest::newRow("combining marks") << QString::fromUtf8("e\u0301e\u0301e\u0301");
    QTest::newRow("other scripts") << QString::fromUtf8("日本語のテキスト");
}

void tst_QtListView::autoSizeIsNeverNarrowerThanTheText()
{
    QFETCH(QString, text);
    ShownList shown;
    shown.list.InsertRow(0, {{"", text.toStdString(), ""}});
    shown.list.AutoSizeColumn(1, ListView::AutoSize::Contents);
    QVERIFY(shown.list.ColumnWidth(1) >= QFontMetrics(shown.list.font()).horizontalAdvance(text));
}

void tst_QtListView::selectionIsDrawnOnlyWithFocus()
{
    QtListView list;
    const QPalette colours = list.palette();
    QCOMPARE(colours.color(QPalette::Inactive, QPalette::Highlight),
             colours.color(QPalette::Inactive, QPalette::Base));
    QVERIFY(colours.color(QPalette::Active, QPalette::Highlight) !=
            colours.color(QPalette::Active, QPalette::Base));
}

void tst_QtListView::largeListLoadsAndSizes()
{
    ShownList shown;
    constexpr int rows = 100000;
    std::vector<Row> texts(rows, Row{"2006-01-01", "title", "entry"});
    texts[rows / 2][1] = Text(60, 'W');
    QElapsedTimer timer;
    timer.start();
    shown.list.InsertRows(0, RowStore::FromRows(texts));
    shown.entries.AutoSizeColumns();
    shown.list.InsertRow(0, {{"2007-01-01", "", ""}});
    shown.entries.AutoSizeColumns();
    qInfo("100000 rows inserted and sized twice in %lld ms", timer.elapsed());
    QCOMPARE(shown.list.RowCount(), rows + 1);
    const QFontMetrics metrics(shown.list.font());
    QVERIFY(shown.list.ColumnWidth(1) > metrics.horizontalAdvance(QString(60, 'W')));
}

QTEST_MAIN(tst_QtListView)
#include "tst_qtlistview.moc"
