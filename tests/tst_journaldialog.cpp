// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/aboutdialog.h"
#include "app/journaldialog.h"
#include "datepick/qt/dateselectdialog.h"
#include "datepick/qt/qtdatepicker.h"
#include "find/qt/findwindow.h"
#include "journal/journalformat.h"
#include "journal/versions.h"
#include "resources/resourceids.h"
#include "resources/resources.h"
#include "support/calendarclicks.h"
#include "support/scopedtimezone.h"
#include "support/testsupport.h"
#include "ui/qt/qtlistview.h"
#include "ui/qt/qtshell.h"

#include <QCalendarWidget>
#include <QFileInfo>
#include <QHeaderView>
#include <QTemporaryDir>

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimeZone>
#include <QtTest>

#include <functional>
#include <memory>
#include <optional>

using namespace std::chrono;

// The main dialog with its real controls, list and Date Selection dialog; its boxes are
// scripted and its shell records what it is asked to open.
class tst_JournalDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startsWithEmptyFormAndThreeColumns();
    void focusIsOnAddAfterStart();
    void hasTheApplicationIcon();
    void columnsFitHeadingsAndFillTheList();
    void longTitleWidensItsColumnAndItsRemovalNarrowsIt();
    void clickLoadsTheRowIntoTheForm();
    void keyboardMovesLeaveTheFormAloneAndSpaceLoads();
    void keysActOnTheFocusedControl_data();
    void keysActOnTheFocusedControl();
    void markFollowsOnlyTheUsersChoice_data();
    void markFollowsOnlyTheUsersChoice();
    void everyFocusableControlIsNamed_data();
    void everyFocusableControlIsNamed();
    void clickOnEmptySpaceWithoutMarkEmptiesTheTexts();
    void dateOpensTheDateDialogOnToday_data();
    void dateOpensTheDateDialogOnToday();
    void clearEmptiesTextsOnly();
    void helpOpensTheLocalPageWhenThereIsOne_data();
    void helpOpensTheLocalPageWhenThereIsOne();
    void browseDoesNothing();
    void aboutItemFollowsASeparator();
    void aboutItemOpensTheAboutBox();
    void otherSystemCommandsBehaveNormally();
    void closingWays_data();
    void closingWays();
    void eachTextKeepsItsOwnEncoding_data();
    void eachTextKeepsItsOwnEncoding();
    void listChangesReachTheJournalWhileOpen_data();
    void listChangesReachTheJournalWhileOpen();
    void reportKeepsTheDraftAndTheChosenRow();
    void unreadableJournalIsAnnouncedOnceTheWindowIsShown();
    void findWindowIsNamedAndKeepsItsTextForF3();
    void undoAndRedoOfTheListOutsideTextBoxes();
    void copiesBesideAreOfferedOnceAndMergedAsOneStep();

private:
    // Each test runs in a fresh folder: the dialog loads and saves the journal there.
    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_previousFolder;
};

namespace {
struct TestCollaborators
{
    ScriptedBoxes boxes;
    RecordingShell shell;
    QtDatePicker datePicker;
};

struct ShownDialog : TestCollaborators
{
    JournalDialog dialog;

    // Help looks for its page from `programFolder`; the clock stands at `now` when it is given.
    explicit ShownDialog(const QString &programFolder = {},
                         std::optional<system_clock::time_point> now = {})
        : dialog({.boxes = boxes,
                  .shell = shell,
                  .datePicker = datePicker,
                  .clock = [now] { return now.value_or(system_clock::now()); },
                  .programFolder = programFolder})
    {
        datePicker.SetOwner(&dialog);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    }

    QtListView &List() { return dialog.EntryListView(); }
    QLineEdit *Edit(int id) { return dialog.ControlAs<QLineEdit>(id); }
    QPlainTextEdit *EntryBox() { return dialog.ControlAs<QPlainTextEdit>(IdEntry); }
    void Click(int id) { QTest::mouseClick(dialog.ControlAs<QPushButton>(id), Qt::LeftButton); }

    void AddRows(const std::vector<Row> &rows)
    {
        // As the journal load does it: all rows at the top, the columns sized and the rows
        // counted once.
        EntryList &entries = dialog.Entries();
        entries.List().InsertRows(0, RowStore::FromRows(rows));
        entries.AutoSizeColumns();
        entries.RecountEntries();
        // The form holds the top row, as adding the rows one by one through it left it.
        if (!rows.empty())
            entries.LoadRowIntoForm(0);
    }

    void ClickRow(int row)
    {
        const QRect cell = List().visualRect(List().model()->index(row, 1));
        QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, cell.center());
    }

    void ClickHeading(int column)
    {
        QHeaderView *header = List().header();
        const QPoint middle(header->sectionViewportPosition(column) +
                                header->sectionSize(column) / 2,
                            header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, middle);
    }

    // Presses a key in the widget that has the focus, as the user's keyboard does.
    static void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }

    int WidthSum() { return List().ColumnWidth(0) + List().ColumnWidth(1) + List().ColumnWidth(2); }

    QString Titles()
    {
        QStringList titles;
        for (int row = 0; row < List().RowCount(); ++row)
            titles << QString::fromStdString(CellText(List(), row, 1));
        return titles.join(' ');
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
};

