// SPDX-License-Identifier: GPL-3.0-or-later
#include "entries/entrycommands.h"
#include "support/testsupport.h"

#include <QtTest>

class tst_EntryCommands : public QObject
{
    Q_OBJECT

private slots:
    void addWithEmptyDateRefuses();
    void addWithEmptyTitleInsertsAtTop();
    void addKeepsFormAndRecounts();
    void duplicateQuestion_data();
    void duplicateQuestion();
    void addTwiceAsksTheSecondTime();
    void findDuplicateScansEveryRow();
    void update_data();
    void update();
    void updateWithEmptyDateStillAutosizes();
    void remove_data();
    void remove();
    void removeThenAddReinsertsAtTop();
};

namespace {
const Text duplicateQuestionText =
    "This entry is already in the list.\r\nDo you really want to add this item?";

struct Fixture : FakeEntries
{
    ScriptedBoxes boxes;
    EntryCommands commands{entries, boxes};

    Fixture() { entries.SetupColumns(); }

    // The dialog's command table wraps each handler in ReadForm and WriteForm.
    template <typename Handler> void press(Handler handler)
    {
        exchange.ReadForm();
        (commands.*handler)();
        exchange.WriteForm();
    }
    void type(const Text &date, const Text &title, const Text &entry)
    {
        exchange.controls.Date = date;
        exchange.controls.Title = title;
        exchange.controls.Entry = entry;
    }
};

const std::vector<Row> threeRows = {
    {"2006-03-05", "Walk", "By the river"},
    {"2006-03-04", "Rain", "All day"},
    {"2006-03-01", "Start", "First page"},
};
} // namespace

void tst_EntryCommands::addWithEmptyDateRefuses()
{
    Fixture f;
    f.list.rows = threeRows;
    f.exchange.controls.EntryCount = 3;
    f.type("", "Title", "Text");
    f.press(&EntryCommands::OnAdd);
    QCOMPARE(f.list.rows, threeRows);
    QCOMPARE(f.boxes.shown.size(), size_t(1));
    const ShownBox &box = f.boxes.shown.front();
    QCOMPARE(box.text, Text("Date Blank.\r\nNo entry added."));
    QCOMPARE(box.caption, Text("Error"));
    QCOMPARE(box.type, BoxOk);
    QVERIFY(!box.application); // the dialog's own box: no icon
    QCOMPARE(f.exchange.controls.Title, Text("Title"));
    QCOMPARE(f.exchange.controls.EntryCount, 3);
}

void tst_EntryCommands::addWithEmptyTitleInsertsAtTop()
{
    Fixture f;
    f.list.rows = threeRows;
    f.type("2006-03-06", "", "no title");
    f.press(&EntryCommands::OnAdd);
    QVERIFY(f.boxes.shown.empty());
    QCOMPARE(f.list.rows.size(), size_t(4));
    QCOMPARE(f.list.rows.front(), (Row{"2006-03-06", "", "no title"}));
    QCOMPARE(f.list.rows[1], threeRows[0]);
}

void tst_EntryCommands::addKeepsFormAndRecounts()
{
    Fixture f;
    f.exchange.controls.ImagePath = "pic.jpg";
    f.type("2006-03-05", "A title that is long", "line 1\r\nline 2");
    f.press(&EntryCommands::OnAdd);
    QCOMPARE(f.list.rows,
             (std::vector<Row>{{"2006-03-05", "A title that is long", "line 1\r\nline 2"}}));
    QCOMPARE(f.exchange.controls.Date, Text("2006-03-05"));
    QCOMPARE(f.exchange.controls.Title, Text("A title that is long"));
    QCOMPARE(f.exchange.controls.Entry, Text("line 1\r\nline 2"));
    QCOMPARE(f.exchange.controls.ImagePath, Text("pic.jpg"));
    QCOMPARE(f.exchange.controls.EntryCount, 1);
    QCOMPARE(f.list.ColumnWidth(1), 20 * FakeListView::unitsPerByte);
}

