#include "entries/entryform.h"
#include "resources/resourceids.h"
#include "resources/resources.h"
#include "ui/qt/qtlistview.h"
#include "ui/qt/templatedialog.h"

#include <QCalendarWidget>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

// A dialog over the main template with the main form's bindings and a small command table.
class FormDialog : public TemplateDialog
{
public:
    explicit FormDialog(QWidget *parent = nullptr) : TemplateDialog(IdMainDialog, parent)
    {
        BindText(IdDate, form.Date);
        BindText(IdTitle, form.Title);
        BindText(IdEntry, form.Entry);
        BindInt(IdEntryCount, form.EntryCount);
        BindText(IdImagePath, form.ImagePath);
    }

    EntryForm form;
    Text titleSeenByHandler;
    int destroyed = 0;
    int formReadsAtDestroy = -1;
    std::vector<int> columnsClicked;

    template <class Widget> Widget *Get(int id) const { return ControlAs<Widget>(id); }

protected:
    bool DispatchCommand(const Command &command) override;

private:
    void OnWrapped()
    {
        titleSeenByHandler = form.Title;
        form.Date = "set by wrapped";
    }
    void OnPlain()
    {
        titleSeenByHandler = form.Title;
        form.Date = "set by plain";
    }
    void OnColumn(int column) { columnsClicked.push_back(column); }
    void OnDestroy()
    {
        ++destroyed;
        formReadsAtDestroy = Get<QLineEdit>(IdTitle) != nullptr; // the controls still exist
    }

    static const CommandEntry<FormDialog> table[];
};

const CommandEntry<FormDialog> FormDialog::table[] = {
    ButtonClicked(IdAdd, &FormDialog::OnWrapped, Wrapped),
    ButtonClicked(IdRemove, &FormDialog::OnPlain),
    ColumnClicked(IdEntryList, &FormDialog::OnColumn),
    Destroyed(&FormDialog::OnDestroy),
};

bool FormDialog::DispatchCommand(const Command &command)
{
    return DispatchFromTable(*this, table, command);
}

class tst_TemplateDialog : public QObject
{
    Q_OBJECT

private slots:
    void controlsFollowTheTemplate_data();
    void controlsFollowTheTemplate();
    void geometryComesFromDialogUnits();
    void tabOrderIsTemplateOrder();
    void quitIsTheOnlyDefaultButton();
    void focusStartsOnFirstTabStop();
    void opensCentred();
    void entryBoxKeepsItsLinesInPlace();
    void formExchangeConvertsAtTheBoundary_data();
    void formExchangeConvertsAtTheBoundary();
    void uneditedBoxesGiveBackTheirBytes();
    void editedBoxesGiveTheirNewText();
    void countBoxIsDecimal();
    void wrappedHandlersExchangeTheForm();
    void endingTheDialog_data();
    void endingTheDialog();
    void enterInEntryBoxAddsALineBreak();
    void entryBoxTakesNoMoreLinesThanFit();
    void systemMenuOpensOnTheBackground();
    void systemMenuItemsAreAppended();
    void headingClickReachesTheTable();
    void dateSelectionTemplate();
};

namespace {
struct Expected
{
    int id;
    const char *type;
    const char *caption;
};

QString Caption(QWidget *widget)
{
    if (auto *button = qobject_cast<QPushButton *>(widget))
        return button->text();
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    return {};
}

void ShowAndWait(QWidget &widget)
{
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
}

// Pixel edges of a dialog-unit rectangle, measured here from the font itself.
QRect ExpectedPixels(const DialogRect &rect, const QFont &font)
{
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const double baseX = (letters / 26 + 1) / 2;
    const double baseY = metrics.height();
    const int left = qRound(rect.x * baseX / 4);
    const int right = qRound((rect.x + rect.width) * baseX / 4);
    const int top = qRound(rect.y * baseY / 8);
    const int bottom = qRound((rect.y + rect.height) * baseY / 8);
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}
} // namespace