const std::vector<Row> threeRows = {
    {"2006-09-22", "Harvest", "Apples\r\nand pears"},
    {"2006-09-21", "Rain", "All day"},
    {"2006-09-20", "Market", "Cheese"},
};
} // namespace

void tst_JournalDialog::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_previousFolder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_folder->path()));
}

void tst_JournalDialog::cleanup()
{
    QDir::setCurrent(m_previousFolder);
    m_folder.reset();
}

void tst_JournalDialog::startsWithEmptyFormAndThreeColumns()
{
    ShownDialog shown;
    QCOMPARE(shown.dialog.windowTitle(), QString("Lumenlog"));
    QCOMPARE(shown.Edit(IdEntryCount)->text(), QString("0"));
    for (int id : {IdDate, IdTitle, IdImagePath})
        QCOMPARE(shown.Edit(id)->text(), QString());
    QCOMPARE(shown.List().HeadingCount(), 3);
    const QStringList headings{"Date", "Title", "Entry"};
    for (int column = 0; column < 3; ++column) {
        QCOMPARE(shown.List().model()->headerData(column, Qt::Horizontal).toString(),
                 headings[column]);
        QCOMPARE(shown.List()
                         .model()
                         ->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole)
                         .value<Qt::Alignment>() &
                     Qt::AlignHorizontal_Mask,
                 Qt::AlignLeft);
    }
    QCOMPARE(shown.List().selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(shown.List().selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(shown.List().header()->sectionsClickable());
    QVERIFY(!shown.List().isSortingEnabled());
    QVERIFY(shown.boxes.shown.empty());
}

void tst_JournalDialog::focusIsOnAddAfterStart()
{
    ShownDialog shown;
    QCOMPARE(shown.dialog.focusWidget(), shown.dialog.Control(IdAdd));
}

void tst_JournalDialog::hasTheApplicationIcon()
{
    ShownDialog shown;
    const QIcon icon = shown.dialog.windowIcon();
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.availableSizes(), (QList<QSize>{{16, 16}, {32, 32}, {48, 48}}));
}

void tst_JournalDialog::columnsFitHeadingsAndFillTheList()
{
    ShownDialog shown;
    QHeaderView *header = shown.List().header();
    for (int column = 0; column < 3; ++column)
        QVERIFY(shown.List().ColumnWidth(column) >= header->sectionSizeHint(column));
    QCOMPARE(shown.WidthSum(), shown.List().viewport()->width());
    shown.AddRows(threeRows);
    QCOMPARE(shown.WidthSum(), shown.List().viewport()->width());
}

void tst_JournalDialog::longTitleWidensItsColumnAndItsRemovalNarrowsIt()
{
    ShownDialog shown;
    shown.AddRows(threeRows);
    const int before = shown.List().ColumnWidth(1);
    const Text longTitle = "A title much longer than any other title in this list";
    shown.AddRows({{"2006-09-23", longTitle, ""}});
    const int wide = shown.List().ColumnWidth(1);
    QVERIFY(wide > before);
    QVERIFY(wide >=
            QFontMetrics(shown.List().font()).horizontalAdvance(QString::fromStdString(longTitle)));
    QCOMPARE(shown.WidthSum(), std::max(shown.List().viewport()->width(), shown.WidthSum()));
    shown.List().RemoveRow(0);
    shown.dialog.Entries().AutoSizeColumns();
    QCOMPARE(shown.List().ColumnWidth(1), before);
    QCOMPARE(shown.WidthSum(), shown.List().viewport()->width());
}

void tst_JournalDialog::clickLoadsTheRowIntoTheForm()
{
    ShownDialog shown;
    shown.AddRows(threeRows);
    shown.Edit(IdImagePath)->setText("typed.jpg");
    shown.ClickRow(0);
    QCOMPARE(shown.Edit(IdDate)->text(), QString("2006-09-22"));
    QCOMPARE(shown.Edit(IdTitle)->text(), QString("Harvest"));
    QCOMPARE(shown.EntryBox()->toPlainText(), QString("Apples\nand pears"));
    QCOMPARE(shown.Edit(IdImagePath)->text(), QString("typed.jpg"));
    QCOMPARE(shown.Edit(IdEntryCount)->text(), QString("3"));
    QCOMPARE(shown.dialog.Form().Entry, Text("Apples\r\nand pears"));
    shown.ClickRow(2);
    QCOMPARE(shown.Edit(IdTitle)->text(), QString("Market"));
}

void tst_JournalDialog::keyboardMovesLeaveTheFormAloneAndSpaceLoads()
{
    ShownDialog shown;
    shown.AddRows(threeRows);
    shown.ClickRow(0);
    QTest::keyClick(&shown.List(), Qt::Key_Down);
    QCOMPARE(shown.List().SelectionMark(), 1);
    QCOMPARE(shown.Edit(IdTitle)->text(), QString("Harvest"));
    QTest::keyClick(&shown.List(), Qt::Key_Space); // the keyboard's click
    QCOMPARE(shown.Edit(IdTitle)->text(), QString("Rain"));
    QTest::keyClick(&shown.List(), Qt::Key_Down);
    shown.ClickRow(0);
    QCOMPARE(shown.Edit(IdTitle)->text(), QString("Harvest"));
}