void tst_EntryCommands::duplicateQuestion_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("asks");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("added");

    const auto add = [](const char *tag, const char *date, const char *title, const char *entry,
                        bool asks, BoxAnswer answer, bool added) {
        QTest::newRow(tag) << QString(date) << QString(title) << QString(entry) << asks
                           << int(answer) << added;
    };
    add("same date and title, Yes", "2006-03-04", "Rain", "All day", true, AnswerYes, true);
    add("same date and title, No", "2006-03-04", "Rain", "All day", true, AnswerNo, false);
    add("bottom row matches", "2006-03-01", "Start", "x", true, AnswerNo, false);
    add("other entry text still asks", "2006-03-04", "Rain", "Other", true, AnswerNo, false);
    add("title differs in case", "2006-03-04", "rain", "All day", false, AnswerNo, true);
    add("date differs", "2006-03-03", "Rain", "All day", false, AnswerNo, true);
    add("title is a prefix", "2006-03-04", "Rai", "All day", false, AnswerNo, true);
    add("title of another date", "2006-03-04", "Walk", "", false, AnswerNo, true);
}

void tst_EntryCommands::duplicateQuestion()
{
    QFETCH(QString, date);
    QFETCH(QString, title);
    QFETCH(QString, entry);
    QFETCH(bool, asks);
    QFETCH(int, answer);
    QFETCH(bool, added);

    Fixture f;
    f.list.rows = threeRows;
    f.boxes.answers = {answer};
    f.type(date.toStdString(), title.toStdString(), entry.toStdString());
    f.press(&EntryCommands::OnAdd);

    QCOMPARE(f.boxes.shown.size(), size_t(asks ? 1 : 0));
    if (asks) {
        const ShownBox &box = f.boxes.shown.front();
        QCOMPARE(box.text, duplicateQuestionText);
        QCOMPARE(box.type, BoxYesNo);
        QVERIFY(box.application); // application title and warning icon
    }
    std::vector<Row> expected = threeRows;
    if (added)
        expected.insert(expected.begin(),
                        Row{date.toStdString(), title.toStdString(), entry.toStdString()});
    QCOMPARE(f.list.rows, expected);
    QCOMPARE(f.exchange.controls.EntryCount, int(expected.size()));
    QCOMPARE(f.exchange.controls.Date, date.toStdString());
}

void tst_EntryCommands::addTwiceAsksTheSecondTime()
{
    Fixture f;
    f.type("2006-12-22", "Winter", "Cold");
    f.boxes.answers = {AnswerYes};
    f.press(&EntryCommands::OnAdd);
    QVERIFY(f.boxes.shown.empty());
    f.press(&EntryCommands::OnAdd);
    QCOMPARE(f.boxes.shown.size(), size_t(1));
    QCOMPARE(f.boxes.shown.front().text, duplicateQuestionText);
    const Row winter{"2006-12-22", "Winter", "Cold"};
    QCOMPARE(f.list.rows, (std::vector<Row>{winter, winter}));
    QCOMPARE(f.exchange.controls.EntryCount, 2);
}

void tst_EntryCommands::findDuplicateScansEveryRow()
{
    Fixture f;
    for (int i = 0; i < 1000; ++i)
        f.list.rows.push_back(Row{"2006-01-01", "t" + std::to_string(i), ""});
    f.exchange.controls.Date = "2006-01-01";
    f.exchange.controls.Title = "t999";
    QCOMPARE(f.commands.FindDuplicate(), 1);
    QCOMPARE(f.form.EntryCount, 1000);
    f.exchange.controls.Title = "t1000";
    QCOMPARE(f.commands.FindDuplicate(), 0);
    f.list.rows.clear();
    QCOMPARE(f.commands.FindDuplicate(), 0);
    QCOMPARE(f.form.EntryCount, 0);
}