void tst_TemplateDialog::controlsFollowTheTemplate_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("caption");
    const Expected controls[] = {
        {IdAdd, "QPushButton", "Add"},         {IdRemove, "QPushButton", "Remove"},
        {IdUpdate, "QPushButton", "Update"},   {IdClear, "QPushButton", "Clear"},
        {IdHelpButton, "QPushButton", "Help"}, {IdDate, "QLineEdit", ""},
        {IdDateButton, "QPushButton", "Date"}, {IdTitle, "QLineEdit", ""},
        {IdEntry, "QPlainTextEdit", ""},       {IdEntryList, "QtListView", ""},
        {IdOk, "QPushButton", "Quit"},         {IdEntryCount, "QLineEdit", ""},
        {IdImagePath, "QLineEdit", ""},        {IdReport, "QPushButton", "Report"},
        {IdBrowse, "QPushButton", "Browse"},
    };
    for (const Expected &control : controls)
        QTest::addRow("%d", control.id) << control.id << control.type << control.caption;
}

void tst_TemplateDialog::controlsFollowTheTemplate()
{
    QFETCH(int, id);
    QFETCH(QString, type);
    QFETCH(QString, caption);
    FormDialog dialog;
    QWidget *control = dialog.Control(id);
    QVERIFY(control);
    QCOMPARE(QString::fromLatin1(control->metaObject()->className()), type);
    QCOMPARE(Caption(control), caption);
    QCOMPARE(dialog.windowTitle(), QString("Lumenlog"));
}

void tst_TemplateDialog::geometryComesFromDialogUnits()
{
    FormDialog dialog;
    const DialogTemplate &main = *FindDialogTemplate(IdMainDialog);
    QCOMPARE(dialog.size(), ExpectedPixels({0, 0, 320, 177}, dialog.font()).size());
    const QList<QLabel *> labels = dialog.findChildren<QLabel *>(Qt::FindDirectChildrenOnly);
    QStringList labelCaptions;
    for (const ControlTemplate &control : main.controls) {
        const QRect expected = ExpectedPixels(control.rect, dialog.font());
        if (control.id != NoControlId) {
            QCOMPARE(dialog.Control(control.id)->geometry(), expected);
            continue;
        }
        auto label = std::find_if(labels.begin(), labels.end(),
                                  [&](QLabel *l) { return l->text() == control.caption; });
        QVERIFY2(label != labels.end(), control.caption);
        QCOMPARE((*label)->geometry(), expected);
        labelCaptions << (*label)->text();
    }
    QCOMPARE(labelCaptions, (QStringList{"Date:", "Title:", "Entry:", "Entry", "Image:"}));
    // Touching in dialog units means touching in pixels: Date box and Date button.
    QCOMPARE(dialog.Control(IdDate)->geometry().right() + 1,
             dialog.Control(IdDateButton)->geometry().left());
}

void tst_TemplateDialog::tabOrderIsTemplateOrder()
{
    FormDialog dialog;
    const QList<int> expected{IdAdd,  IdRemove,     IdUpdate,    IdClear,  IdHelpButton,
                              IdDate, IdDateButton, IdTitle,     IdEntry,  IdEntryList,
                              IdOk,   IdEntryCount, IdImagePath, IdReport, IdBrowse};
    QList<int> order;
    QWidget *widget = dialog.Control(IdAdd);
    do {
        for (int id : expected) {
            if (dialog.Control(id) == widget)
                order << id;
        }
        widget = widget->nextInFocusChain();
    } while (widget != dialog.Control(IdAdd) && order.size() < 2 * expected.size());
    QCOMPARE(order, expected);
    for (QLabel *label : dialog.findChildren<QLabel *>(Qt::FindDirectChildrenOnly))
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
}

void tst_TemplateDialog::quitIsTheOnlyDefaultButton()
{
    FormDialog dialog;
    for (QPushButton *button : dialog.findChildren<QPushButton *>())
        QCOMPARE(button->isDefault(), button == dialog.Control(IdOk));
}

void tst_TemplateDialog::focusStartsOnFirstTabStop()
{
    FormDialog dialog;
    ShowAndWait(dialog);
    QCOMPARE(dialog.focusWidget(), dialog.Control(IdAdd));
}