void tst_JournalDialog::keysActOnTheFocusedControl_data()
{
    QTest::addColumn<int>("focus");
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QString>("titles"); // the list's, from the top
    QTest::addColumn<QString>("title");  // the form's Title box (closing saves and empties it)
    const QKeyCombination enter(Qt::Key_Return);
    QTest::newRow("Enter on a button presses it")
        << int(IdClear) << enter << false << "Harvest Rain Market"
        << "";
    QTest::newRow("Enter in the list presses Quit")
        << int(IdEntryList) << enter << true << "Harvest Rain Market"
        << "";
    QTest::newRow("Ctrl+1 sorts by Date")
        << int(IdEntryList) << (Qt::CTRL | Qt::Key_1) << false << "Market Rain Harvest"
        << "Harvest";
    QTest::newRow("Ctrl+2 sorts by Title")
        << int(IdEntryList) << (Qt::CTRL | Qt::Key_2) << false << "Harvest Market Rain"
        << "Harvest";
}

void tst_JournalDialog::keysActOnTheFocusedControl()
{
    QFETCH(int, focus);
    QFETCH(QKeyCombination, key);
    QFETCH(bool, closes);
    QFETCH(QString, titles);
    QFETCH(QString, title);
    ShownDialog shown;
    shown.AddRows(threeRows);
    shown.dialog.Control(focus)->setFocus();
    ShownDialog::Key(key.key(), key.keyboardModifiers());
    QCOMPARE(shown.dialog.isVisible(), !closes);
    QCOMPARE(shown.Titles(), titles);
    QCOMPARE(shown.Edit(IdTitle)->text(), title);
}

void tst_JournalDialog::markFollowsOnlyTheUsersChoice_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("markedTitle"); // empty: no mark
    // The rows, top to bottom: Harvest (2006-09-22), Rain (2006-09-21), Market (2006-09-20).
    QTest::newRow("Tab into the list") << "tab"
                                       << "";
    QTest::newRow("Shift+Tab into the list") << "backtab"
                                             << "";
    QTest::newRow("Tab in, then a click elsewhere") << "tab click-title"
                                                    << "";
    QTest::newRow("focus back from a box") << "tab box"
                                           << "";
    QTest::newRow("a key after Tab") << "tab down"
                                     << "Rain";
    QTest::newRow("clicked row, Tab away and back") << "row1 tab backtab"
                                                    << "Rain";
    QTest::newRow("clicked row, focus back from a box") << "row2 box"
                                                        << "Market";
    QTest::newRow("sort by Title") << "row1 sort1"
                                   << "Rain";
    QTest::newRow("sort by Date, ascending already") << "row0 sort0"
                                                     << "Harvest";
    QTest::newRow("sort by Date twice") << "row0 sort0 sort0"
                                        << "Harvest";
    QTest::newRow("a key after a sort") << "row0 sort1 down"
                                        << "Market";
    QTest::newRow("sort without a mark") << "sort1"
                                         << "";
}

void tst_JournalDialog::markFollowsOnlyTheUsersChoice()
{
    QFETCH(QString, steps);
    QFETCH(QString, markedTitle);
    ShownDialog shown;
    shown.AddRows(threeRows);
    QtListView &list = shown.List();
    const std::vector<int> widths{list.ColumnWidth(0), list.ColumnWidth(1), list.ColumnWidth(2)};
    for (const QString &step : steps.split(' ')) {
        if (step == "tab") {
            shown.EntryBox()->setFocus();
            ShownDialog::Key(Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), &list);
        } else if (step == "backtab") {
            shown.dialog.Control(IdOk)->setFocus();
            ShownDialog::Key(Qt::Key_Tab, Qt::ShiftModifier);
            QCOMPARE(QApplication::focusWidget(), &list);
        } else if (step == "click-title") {
            QTest::mouseClick(shown.Edit(IdTitle), Qt::LeftButton);
            QCOMPARE(QApplication::focusWidget(), shown.Edit(IdTitle));
        } else if (step == "box") {
            list.setFocus();
            QMessageBox box(QMessageBox::Warning, "Lumenlog", "A box", QMessageBox::Ok,
                            &shown.dialog);
            QTimer::singleShot(0, &box, [&box] {
                QVERIFY(QTest::qWaitForWindowActive(&box));
                box.accept();
            });
            box.exec();
            // As the window manager does once the box has gone.
            shown.dialog.activateWindow();
            QTRY_COMPARE(QApplication::focusWidget(), &list);
        } else if (step == "down") {
            ShownDialog::Key(Qt::Key_Down);
        } else if (step.startsWith("row")) {
            shown.ClickRow(step.mid(3).toInt());
        } else if (step.startsWith("sort")) {
            shown.ClickHeading(step.mid(4).toInt());
        }
    }
    const int mark = list.SelectionMark();
    QCOMPARE(mark < 0 ? QString() : QString::fromStdString(CellText(list, mark, 1)), markedTitle);
    QList<int> selected;
    for (const QModelIndex &row : list.selectionModel()->selectedRows())
        selected << row.row();
    QCOMPARE(selected, mark < 0 ? QList<int>{} : QList<int>{mark});
    // The sort moves rows only: the columns keep their widths and the count stays.
    QCOMPARE((std::vector<int>{list.ColumnWidth(0), list.ColumnWidth(1), list.ColumnWidth(2)}),
             widths);
    QCOMPARE(shown.Edit(IdEntryCount)->text(), QString("3"));
}

