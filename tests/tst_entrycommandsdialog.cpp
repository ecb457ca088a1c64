#include "app/journaldialog.h"
#include "datepick/qt/dateselectdialog.h"
#include "resources/resourceids.h"
#include "support/calendarclicks.h"
#include "support/scopedtimezone.h"
#include "support/testsupport.h"
#include "ui/qt/qtlistview.h"
#include "ui/qt/qtmessageboxes.h"
#include "ui/qt/qtshell.h"

#include <QCalendarWidget>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <deque>
#include <functional>
#include <memory>

using namespace std::chrono;

// The main dialog with the real Date Selection dialog, its commands and its list: what the
// logic tests with fakes cannot see.
class tst_EntryCommandsDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void dateOpensOnTodayOverTheMainDialog_data();
    void dateOpensOnTodayOverTheMainDialog();
    void chosenDayBecomesDate_data();
    void chosenDayBecomesDate();
    void everyWayOfEndingSetsTheDate_data();
    void everyWayOfEndingSetsTheDate();
    void dateKeepsTypedTexts();
    void addWithEmptyDateShowsTheError();
    void duplicateQuestionInARealBox_data();
    void duplicateQuestionInARealBox();
    void updateAndRemoveActOnTheClickedRow_data();
    void updateAndRemoveActOnTheClickedRow();
    void removeThenAddReinsertsAtTheTop();
    void reportRightAfterLoadingLeavesTheBottomRowForAdd();
    void headingClicksSortAndReverse();
    void addedEntrySurvivesQuitAndRestart();

private:
    std::deque<int> m_answers; // AnswerOk once they run out
    std::vector<BoxRequest> m_boxes;
    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_previousFolder;
};

namespace {
const std::vector<Row> threeRows = {
    {"2006-09-22", "Harvest", "Apples\r\nand pears"},
    {"2006-09-21", "Rain", "All day"},
    {"2006-09-20", "Market", "Cheese"},
};

struct ShownDialog
{
    JournalDialog dialog;

    ShownDialog()
    {
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    }

    QtListView &List() { return dialog.EntryListView(); }
    QLineEdit *Edit(int id) { return dialog.ControlAs<QLineEdit>(id); }
    QPlainTextEdit *EntryBox() { return dialog.ControlAs<QPlainTextEdit>(IdEntry); }
    QString Shown(int id) { return Edit(id)->text(); }
    void Click(int id) { QTest::mouseClick(dialog.ControlAs<QPushButton>(id), Qt::LeftButton); }

    void Type(int id, const QString &text)
    {
        Edit(id)->clear();
        QTest::keyClicks(Edit(id), text);
    }

    void AddRows(const std::vector<Row> &rows)
    {
        // As the journal load does it: all rows at the top, the columns sized and the rows
        // counted once.
        EntryList &entries = dialog.Entries();
        entries.List().InsertRows(0, StoreOf(rows));
        entries.AutoSizeColumns();
        entries.RecountEntries();
        entries.OnClear();
    }

    void ClickRow(int row)
    {
        const QRect cell = List().visualRect(List().model()->index(row, 1));
        QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, cell.center());
    }

    QStringList Titles()
    {
        QStringList titles;
        for (int row = 0; row < List().RowCount(); ++row)
            titles << QString::fromStdString(CellText(List(), row, 1));
        return titles;
    }

    // Presses Date and lets `user` work the Date Selection dialog; `user` must end it.
    // False when no Date Selection dialog came up.
    bool UseDateDialog(const std::function<void(DateSelectDialog &, QCalendarWidget &)> &user)
    {
        bool opened = false;
        QTimer::singleShot(0, &dialog, [&] {
            auto *date = qobject_cast<DateSelectDialog *>(QApplication::activeModalWidget());
            if (!date)
                return;
            opened = true;
            user(*date, *date->ControlAs<QCalendarWidget>(IdCalendar));
        });
        Click(IdDateButton);
        return opened;
    }

    bool ChooseDate(QDate day)
    {
        return UseDateDialog([day](DateSelectDialog &date, QCalendarWidget &calendar) {
            ClickDay(calendar, day);
            QTest::mouseClick(date.ControlAs<QPushButton>(IdOk), Qt::LeftButton);
        });
    }
};

QString Iso(QDate day)
{
    return day.toString(Qt::ISODate);
}
} // namespace