void tst_TemplateDialog::opensCentred()
{
    FormDialog owner;
    ShowAndWait(owner);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(qAbs(owner.frameGeometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(owner.frameGeometry().center().y() - screen.center().y()) <= 1);

    owner.move(10, 20);
    TemplateDialog owned(IdAboutDialog, &owner);
    ShowAndWait(owned);
    // Only the dialog without an owner gets a taskbar entry of its own.
    QCOMPARE(owner.windowType(), Qt::Window);
    QCOMPARE(owned.windowType(), Qt::Dialog);
    for (const QWidget *dialog : {static_cast<QWidget *>(&owner), static_cast<QWidget *>(&owned)})
        QVERIFY(!(dialog->windowFlags() &
                  (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(qAbs(owned.frameGeometry().center().x() - owner.frameGeometry().center().x()) <= 1);
    QVERIFY(qAbs(owned.frameGeometry().center().y() - owner.frameGeometry().center().y()) <= 1);
}

void tst_TemplateDialog::entryBoxKeepsItsLinesInPlace()
{
    FormDialog dialog;
    auto *entry = dialog.Get<QPlainTextEdit>(IdEntry);
    QCOMPARE(entry->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(entry->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(entry->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QVERIFY(entry->tabChangesFocus());
    QVERIFY(dialog.Get<QLineEdit>(IdDate)->isReadOnly());
    QVERIFY(dialog.Get<QLineEdit>(IdEntryCount)->isReadOnly());
    QVERIFY(!dialog.Get<QLineEdit>(IdTitle)->isReadOnly());
}

void tst_TemplateDialog::formExchangeConvertsAtTheBoundary_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QString>("shown");
    QTest::newRow("title") << int(IdTitle) << QByteArray("Trip to Oslo") << "Trip to Oslo";
    QTest::newRow("utf-8 title") << int(IdTitle)
                                 << QByteArray("K\xc3\xb8"
                                               "benhavn")
                                 << QString::fromUtf8("København");
    QTest::newRow("entry CR LF") << int(IdEntry) << QByteArray("one\r\ntwo\r\n\r\nfour")
                                 << "one\ntwo\n\nfour";
    QTest::newRow("entry no-break space") << int(IdEntry)
                                          << QByteArray("a\xc2\xa0"
                                                        "b")
                                          << QString::fromUtf8("a\u00a0b");
    QTest::newRow("image path") << int(IdImagePath) << QByteArray("pic.jpg") << "pic.jpg";
}

void tst_TemplateDialog::formExchangeConvertsAtTheBoundary()
{
    QFETCH(int, id);
    QFETCH(QByteArray, field);
    QFETCH(QString, shown);
    FormDialog dialog;
    Text &bound = id == IdTitle   ? dialog.form.Title
                  : id == IdEntry ? dialog.form.Entry
                                  : dialog.form.ImagePath;
    bound = field.toStdString();
    dialog.WriteForm();
    if (auto *edit = dialog.Get<QLineEdit>(id))
        QCOMPARE(edit->text(), shown);
    else
        QCOMPARE(dialog.Get<QPlainTextEdit>(id)->document()->toRawText().replace(
                     QChar::ParagraphSeparator, QChar('\n')),
                 shown);
    bound.clear();
    dialog.ReadForm();
    QCOMPARE(QByteArray::fromStdString(bound), field);
}

void tst_TemplateDialog::uneditedBoxesGiveBackTheirBytes()
{
    FormDialog dialog;
    const Text latin1 = "Caf\xe9 \xab"
                        "cr\xe8me\xbb";
    const Text entry = "lone\rcr and lone\nlf\r\n\xff";
    dialog.form.Title = latin1;
    dialog.form.Entry = entry;
    dialog.form.Date = "2006-09-22";
    dialog.WriteForm();
    dialog.form = EntryForm{};
    dialog.ReadForm();
    QCOMPARE(dialog.form.Title, latin1);
    QCOMPARE(dialog.form.Entry, entry);
    QCOMPARE(dialog.form.Date, Text("2006-09-22"));

    // Typing and taking it back again is no change either.
    auto *title = dialog.Get<QLineEdit>(IdTitle);
    const QString before = title->text();
    title->setFocus();
    title->end(false);
    QTest::keyClicks(title, "x");
    QTest::keyClick(title, Qt::Key_Backspace);
    QCOMPARE(title->text(), before);
    dialog.ReadForm();
    QCOMPARE(dialog.form.Title, latin1);
}

void tst_TemplateDialog::editedBoxesGiveTheirNewText()
{
    FormDialog dialog;
    ShowAndWait(dialog);
    dialog.form.Title = "Cafe";
    dialog.form.Entry = "first";
    dialog.WriteForm();
    auto *title = dialog.Get<QLineEdit>(IdTitle);
    title->setFocus();
    title->selectAll();
    title->insert(QString::fromUtf8("Café")); // as typed: QTest types ASCII only
    auto *entry = dialog.Get<QPlainTextEdit>(IdEntry);
    entry->setFocus();
    entry->moveCursor(QTextCursor::End);
    QTest::keyClick(entry, Qt::Key_Return);
    QTest::keyClicks(entry, "second");
    dialog.ReadForm();
    QCOMPARE(dialog.form.Title, Text("Caf\xc3\xa9"));
    QCOMPARE(dialog.form.Entry, Text("first\r\nsecond"));
}

void tst_TemplateDialog::countBoxIsDecimal()
{
    FormDialog dialog;
    dialog.form.EntryCount = -42;
    dialog.WriteForm();
    auto *count = dialog.Get<QLineEdit>(IdEntryCount);
    QCOMPARE(count->text(), QString("-42"));
    count->setText("1234");
    dialog.ReadForm();
    QCOMPARE(dialog.form.EntryCount, 1234);
    count->setText("many");
    dialog.ReadForm();
    QCOMPARE(dialog.form.EntryCount, 1234);
}

void tst_TemplateDialog::wrappedHandlersExchangeTheForm()
{
    FormDialog dialog;
    ShowAndWait(dialog);
    auto *title = dialog.Get<QLineEdit>(IdTitle);
    auto *date = dialog.Get<QLineEdit>(IdDate);

    title->setText("typed");
    QTest::mouseClick(dialog.Get<QPushButton>(IdAdd), Qt::LeftButton);
    QCOMPARE(dialog.titleSeenByHandler, Text("typed")); // ReadForm before
    QCOMPARE(date->text(), QString("set by wrapped"));  // WriteForm after

    title->setText("typed again");
    QTest::mouseClick(dialog.Get<QPushButton>(IdRemove), Qt::LeftButton);
    QCOMPARE(dialog.titleSeenByHandler, Text("typed"));
    QCOMPARE(dialog.form.Date, Text("set by plain"));
    QCOMPARE(date->text(), QString("set by wrapped"));
}

void tst_TemplateDialog::endingTheDialog_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("formRead");
    QTest::newRow("Quit") << "quit" << 1 << true;
    QTest::newRow("Enter in the Title box") << "enter" << 1 << true;
    QTest::newRow("Enter in the read-only Date box") << "enter in date" << 1 << true;
    QTest::newRow("Escape") << "escape" << 2 << false;
    QTest::newRow("close box") << "close" << 2 << false;
    QTest::newRow("system menu Close") << "menu close" << 2 << false;
}

void tst_TemplateDialog::endingTheDialog()
{
    QFETCH(QString, how);
    QFETCH(int, result);
    QFETCH(bool, formRead);
    FormDialog dialog;
    ShowAndWait(dialog);
    dialog.Get<QLineEdit>(IdTitle)->setText("typed");
    if (how == "quit") {
        QTest::mouseClick(dialog.Get<QPushButton>(IdOk), Qt::LeftButton);
    } else if (how == "enter") {
        dialog.Get<QLineEdit>(IdTitle)->setFocus();
        QTest::keyClick(dialog.Get<QLineEdit>(IdTitle), Qt::Key_Return);
    } else if (how == "enter in date") {
        dialog.Get<QLineEdit>(IdDate)->setFocus();
        QTest::keyClick(dialog.Get<QLineEdit>(IdDate), Qt::Key_Return);
    } else if (how == "escape") {
        QTest::keyClick(&dialog, Qt::Key_Escape);
    } else if (how == "close") {
        dialog.close();
    } else {
        dialog.SystemMenu()->actions().front()->trigger();
    }
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), result);
    QCOMPARE(dialog.destroyed, 1);
    QCOMPARE(dialog.formReadsAtDestroy, 1);
    QCOMPARE(dialog.form.Title == "typed", formRead);
}

void tst_TemplateDialog::enterInEntryBoxAddsALineBreak()
{
    FormDialog dialog;
    ShowAndWait(dialog);
    auto *entry = dialog.Get<QPlainTextEdit>(IdEntry);
    entry->setFocus();
    QTest::keyClicks(entry, "a");
    QTest::keyClick(entry, Qt::Key_Return);
    QTest::keyClicks(entry, "b");
    QVERIFY(dialog.isVisible());
    QCOMPARE(entry->toPlainText(), QString("a\nb"));
    QCOMPARE(dialog.destroyed, 0);
}

void tst_TemplateDialog::entryBoxTakesNoMoreLinesThanFit()
{
    FormDialog dialog;
    ShowAndWait(dialog);
    auto *entry = dialog.Get<QPlainTextEdit>(IdEntry);
    const int fit = (entry->viewport()->height() - 2 * int(entry->document()->documentMargin())) /
                    entry->fontMetrics().lineSpacing();
    QVERIFY(fit >= 2);
    entry->setFocus();
    for (int line = 0; line < fit + 3; ++line) {
        QTest::keyClicks(entry, "line");
        QTest::keyClick(entry, Qt::Key_Return);
    }
    QCOMPARE(entry->document()->blockCount(), fit);
    QVERIFY(dialog.isVisible()); // the refused Enter did not reach the default button

    // Replacing a selection that spans lines with a break stays within the limit.
    entry->selectAll();
    QTest::keyClick(entry, Qt::Key_Return);
    QCOMPARE(entry->toPlainText(), QString("\n"));

    // The program itself may put more lines into the box.
    dialog.form.Entry = "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7";
    dialog.WriteForm();
    QCOMPARE(entry->document()->blockCount(), 7);
    dialog.ReadForm();
    QCOMPARE(dialog.form.Entry, Text("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7"));
}

void tst_TemplateDialog::systemMenuOpensOnTheBackground()
{
    FormDialog dialog;
    ShowAndWait(dialog);
    QMenu *menu = dialog.SystemMenu();
    QCOMPARE(menu->actions().size(), 1);
    QCOMPARE(menu->actions().front()->text(), QString("&Close"));

    // A right click on a button is not one on the background.
    QWidget *button = dialog.Control(IdAdd);
    QContextMenuEvent onButton(QContextMenuEvent::Mouse, QPoint(3, 3),
                               button->mapToGlobal(QPoint(3, 3)));
    QApplication::sendEvent(button, &onButton);
    QVERIFY(!menu->isVisible());

    QContextMenuEvent onBackground(QContextMenuEvent::Mouse, QPoint(2, 2),
                                   dialog.mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(&dialog, &onBackground);
    QTRY_VERIFY(menu->isVisible());
    menu->hide();

    // Shift+F10 on a focused button, as the Menu key, which the window system turns into a
    // keyboard context menu request.
    dialog.Control(IdAdd)->setFocus();
    QTest::keyClick(dialog.Control(IdAdd), Qt::Key_F10, Qt::ShiftModifier);
    QTRY_VERIFY(menu->isVisible());
    menu->hide();
}

void tst_TemplateDialog::systemMenuItemsAreAppended()
{
    FormDialog dialog;
    dialog.AppendSystemMenuSeparator();
    dialog.AppendSystemMenuItem("&Extra", 0x20);
    const QList<QAction *> items = dialog.SystemMenu()->actions();
    QCOMPARE(items.size(), 3);
    QVERIFY(items[1]->isSeparator());
    QCOMPARE(items[2]->text(), QString("&Extra"));
    ShowAndWait(dialog);
    items[2]->trigger(); // no handler: the default handling ignores it
    QVERIFY(dialog.isVisible());
}

void tst_TemplateDialog::headingClickReachesTheTable()
{
    FormDialog dialog;
    auto *list = dialog.Get<QtListView>(IdEntryList);
    for (int column = 0; column < 3; ++column)
        list->InsertColumn(column, "heading");
    ShowAndWait(dialog);
    QHeaderView *header = list->header();
    QVERIFY(header->sectionsClickable());
    const QPoint middle(header->sectionViewportPosition(2) + header->sectionSize(2) / 2,
                        header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, middle);
    QCOMPARE(dialog.columnsClicked, std::vector<int>{2});
}

void tst_TemplateDialog::dateSelectionTemplate()
{
    TemplateDialog dialog(IdDateSelectDialog);
    QCOMPARE(dialog.windowTitle(), QString("Date Selection"));
    QCOMPARE(dialog.size(), ExpectedPixels({0, 0, 186, 113}, dialog.font()).size());
    auto *ret = dialog.ControlAs<QPushButton>(IdOk);
    QVERIFY(ret);
    QCOMPARE(ret->text(), QString("Return"));
    QVERIFY(ret->isDefault());
    QCOMPARE(ret->geometry(), ExpectedPixels({142, 7, 37, 14}, dialog.font()));
    auto *calendar = dialog.ControlAs<QCalendarWidget>(IdCalendar);
    QVERIFY(calendar);
    QCOMPARE(calendar->geometry(), ExpectedPixels({7, 7, 134, 97}, dialog.font()));
    QCOMPARE(calendar->selectionMode(), QCalendarWidget::SingleSelection);
}

QTEST_MAIN(tst_TemplateDialog)
#include "tst_templatedialog.moc"