void tst_JournalDialog::everyFocusableControlIsNamed_data()
{
    QTest::addColumn<int>("dialogId");
    QTest::addColumn<QStringList>("tabStopNames");
    QTest::newRow("main") << int(IdMainDialog)
                          << QStringList{"Add",  "Remove",      "Update", "Clear",  "Help",
                                         "Date", "Date",        "Title",  "Entry",  "Entries",
                                         "Quit", "Entry count", "Image",  "Report", "Browse"};
    QTest::newRow("About") << int(IdAboutDialog) << QStringList{"OK"};
    QTest::newRow("Date Selection") << int(IdDateSelectDialog) << QStringList{"Return", "Calendar"};
}

void tst_JournalDialog::everyFocusableControlIsNamed()
{
    QFETCH(int, dialogId);
    QFETCH(QStringList, tabStopNames);
    TestCollaborators with;
    std::unique_ptr<TemplateDialog> dialog;
    if (dialogId == IdMainDialog)
        dialog = std::make_unique<JournalDialog>(JournalDialog::Collaborators{
            .boxes = with.boxes, .shell = with.shell, .datePicker = with.datePicker});
    else if (dialogId == IdAboutDialog)
        dialog = std::make_unique<AboutDialog>();
    else
        dialog = std::make_unique<DateSelectDialog>(PickedDate{}, nullptr);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    const auto nameOf = [](QObject *object) {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(object);
        return accessible ? accessible->text(QAccessible::Name) : QString();
    };

    QStringList names;
    for (const ControlTemplate &control : dialog->Template().controls) {
        if (control.Has(ControlStyle::TabStop))
            names << nameOf(dialog->Control(control.id));
    }
    QCOMPARE(names, tabStopNames);
    // Also the parts of a control that take the focus themselves, such as a calendar's.
    for (QWidget *widget : dialog->findChildren<QWidget *>()) {
        if (widget->focusPolicy() != Qt::NoFocus && widget->isVisible())
            QVERIFY2(!nameOf(widget).isEmpty(), widget->metaObject()->className());
    }
    if (auto *main = dynamic_cast<JournalDialog *>(dialog.get())) {
        QAccessibleTableInterface *table =
            QAccessible::queryAccessibleInterface(&main->EntryListView())->tableInterface();
        QVERIFY(table);
        QCOMPARE((QStringList{table->columnDescription(0), table->columnDescription(1),
                              table->columnDescription(2)}),
                 (QStringList{"Date", "Title", "Entry"}));
    }
}

void tst_JournalDialog::clickOnEmptySpaceWithoutMarkEmptiesTheTexts()
{
    ShownDialog shown;
    shown.AddRows(threeRows);
    shown.Edit(IdTitle)->setText("typed");
    QCOMPARE(shown.List().SelectionMark(), -1);
    const QPoint below(5, shown.List().viewport()->height() - 3);
    QTest::mouseClick(shown.List().viewport(), Qt::LeftButton, {}, below);
    QCOMPARE(shown.Edit(IdTitle)->text(), QString());
    QCOMPARE(shown.Edit(IdEntryCount)->text(), QString("3"));
}

void tst_JournalDialog::dateOpensTheDateDialogOnToday_data()
{
    QTest::addColumn<QDateTime>("clock"); // null: the system's
    QTest::addColumn<QDate>("clicked");   // null: no day clicked
    QTest::addColumn<QString>("how");     // the way the Date Selection dialog is ended
    QTest::addColumn<int>("result");
    const QDateTime noon(QDate(2006, 9, 22), QTime(12, 0), QTimeZone::utc());
    const QDate march5(2006, 3, 5);
    QTest::newRow("Return") << QDateTime() << QDate() << "return" << 1;
    QTest::newRow("Enter after a click") << noon << march5 << "enter" << 1;
    QTest::newRow("Escape after a click") << noon << march5 << "escape" << 2;
    QTest::newRow("close box after a click") << noon << march5 << "close" << 2;
    QTest::newRow("today after 2038")
        << QDateTime(QDate(2040, 2, 29), QTime(12, 0), QTimeZone::utc()) << QDate() << "return"
        << 1;
}