void tst_EntryCommandsDialog::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_previousFolder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_folder->path()));
    m_answers.clear();
    m_boxes.clear();
    QtShell::opener = [](const QUrl &) {};
    QtMessageBoxes::answerer = [this](const BoxRequest &box) {
        m_boxes.push_back(box);
        if (m_answers.empty())
            return int(AnswerOk);
        const int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    };
}

void tst_EntryCommandsDialog::cleanup()
{
    QDir::setCurrent(m_previousFolder);
    m_folder.reset();
    QtShell::opener = nullptr;
    QtMessageBoxes::answerer = nullptr;
    QtMessageBoxes::SetMainWindow(nullptr);
    JournalDialog::clock = nullptr;
}

void tst_EntryCommandsDialog::dateOpensOnTodayOverTheMainDialog_data()
{
    QTest::addColumn<QString>("dateBefore");
    QTest::addColumn<bool>("clockAfter2038");
    QTest::newRow("empty Date") << "" << false;
    QTest::newRow("Date holding another day") << "1999-01-01" << false;
    QTest::newRow("today after 2038") << "1999-01-01" << true;
}

void tst_EntryCommandsDialog::dateOpensOnTodayOverTheMainDialog()
{
    QFETCH(QString, dateBefore);
    QFETCH(bool, clockAfter2038);
    ScopedTimeZone utc("UTC");
    if (clockAfter2038)
        JournalDialog::clock = [] { return sys_days(2040y / 2 / 29) + 12h; };
    ShownDialog shown;
    shown.dialog.Form().Date = dateBefore.toStdString();
    shown.dialog.WriteForm();
    const QDate before = clockAfter2038 ? QDate(2040, 2, 29) : QDate::currentDate();
    QDate openedOn;
    QWidget *owner = nullptr;
    QString caption;
    QPoint centre;
    const bool opened = shown.UseDateDialog([&](DateSelectDialog &date, QCalendarWidget &calendar) {
        openedOn = calendar.selectedDate();
        owner = date.parentWidget();
        caption = date.windowTitle();
        centre = date.frameGeometry().center();
        QTest::mouseClick(date.ControlAs<QPushButton>(IdOk), Qt::LeftButton);
    });
    QVERIFY(opened);
    const QDate after = clockAfter2038 ? before : QDate::currentDate(); // midnight may pass
    QVERIFY(openedOn == before || openedOn == after);
    QCOMPARE(owner, &shown.dialog);
    QCOMPARE(caption, QString("Date Selection"));
    QVERIFY((centre - shown.dialog.frameGeometry().center()).manhattanLength() <= 2);
    QCOMPARE(shown.Shown(IdDate), Iso(openedOn));
    QCOMPARE(shown.dialog.Form().Date, Iso(openedOn).toStdString());
}

void tst_EntryCommandsDialog::chosenDayBecomesDate_data()
{
    QTest::addColumn<QDate>("day");
    QTest::newRow("5 March 2006") << QDate(2006, 3, 5);
    QTest::newRow("22 December 2006") << QDate(2006, 12, 22);
    QTest::newRow("1969-12-31, before the first time value") << QDate(1969, 12, 31);
    QTest::newRow("1850-06-01, before 1900") << QDate(1850, 6, 1);
    QTest::newRow("2040-02-29, after the last time value") << QDate(2040, 2, 29);
}

void tst_EntryCommandsDialog::chosenDayBecomesDate()
{
    QFETCH(QDate, day);
    ShownDialog shown;
    QVERIFY(shown.ChooseDate(day));
    QCOMPARE(shown.Shown(IdDate), Iso(day));
    QCOMPARE(shown.dialog.Form().Date, Iso(day).toStdString());
}

void tst_EntryCommandsDialog::everyWayOfEndingSetsTheDate_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");
    QTest::newRow("Return") << "return" << 1;
    QTest::newRow("Enter") << "enter" << 1;
    QTest::newRow("Escape") << "escape" << 2;
    QTest::newRow("close box") << "close" << 2;
}

void tst_EntryCommandsDialog::everyWayOfEndingSetsTheDate()
{
    QFETCH(QString, how);
    QFETCH(int, result);
    ShownDialog shown;
    int ended = 0;
    QVERIFY(shown.UseDateDialog([&](DateSelectDialog &date, QCalendarWidget &calendar) {
        ClickDay(calendar, QDate(2006, 9, 22));
        if (how == "return")
            QTest::mouseClick(date.ControlAs<QPushButton>(IdOk), Qt::LeftButton);
        else if (how == "enter")
            QTest::keyClick(date.focusWidget(), Qt::Key_Return);
        else if (how == "escape")
            QTest::keyClick(date.focusWidget(), Qt::Key_Escape);
        else
            date.close();
        ended = date.result();
    }));
    QCOMPARE(ended, result);
    QCOMPARE(shown.Shown(IdDate), QString("2006-09-22"));
}

