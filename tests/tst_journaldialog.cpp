#include "app/aboutdialog.h"
#include "app/journaldialog.h"
#include "resources/resourceids.h"
#include "resources/resources.h"
#include "ui/qtlistview.h"
#include "ui/qtmessageboxes.h"
#include "ui/qtshell.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QTemporaryDir>

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

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
    void keyboardMovesLeaveTheFormAlone();
    void clickOnEmptySpaceWithoutMarkEmptiesTheTexts();
    void clearEmptiesTextsOnly();
    void helpOpensTheLocalPageWhenThereIsOne_data();
    void helpOpensTheLocalPageWhenThereIsOne();
    void browseDoesNothing();
    void aboutItemFollowsASeparator();
    void aboutItemOpensTheAboutBox();
    void otherSystemCommandsBehaveNormally();
    void closingWays_data();
    void closingWays();

private:
    QList<QUrl> m_opened;
    std::vector<BoxRequest> m_boxes;
    // Each test runs in a fresh folder: the dialog loads and saves the journal there.
    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_previousFolder;
};

namespace {
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
    void Click(int id) { QTest::mouseClick(dialog.ControlAs<QPushButton>(id), Qt::LeftButton); }

    void AddRows(const std::vector<Row> &rows)
    {
        // As the journal load does it: each row through the form, to the top.
        for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
            dialog.Form().Date = (*row)[0];
            dialog.Form().Title = (*row)[1];
            dialog.Form().Entry = (*row)[2];
            dialog.WriteForm();
            dialog.Entries().InsertFormAtTop();
        }
    }

    void ClickRow(int row)
    {
        const QRect cell = List().visualRect(List().model()->index(row, 1));
        QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, cell.center());
    }

    int WidthSum() { return List().ColumnWidth(0) + List().ColumnWidth(1) + List().ColumnWidth(2); }
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
    m_opened.clear();
    m_boxes.clear();
    QtShell::opener = [this](const QUrl &url) { m_opened << url; };
    QtMessageBoxes::answerer = [this](const BoxRequest &box) {
        m_boxes.push_back(box);
        return int(AnswerOk);
    };
}

void tst_JournalDialog::cleanup()
{
    QDir::setCurrent(m_previousFolder);
    m_folder.reset();
    QtShell::opener = nullptr;
    QtMessageBoxes::answerer = nullptr;
    JournalDialog::programFolder.clear();
}

void tst_JournalDialog::startsWithEmptyFormAndThreeColumns()
{
    ShownDialog shown;
    QCOMPARE(shown.dialog.windowTitle(), QString("Lumenlog"));
    QCOMPARE(shown.Edit(IdEntryCount)->text(), QString("0"));
    for (int id : {IdDate, IdTitle, IdImagePath})
        QCOMPARE(shown.Edit(id)->text(), QString());
    QCOMPARE(shown.List().HeaderItemCount(), 3);
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
    QVERIFY(m_boxes.empty());
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
    shown.List().DeleteItem(0);
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

void tst_JournalDialog::keyboardMovesLeaveTheFormAlone()
{
    ShownDialog shown;
    shown.AddRows(threeRows);
    shown.ClickRow(0);
    QTest::keyClick(&shown.List(), Qt::Key_Down);
    QCOMPARE(shown.List().SelectionMark(), 1);
    QCOMPARE(shown.Edit(IdTitle)->text(), QString("Harvest"));
    shown.ClickRow(1);
    QCOMPARE(shown.Edit(IdTitle)->text(), QString("Rain"));
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
    QCOMPARE(shown.List().ItemCount(), 3);
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
    JournalDialog::programFolder = folder.absoluteFilePath(programFolder);
    ShownDialog shown;
    shown.Edit(IdTitle)->setText("kept");
    shown.Click(IdHelpButton);
    const QUrl expected = opened.startsWith("http://")
                              ? QUrl(opened)
                              : QUrl::fromLocalFile(folder.absoluteFilePath(opened));
    QCOMPARE(m_opened, QList<QUrl>{expected});
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
    QCOMPARE(shown.List().ItemCount(), 3);
    QVERIFY(m_boxes.empty());
    QVERIFY(m_opened.isEmpty());
}

void tst_JournalDialog::aboutItemFollowsASeparator()
{
    ShownDialog shown;
    const QList<QAction *> items = shown.dialog.SystemMenu()->actions();
    QCOMPARE(items.size(), 3);
    QCOMPARE(items[0]->text(), QString("&Close"));
    QVERIFY(items[1]->isSeparator());
    QCOMPARE(items[2]->text(), QString("&About Penwick..."));
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
    shown.dialog.SystemMenu()->actions().front()->trigger(); // Close
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

QTEST_MAIN(tst_JournalDialog)
#include "tst_journaldialog.moc"