// The dialog opens on today, not on the form's date, centred over the main dialog; however it
// ends, the day it holds becomes the Date.
void tst_JournalDialog::dateOpensTheDateDialogOnToday()
{
    QFETCH(QDateTime, clock);
    QFETCH(QDate, clicked);
    QFETCH(QString, how);
    QFETCH(int, result);
    ScopedTimeZone utc("UTC");
    std::optional<system_clock::time_point> now;
    if (clock.isValid())
        now = system_clock::time_point(seconds(clock.toSecsSinceEpoch()));
    ShownDialog shown({}, now);
    shown.Edit(IdDate)->setText("1999-01-01");
    const QDate before = clock.isValid() ? clock.date() : QDate::currentDate();
    QDate openedOn;
    QString caption;
    QPoint centre;
    int ended = 0;
    QVERIFY(shown.UseDateDialog([&](DateSelectDialog &date, QCalendarWidget &calendar) {
        openedOn = calendar.selectedDate();
        caption = date.windowTitle();
        centre = date.frameGeometry().center();
        if (clicked.isValid())
            ClickDay(calendar, clicked);
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
    const QDate after = clock.isValid() ? before : QDate::currentDate(); // midnight may pass
    QVERIFY(openedOn == before || openedOn == after);
    QCOMPARE(caption, QString("Date Selection"));
    QVERIFY((centre - shown.dialog.frameGeometry().center()).manhattanLength() <= 2);
    QCOMPARE(ended, result);
    const QString day = (clicked.isValid() ? clicked : openedOn).toString(Qt::ISODate);
    QCOMPARE(shown.Edit(IdDate)->text(), day);
    QCOMPARE(shown.dialog.Form().Date, day.toStdString());
}

void tst_JournalDialog::clearEmptiesTextsOnly()
{
    ShownDialog shown;
    shown.AddRows(threeRows);
    shown.ClickRow(1);
    shown.Edit(IdImagePath)->setText("pic.jpg");
    shown.Click(IdClear);
    QCOMPARE(shown.Edit(IdDate)->text(), QString());
    QCOMPARE(shown.Edit(IdTitle)->text(), QString());
    QCOMPARE(shown.EntryBox()->toPlainText(), QString());
    QCOMPARE(shown.Edit(IdImagePath)->text(), QString("pic.jpg"));
    QCOMPARE(shown.Edit(IdEntryCount)->text(), QString("3"));
    QCOMPARE(shown.List().RowCount(), 3);
}

void tst_JournalDialog::helpOpensTheLocalPageWhenThereIsOne_data()
{
    QTest::addColumn<QString>("programFolder"); // "prefix/..." lies in the test's folder
    QTest::addColumn<bool>("installPage");
    QTest::addColumn<QString>("opened"); // the same
    QTest::newRow("installed") << "prefix/bin" << true << "prefix/share/lumenlog/help.html";
    QTest::newRow("build folder") << LUMENLOG_BUILD_DIR << false
                                  << LUMENLOG_SOURCE_DIR "/docs/help.html";
    QTest::newRow("neither") << "prefix/bin" << false
                             << "http://www.lumenlog.example/lumenlog/help.htm";
}

void tst_JournalDialog::helpOpensTheLocalPageWhenThereIsOne()
{
    QFETCH(QString, programFolder);
    QFETCH(bool, installPage);
    QFETCH(QString, opened);
    const QDir folder(m_folder->path());
    QVERIFY(folder.mkpath("prefix/bin"));
    if (installPage) {
        QVERIFY(folder.mkpath("prefix/share/lumenlog"));
        QFile page(folder.filePath("prefix/share/lumenlog/help.html"));
        QVERIFY(page.open(QIODevice::WriteOnly));
    }
    ShownDialog shown(folder.absoluteFilePath(programFolder));
    shown.Edit(IdTitle)->setText("kept");
    shown.Click(IdHelpButton);
    const QUrl expected = opened.startsWith("http://")
                              ? QUrl(opened)
                              : QUrl::fromLocalFile(folder.absoluteFilePath(opened));
    QCOMPARE(shown.shell.opened.size(), size_t(1));
    QCOMPARE(QtShell::UrlFor(shown.shell.opened[0]), expected);
    if (expected.isLocalFile())
        QVERIFY(QFileInfo::exists(expected.toLocalFile()));
    QCOMPARE(shown.Edit(IdTitle)->text(), QString("kept"));
    QVERIFY(shown.dialog.isVisible());
}

void tst_JournalDialog::browseDoesNothing()
{
    ShownDialog shown;
    shown.AddRows(threeRows);
    shown.Edit(IdTitle)->setText("typed");
    const Text fieldBefore = shown.dialog.Form().Title;
    shown.Click(IdBrowse);
    QVERIFY(shown.dialog.isVisible());
    QCOMPARE(shown.Edit(IdTitle)->text(), QString("typed"));
    QCOMPARE(shown.dialog.Form().Title, fieldBefore); // no form exchange either
    QCOMPARE(shown.List().RowCount(), 3);
    QVERIFY(shown.boxes.shown.empty());
    QVERIFY(shown.shell.opened.empty());
}

void tst_JournalDialog::aboutItemFollowsASeparator()
{
    ShownDialog shown;
    const QList<QAction *> items = shown.dialog.SystemMenu()->actions();
    QCOMPARE(items.size(), 7);
    QVERIFY(items[2]->isSeparator());
    QCOMPARE(items[3]->text(), QString("&Close"));
    QCOMPARE(items[4]->text(), QString("&Find...\tCtrl+F"));
    QVERIFY(items[5]->isSeparator());
    QCOMPARE(items[6]->text(), QString("&About Penwick..."));
}

void tst_JournalDialog::aboutItemOpensTheAboutBox()
{
    ShownDialog shown;
    shown.dialog.move(30, 40);
    QPointer<AboutDialog> about;
    QRect aboutFrame;
    QStringList texts;
    bool hasIcon = false;
    QTimer::singleShot(0, this, [&] {
        about = qobject_cast<AboutDialog *>(QApplication::activeModalWidget());
        if (!about)
            return;
        aboutFrame = about->frameGeometry();
        for (QLabel *label : about->findChildren<QLabel *>()) {
            if (!label->pixmap().isNull())
                hasIcon = true;
            else
                texts << label->text();
        }
        QTest::mouseClick(about->ControlAs<QPushButton>(IdOk), Qt::LeftButton);
    });
    shown.dialog.SystemMenu()->actions().back()->trigger();
    QVERIFY(about.isNull()); // ended and destroyed
    QVERIFY(hasIcon);
    QCOMPARE(texts, (QStringList{"Lumenlog", QStringLiteral("Version ") + ProgramVersion()}));
    QVERIFY(qAbs(aboutFrame.center().x() - shown.dialog.frameGeometry().center().x()) <= 1);
    QVERIFY(qAbs(aboutFrame.center().y() - shown.dialog.frameGeometry().center().y()) <= 1);
    QVERIFY(shown.dialog.isVisible());
}

void tst_JournalDialog::otherSystemCommandsBehaveNormally()
{
    ShownDialog shown;
    shown.dialog.SystemMenu()->actions()[3]->trigger(); // Close
    QVERIFY(!shown.dialog.isVisible());
    QCOMPARE(shown.dialog.result(), int(TemplateDialog::ResultCancel));
}

void tst_JournalDialog::closingWays_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");
    QTest::newRow("Quit") << "quit" << 1;
    QTest::newRow("Enter in Title") << "enter" << 1;
    QTest::newRow("Escape") << "escape" << 2;
    QTest::newRow("close box") << "close" << 2;
}

void tst_JournalDialog::closingWays()
{
    QFETCH(QString, how);
    QFETCH(int, result);
    ShownDialog shown;
    shown.Edit(IdTitle)->setText("typed");
    if (how == "quit") {
        shown.Click(IdOk);
    } else if (how == "enter") {
        shown.Edit(IdTitle)->setFocus();
        QTest::keyClick(shown.Edit(IdTitle), Qt::Key_Enter);
    } else if (how == "escape") {
        QTest::keyClick(&shown.dialog, Qt::Key_Escape);
    } else {
        shown.dialog.close();
    }
    QVERIFY(!shown.dialog.isVisible());
    QCOMPARE(shown.dialog.result(), result);
    // Every way of closing saves the journal, which ends with the form cleared.
    QCOMPARE(shown.dialog.Form().Title, Text());
    QVERIFY(QFileInfo::exists("pw.dat"));
}

void tst_JournalDialog::eachTextKeepsItsOwnEncoding_data()
{
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<QString>("shown"); // in the list and in the Title box
    QTest::addColumn<QString>("typed"); // null: Update without editing
    QTest::addColumn<QByteArray>("saved");
    const QString untouched;
    QTest::newRow("UTF-8 shown as UTF-8") << QByteArray("K\xc3\xb8"
                                                        "benhavn")
                                          << QString::fromUtf8("København") << untouched
                                          << QByteArray("K\xc3\xb8"
                                                        "benhavn");
    QTest::newRow("Windows-1252 shown as Windows-1252")
        << QByteArray("Caf\xe9 \x80") << QString::fromUtf8("Café €") << untouched
        << QByteArray("Caf\xe9 \x80");
    QTest::newRow("unassigned bytes as C1 controls")
        << QByteArray("\x81\x8d\x8f\x90\x9d") << QString::fromUtf8("\u0081\u008d\u008f\u0090\u009d")
        << untouched << QByteArray("\x81\x8d\x8f\x90\x9d");
    QTest::newRow("not UTF-8 as a whole")
        << QByteArray("\xc3\xa9 \xe9") << QString::fromUtf8("Ã© é") << untouched
        << QByteArray("\xc3\xa9 \xe9");
    QTest::newRow("typed into a journal holding a Windows-1252 byte")
        << QByteArray("Old") << QString("Old") << QString::fromUtf8("日✓é€")
        << QByteArray("\xe6\x97\xa5\xe2\x9c\x93\xc3\xa9\xe2\x82\xac");
    QTest::newRow("edited Windows-1252 stored as UTF-8")
        << QByteArray("Caf\xe9") << QString::fromUtf8("Café") << QString::fromUtf8("Café ☺")
        << QByteArray("Caf\xc3\xa9 \xe2\x98\xba");
}

// A journal of one entry whose text holds a Windows-1252 byte: its title is shown in its own
// encoding, Update gives back the very bytes of a box left as it was, and what is typed is
// saved as UTF-8.
void tst_JournalDialog::eachTextKeepsItsOwnEncoding()
{
    QFETCH(QByteArray, title);
    QFETCH(QString, shown);
    QFETCH(QString, typed);
    QFETCH(QByteArray, saved);
    const auto journal = [](const QByteArray &storedTitle) {
        return "CREATOR=PENWICK 1.0\r\nDATE=2024-05-01\r\nTITLE=" + storedTitle +
               "\r\nENTRY=caf\xe9\r\n";
    };
    QFile file("pw.dat");
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(journal(title)) > 0);
    file.close();

    ShownDialog f;
    const QAbstractItemModel &model = *f.List().model();
    QCOMPARE(model.data(model.index(0, 1)).toString(), shown);
    QCOMPARE(model.data(model.index(0, 2)).toString(), QString::fromUtf8("café"));
    f.ClickRow(0);
    QCOMPARE(f.Edit(IdTitle)->text(), shown);
    if (!typed.isNull()) {
        f.Edit(IdTitle)->selectAll();
        f.Edit(IdTitle)->insert(typed); // as typed: QTest types ASCII only
    }
    f.Click(IdUpdate);
    f.dialog.close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), journal(saved));
}