void tst_EntryCommandsDialog::dateKeepsTypedTexts()
{
    ShownDialog shown;
    shown.Type(IdTitle, "typed title");
    QTest::keyClicks(shown.EntryBox(), "a");
    QTest::keyClick(shown.EntryBox(), Qt::Key_Return);
    QTest::keyClicks(shown.EntryBox(), "b");
    shown.Type(IdImagePath, "pic.jpg");
    QVERIFY(shown.ChooseDate(QDate(2006, 3, 5)));
    QCOMPARE(shown.Shown(IdDate), QString("2006-03-05"));
    QCOMPARE(shown.Shown(IdTitle), QString("typed title"));
    QCOMPARE(shown.EntryBox()->toPlainText(), QString("a\nb"));
    QCOMPARE(shown.Shown(IdImagePath), QString("pic.jpg"));
    QCOMPARE(shown.dialog.Form().Entry, Text("a\r\nb"));
    QCOMPARE(shown.dialog.Form().ImagePath, Text("pic.jpg"));
}

void tst_EntryCommandsDialog::addWithEmptyDateShowsTheError()
{
    ShownDialog shown;
    shown.Type(IdTitle, "no date");
    shown.Click(IdAdd);
    QCOMPARE(m_boxes.size(), size_t(1));
    QCOMPARE(m_boxes[0].text, Text("Date Blank.\r\nNo entry added."));
    QCOMPARE(m_boxes[0].caption, Text("Error"));
    QCOMPARE(m_boxes[0].type, BoxOk);
    QVERIFY(!m_boxes[0].warningIcon);
    QCOMPARE(m_boxes[0].owner, &shown.dialog);
    QCOMPARE(shown.List().RowCount(), 0);
    QCOMPARE(shown.Shown(IdTitle), QString("no date"));
}

void tst_EntryCommandsDialog::duplicateQuestionInARealBox_data()
{
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("titles");
    QTest::newRow("Yes adds a second row") << true << QStringList{"Harvest", "Harvest"};
    QTest::newRow("No adds nothing") << false << QStringList{"Harvest"};
}

void tst_EntryCommandsDialog::duplicateQuestionInARealBox()
{
    QFETCH(bool, yes);
    QFETCH(QStringList, titles);
    QtMessageBoxes::answerer = nullptr;
    ShownDialog shown;
    QtMessageBoxes::SetMainWindow(&shown.dialog);
    QVERIFY(shown.ChooseDate(QDate(2006, 9, 22)));
    shown.Type(IdTitle, "Harvest");
    shown.Click(IdAdd);
    QCOMPARE(shown.Titles(), QStringList{"Harvest"});

    QString text, caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget *owner = nullptr;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        text = box->text();
        caption = box->windowTitle();
        icon = box->icon();
        owner = box->parentWidget();
        QTest::mouseClick(box->button(yes ? QMessageBox::Yes : QMessageBox::No), Qt::LeftButton);
    });
    shown.Click(IdAdd); // the same date and title again
    QCOMPARE(text,
             QString("This entry is already in the list.\nDo you really want to add this item?"));
    QCOMPARE(caption, QString("Penwick"));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(owner, &shown.dialog);
    QCOMPARE(shown.Titles(), titles);
    QCOMPARE(shown.Shown(IdEntryCount), QString::number(titles.size()));
}

void tst_EntryCommandsDialog::updateAndRemoveActOnTheClickedRow_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("clickedRow");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QString>("count");
    QTest::newRow("Update the clicked row")
        << int(IdUpdate) << 1 << QStringList{"Harvest", "Storm", "Market"} << "3";
    QTest::newRow("Update with no marked row")
        << int(IdUpdate) << -1 << QStringList{"Harvest", "Rain", "Market"} << "3";
    QTest::newRow("Remove the clicked row")
        << int(IdRemove) << 1 << QStringList{"Harvest", "Market"} << "2";
    QTest::newRow("Remove with no marked row")
        << int(IdRemove) << -1 << QStringList{"Harvest", "Rain", "Market"} << "3";
}