void tst_EntryCommands::update_data()
{
    QTest::addColumn<int>("mark");
    QTest::addColumn<int>("changedRow");
    QTest::newRow("top row") << 0 << 0;
    QTest::newRow("bottom row") << 2 << 2;
    QTest::newRow("no marked row") << -1 << -1;
    QTest::newRow("mark past the end") << 3 << -1;
}

void tst_EntryCommands::update()
{
    QFETCH(int, mark);
    QFETCH(int, changedRow);
    Fixture f;
    f.list.rows = threeRows;
    f.list.selectionMark = mark;
    f.exchange.controls.EntryCount = 7; // Update does not recount
    // Same date and title as the top row: Update never asks.
    f.type("2006-03-05", "Walk", "Changed text");
    f.press(&EntryCommands::OnUpdate);
    std::vector<Row> expected = threeRows;
    if (changedRow >= 0)
        expected[changedRow] = Row{"2006-03-05", "Walk", "Changed text"};
    QCOMPARE(f.list.rows, expected);
    QVERIFY(f.boxes.shown.empty());
    QCOMPARE(f.exchange.controls.EntryCount, 7);
    QCOMPARE(f.exchange.controls.Entry, Text("Changed text"));
}

void tst_EntryCommands::updateWithEmptyDateStillAutosizes()
{
    Fixture f;
    f.list.rows = threeRows;
    f.list.selectionMark = 1;
    f.list.rows[1][1] = Text(30, 'w'); // widens the Title column once re-sized
    const int redrawsBefore = f.list.redrawOffCount;
    f.type("", "New title", "New text");
    f.press(&EntryCommands::OnUpdate);
    QCOMPARE(f.list.rows[1], (Row{"2006-03-04", Text(30, 'w'), "All day"}));
    QCOMPARE(f.list.redrawOffCount, redrawsBefore + 1);
    QCOMPARE(f.list.ColumnWidth(1), 30 * FakeListView::unitsPerByte);
    QVERIFY(f.boxes.shown.empty());
}

void tst_EntryCommands::remove_data()
{
    QTest::addColumn<int>("mark");
    QTest::addColumn<int>("removedRow");
    QTest::newRow("top row") << 0 << 0;
    QTest::newRow("middle row") << 1 << 1;
    QTest::newRow("bottom row") << 2 << 2;
    QTest::newRow("no marked row") << -1 << -1;
}

void tst_EntryCommands::remove()
{
    QFETCH(int, mark);
    QFETCH(int, removedRow);
    Fixture f;
    f.list.rows = threeRows;
    // The fake has no selection apart from the mark: only the mark decides which row goes.
    f.list.selectionMark = mark;
    f.exchange.controls.EntryCount = 3;
    f.type("2006-03-05", "Form title", "Form text");
    f.press(&EntryCommands::OnRemove);
    std::vector<Row> expected = threeRows;
    if (removedRow >= 0)
        expected.erase(expected.begin() + removedRow);
    QCOMPARE(f.list.rows, expected);
    QCOMPARE(f.exchange.controls.EntryCount, int(expected.size()));
    QCOMPARE(f.exchange.controls.Title, Text("Form title"));
    QVERIFY(f.boxes.shown.empty());
}

void tst_EntryCommands::removeThenAddReinsertsAtTop()
{
    Fixture f;
    f.list.rows = threeRows;
    f.list.selectionMark = 1;
    f.entries.OnListClick();
    f.press(&EntryCommands::OnRemove);
    QCOMPARE(f.exchange.controls.EntryCount, 2);
    QCOMPARE(f.exchange.controls.Title, Text("Rain"));
    f.press(&EntryCommands::OnAdd);
    QVERIFY(f.boxes.shown.empty());
    QCOMPARE(f.list.rows, (std::vector<Row>{threeRows[1], threeRows[0], threeRows[2]}));
    QCOMPARE(f.exchange.controls.EntryCount, 3);
}

QTEST_GUILESS_MAIN(tst_EntryCommands)
#include "tst_entrycommands.moc"