void tst_JournalDialog::listChangesReachTheJournalWhileOpen_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("titles"); // the list's, from the top, after the clicked row's
    QTest::newRow("Add") << "add"
                         << "Added Harvest Rain Market";
    QTest::newRow("Update") << "update"
                            << "Harvest Updated Market";
    QTest::newRow("Remove") << "remove"
                            << "Harvest Market";
    QTest::newRow("column sort") << "sort"
                                 << "Harvest Market Rain";
}

void tst_JournalDialog::listChangesReachTheJournalWhileOpen()
{
    QFETCH(QString, command);
    QFETCH(QString, titles);
    const auto stored = [](const std::vector<Row> &rows) {
        Text text = SavedText(rows);
        ReplaceAll(text, "\n", "\r\n");
        return text;
    };
    WriteBytes("pw.dat", stored(threeRows));
    ShownDialog shown;
    QCOMPARE(shown.List().RowCount(), 3);
    shown.ClickRow(1);
    if (command == "add") {
        shown.Edit(IdTitle)->setText("Added");
        shown.Click(IdAdd);
    } else if (command == "update") {
        shown.Edit(IdTitle)->setText("Updated");
        shown.Click(IdUpdate);
    } else if (command == "remove") {
        shown.Click(IdRemove);
    } else {
        QHeaderView *header = shown.List().header();
        const QPoint heading(header->sectionViewportPosition(1) + 5, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, heading);
    }
    QCOMPARE(shown.Titles(), titles);
    QTRY_COMPARE(ReadBytes("pw.dat"), stored(RowsOf(shown.List().SnapshotRows())));
    QVERIFY(shown.dialog.isVisible());
    QVERIFY(shown.boxes.shown.empty());
}