void tst_EntryCommandsDialog::updateAndRemoveActOnTheClickedRow()
{
    QFETCH(int, command);
    QFETCH(int, clickedRow);
    QFETCH(QStringList, titles);
    QFETCH(QString, count);
    ShownDialog shown;
    shown.AddRows(threeRows);
    if (clickedRow >= 0)
        shown.ClickRow(clickedRow);
    shown.Type(IdTitle, "Storm");
    shown.Click(command);
    QCOMPARE(shown.Titles(), titles);
    QCOMPARE(shown.Shown(IdEntryCount), count);
    QCOMPARE(shown.Shown(IdTitle), QString("Storm")); // the form keeps its texts
    QVERIFY(m_boxes.empty());
}

void tst_EntryCommandsDialog::removeThenAddReinsertsAtTheTop()
{
    ShownDialog shown;
    shown.AddRows(threeRows);
    shown.ClickRow(1);
    shown.Click(IdRemove);
    shown.Click(IdAdd);
    QCOMPARE(shown.Titles(), (QStringList{"Rain", "Harvest", "Market"}));
    QCOMPARE(CellText(shown.List(), 0, 0), Text("2006-09-21"));
    QCOMPARE(CellText(shown.List(), 0, 2), Text("All day"));
    QCOMPARE(shown.Shown(IdEntryCount), QString("3"));
    QVERIFY(m_boxes.empty());
}

void tst_EntryCommandsDialog::reportRightAfterLoadingLeavesTheBottomRowForAdd()
{
    WriteBytes("pw.dat", "CREATOR=PENWICK 1.0\r\n"
                         "DATE=2006-09-20\r\nTITLE=Market\r\nENTRY=Cheese\r\n"
                         "DATE=2006-09-21\r\nTITLE=Rain\r\nENTRY=All day\r\n");
    m_answers = {AnswerNo, AnswerNo}; // don't open the report; don't add the duplicate
    ShownDialog shown;
    QCOMPARE(shown.Titles(), (QStringList{"Rain", "Market"}));
    shown.Click(IdReport);
    QCOMPARE(shown.Shown(IdDate), QString("2006-09-20"));
    QCOMPARE(shown.Shown(IdTitle), QString("Market"));
    shown.Click(IdAdd);
    QCOMPARE(m_boxes.size(), size_t(2));
    QCOMPARE(m_boxes[1].text,
             Text("This entry is already in the list.\r\nDo you really want to add this item?"));
    QCOMPARE(m_boxes[1].type, BoxYesNo);
    QVERIFY(m_boxes[1].warningIcon);
    QCOMPARE(shown.Titles(), (QStringList{"Rain", "Market"}));
}

void tst_EntryCommandsDialog::headingClicksSortAndReverse()
{
    ShownDialog shown;
    shown.AddRows(
        {{"2006-09-22", "apple", ""}, {"2006-09-21", "Zoo", ""}, {"2006-09-20", "mango", ""}});
    QHeaderView *header = shown.List().header();
    const QPoint titleHeading(header->sectionViewportPosition(1) + header->sectionSize(1) / 2,
                              header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, titleHeading);
    QCOMPARE(shown.Titles(), (QStringList{"Zoo", "apple", "mango"}));
    QCOMPARE(CellText(shown.List(), 0, 0), Text("2006-09-21")); // whole rows move
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, titleHeading);
    QCOMPARE(shown.Titles(), (QStringList{"mango", "apple", "Zoo"}));
}

void tst_EntryCommandsDialog::addedEntrySurvivesQuitAndRestart()
{
    {
        ShownDialog shown;
        QVERIFY(shown.ChooseDate(QDate(2006, 9, 22)));
        shown.Type(IdTitle, "Harvest");
        QTest::keyClicks(shown.EntryBox(), "a");
        QTest::keyClick(shown.EntryBox(), Qt::Key_Return);
        QTest::keyClicks(shown.EntryBox(), "b");
        shown.Click(IdAdd);
        shown.Click(IdOk);
        QVERIFY(!shown.dialog.isVisible());
    }
    QCOMPARE(ReadBytes("pw.dat"), std::string("CREATOR=PENWICK 1.0\r\nDATE=2006-09-22\r\n"
                                              "TITLE=Harvest\r\nENTRY=a<br>b\r\n"));
    ShownDialog restarted;
    QCOMPARE(restarted.List().RowCount(), 1);
    QCOMPARE(RowOf(restarted.List().RowAt(0)), (Row{"2006-09-22", "Harvest", "a\r\nb"}));
    QCOMPARE(restarted.Shown(IdEntryCount), QString("1"));
    QVERIFY(m_boxes.empty());
}

QTEST_MAIN(tst_EntryCommandsDialog)
#include "tst_entrycommandsdialog.moc"