// Report changes neither the form nor the chosen and selected row.
void tst_JournalDialog::reportKeepsTheDraftAndTheChosenRow()
{
    WriteBytes("pw.dat", "CREATOR=PENWICK 1.0\r\n"
                         "DATE=2006-09-20\r\nTITLE=Market\r\nENTRY=Cheese\r\n"
                         "DATE=2006-09-21\r\nTITLE=Rain\r\nENTRY=All day\r\n");
    ShownDialog shown;
    QCOMPARE(shown.Titles(), QString("Rain Market"));
    shown.ClickRow(0);
    shown.Edit(IdTitle)->setText("Draft");
    shown.boxes.answers = {AnswerNo}; // don't open the report
    shown.Click(IdReport);
    QCOMPARE(shown.Edit(IdTitle)->text(), QString("Draft"));
    QCOMPARE(shown.List().selectionModel()->selectedRows(),
             QModelIndexList{shown.List().model()->index(0, 0)});
}

void tst_JournalDialog::unreadableJournalIsAnnouncedOnceTheWindowIsShown()
{
    QVERIFY(QDir().mkdir("pw.dat"));
    TestCollaborators with;
    JournalDialog dialog({.boxes = with.boxes, .shell = with.shell, .datePicker = with.datePicker});
    bool visibleAtBox = false;
    with.boxes.whileShown = [&] { visibleAtBox = dialog.isVisible(); };
    dialog.show();
    QTRY_COMPARE(with.boxes.shown.size(), size_t(1));
    QCOMPARE(with.boxes.shown[0].caption, Text("Journal Not Read"));
    QVERIFY(visibleAtBox);
    QCOMPARE(dialog.EntryListView().RowCount(), 0);
}

// Ctrl+F opens the Find window, whose controls are named; Escape only hides it, and F3 in the
// main window then finds with the text it keeps.
void tst_JournalDialog::findWindowIsNamedAndKeepsItsTextForF3()
{
    ShownDialog shown;
    shown.AddRows(threeRows);
    ShownDialog::Key(Qt::Key_F, Qt::ControlModifier);
    auto *find = shown.dialog.findChild<FindWindow *>();
    QVERIFY(find && find->isVisible());
    QStringList names;
    for (QWidget *widget : find->findChildren<QWidget *>()) {
        if (widget->focusPolicy() != Qt::NoFocus)
            names << QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
    }
    names.sort();
    QCOMPARE(names, (QStringList{"Find Next", "Find Previous", "Find what", "Match case"}));
    QTest::keyClicks(find->findChild<QLineEdit *>(), "RAIN");
    QTest::keyClick(find->findChild<QLineEdit *>(), Qt::Key_Escape);
    QVERIFY(!find->isVisible());
    shown.dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&shown.dialog));
    QTest::keyClick(&shown.dialog, Qt::Key_F3);
    QCOMPARE(shown.List().SelectionMark(), 1);
    QCOMPARE(shown.Edit(IdTitle)->text(), QString("Rain"));
}

// Ctrl+Z undoes a Remove when a button has the focus, with the chosen row, and the journal
// follows; in a text box it is the box's own undo. The window menu's first items say what they
// would take back or do again, and are greyed when there is nothing.
void tst_JournalDialog::undoAndRedoOfTheListOutsideTextBoxes()
{
    const std::vector<Row> rows = {{"2006-09-21", "Rain", "All day"}, {"2006-09-20", "M", "\xff"}};
    WriteBytes("pw.dat", SavedBytes(rows));
    ShownDialog shown;
    QMenu *menu = shown.dialog.SystemMenu();
    const auto items = [menu, &shown] {
        menu->popup({});
        QStringList texts;
        for (QAction *item : menu->actions().first(2))
            texts << item->text() + (item->isEnabled() ? "" : " (greyed)");
        menu->hide();
        shown.dialog.activateWindow(); // the keys go to the window again
        return texts.join(", ") + (QTest::qWaitForWindowActive(&shown.dialog) ? "" : " (inactive)");
    };
    QCOMPARE(items(), QString("Undo (greyed), Redo (greyed)"));
    shown.ClickRow(1);
    shown.Click(IdRemove);
    QTRY_COMPARE(ReadBytes("pw.dat"), SavedBytes({rows[0]}));
    QCOMPARE(items(), QString("Undo Remove, Redo (greyed)"));
    QCOMPARE(QAccessible::queryAccessibleInterface(menu)->child(0)->text(QAccessible::Name),
             QString("Undo Remove"));

    shown.Edit(IdTitle)->setFocus();
    QTest::keyClicks(shown.Edit(IdTitle), "arket");
    ShownDialog::Key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(shown.Edit(IdTitle)->text(), QString("M"));
    shown.Edit(IdDate)->setFocus(); // read-only, and still a text box
    ShownDialog::Key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(shown.Titles(), QString("Rain"));

    shown.dialog.Control(IdAdd)->setFocus();
    ShownDialog::Key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(shown.Titles(), QString("Rain M"));
    QCOMPARE(shown.List().SelectionMark(), 1);
    QCOMPARE(shown.List().SelectedRows(), (std::vector<RowRange>{{1, 1}}));
    QCOMPARE(shown.Edit(IdEntryCount)->text(), QString("2"));
    QTRY_COMPARE(ReadBytes("pw.dat"), SavedBytes(rows));
    QCOMPARE(items(), QString("Undo (greyed), Redo Remove"));
    ShownDialog::Key(Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(shown.Titles(), QString("Rain"));
}

// A sync tool's copy, grown from the kept version, removed Market and added Harvest. At start the
// box offers it and names the copy that is no journal; Not now changes nothing, and a save does
// not ask again. A new copy is asked about at the next save; Merge is one step of the history,
// saved, and the merged copy goes among the versions while the others stay.
void tst_JournalDialog::copiesBesideAreOfferedOnceAndMergedAsOneStep()
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_folder->filePath("data")));
    const std::vector<Row> base = {threeRows[1], threeRows[2]};
    const std::vector<Row> theirs = {threeRows[0], threeRows[1]};
    WriteBytes("pw.dat", SavedBytes(base));
    VersionCopy kept;
    QVERIFY(kept.Start("pw.dat", 1765022400));
    kept.Wait();
    WriteBytes("pw.sync-conflict-20261210-101010-ABCDEFG.dat", SavedBytes(theirs));
    WriteBytes("pw (Laptop's conflicted copy 2026-12-10).dat", "Note\r\n");
    ShownDialog shown;
    QTRY_COMPARE(shown.boxes.shown.size(), size_t(1)); // answered Not now
    const ShownBox offer = shown.boxes.shown[0];
    QCOMPARE(offer.caption, Text("Merge Other Versions|&Merge|Not &now"));
    QCOMPARE(offer.text, Text("pw.dat has another version beside it, written on another computer "
                              "or by another program:\r\npw.sync-conflict-20261210-101010-ABCDEFG."
                              "dat (Syncthing)\r\n\r\nMerging it into this list: 1 entry to "
                              "add, 1 to remove. It is then kept with the journal's earlier "
                              "versions.\r\n\r\npw (Laptop's conflicted copy 2026-12-10).dat is "
                              "not a journal, so it is left as it is."));
    QCOMPARE(shown.Titles(), QString("Rain Market"));
    shown.ClickHeading(0);
    QTRY_COMPARE(ReadBytes("pw.dat"), SavedBytes({base[1], base[0]}));
    QCOMPARE(shown.boxes.shown.size(), size_t(1));

    WriteBytes("pw.sync-conflict-20261210-101011-ABCDEFG.dat", SavedBytes(theirs));
    shown.boxes.answers = {AnswerYes};
    shown.ClickHeading(0);
    QTRY_COMPARE(shown.Titles(), QString("Harvest Rain"));
    QCOMPARE(shown.boxes.shown.size(), size_t(2));
    shown.dialog.Control(IdAdd)->setFocus();
    ShownDialog::Key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(shown.Titles(), QString("Rain Market"));
    ShownDialog::Key(Qt::Key_Y, Qt::ControlModifier);
    QTRY_COMPARE(ReadBytes("pw.dat"), SavedBytes(theirs));
    QTRY_VERIFY(!QFile::exists("pw.sync-conflict-20261210-101011-ABCDEFG.dat"));
    QCOMPARE(QDir().entryList(QDir::Files).size(), 3);
    const std::vector<KeptVersion> versions =
        ListVersions(VersionsRoot() + "/" + VersionFolderName(*JournalRealPath("pw.dat")));
    QVERIFY(!versions.empty() && ReadBytes(versions.front().path) == SavedBytes(theirs));
    qunsetenv("XDG_DATA_HOME");
}

QTEST_MAIN(tst_JournalDialog)
#include "tst_journaldialog.moc"
