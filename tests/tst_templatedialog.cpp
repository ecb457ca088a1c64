// SPDX-License-Identifier: GPL-3.0-or-later
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

#include <cmath>
#include <memory>
#include <span>

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
    void dialogOpensAtItsTemplateSize_data();
    void dialogOpensAtItsTemplateSize();
    void controlsShowTheirTemplateCaptions_data();
    void controlsShowTheirTemplateCaptions();
    void edgesThatMeetInTheTemplateMeetOnScreen_data();
    void edgesThatMeetInTheTemplateMeetOnScreen();
    void tabOrderIsTemplateOrder();
    void okIsTheOnlyDefaultButton_data();
    void okIsTheOnlyDefaultButton();
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
    void calendarSelectsOneDay();
    void unknownNumbersFindNothing();
};

namespace {
void ShowAndWait(QWidget &widget)
{
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
}

std::unique_ptr<TemplateDialog> ShownDialog(int templateId)
{
    auto dialog = std::make_unique<TemplateDialog>(templateId);
    ShowAndWait(*dialog);
    return dialog;
}

// The controls as built, in template order: the dialog's own child widgets that are not windows
// of their own (the system menu is one).
QList<QWidget *> ControlWidgets(const QWidget &dialog)
{
    QList<QWidget *> controls = dialog.findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    controls.removeIf([](const QWidget *widget) { return widget->isWindow(); });
    return controls;
}

// Pixels of a rectangle given in dialog units, for this font. A dialog unit across is a quarter
// of the font's average letter width (the 52 Latin letters' advance over 52, to the nearest
// pixel); one down is an eighth of its line height. Each edge is placed on its own.
QRect PixelsOf(const QRect &units, const QFont &font)
{
    const QFontMetrics metrics(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const double across = std::round(metrics.horizontalAdvance(letters) / 52.0) / 4;
    const double down = metrics.height() / 8.0;
    const auto x = [&](int unit) { return int(std::round(unit * across)); };
    const auto y = [&](int unit) { return int(std::round(unit * down)); };
    return QRect(QPoint(x(units.left()), y(units.top())),
                 QPoint(x(units.left() + units.width()) - 1, y(units.top() + units.height()) - 1));
}
} // namespace

void tst_TemplateDialog::dialogOpensAtItsTemplateSize_data()
{
    QTest::addColumn<int>("dialogId");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QSize>("units");   // the client area in dialog units
    QTest::addColumn<int>("controlId"); // one of its controls, and where it sits in dialog units
    QTest::addColumn<QRect>("controlUnits");
    QTest::newRow("About") << int(IdAboutDialog) << "About Lumenlog" << QSize(170, 62) << int(IdOk)
                           << QRect(113, 41, 50, 14);
    QTest::newRow("main") << int(IdMainDialog) << "Lumenlog" << QSize(320, 177) << int(IdAdd)
                          << QRect(260, 22, 50, 14);
    QTest::newRow("Date Selection") << int(IdDateSelectDialog) << "Date Selection"
                                    << QSize(186, 113) << int(IdCalendar) << QRect(7, 7, 134, 97);
}

void tst_TemplateDialog::dialogOpensAtItsTemplateSize()
{
    QFETCH(int, dialogId);
    QFETCH(QString, caption);
    QFETCH(QSize, units);
    QFETCH(int, controlId);
    QFETCH(QRect, controlUnits);
    const auto dialog = ShownDialog(dialogId);
    QCOMPARE(dialog->windowTitle(), caption);
    QCOMPARE(dialog->font().pointSize(), 8);
    QCOMPARE(dialog->size(), PixelsOf(QRect(QPoint(0, 0), units), dialog->font()).size());
    QWidget *control = dialog->Control(controlId);
    QVERIFY(control && control->isVisible());
    const QRect onScreen(control->mapTo(dialog.get(), QPoint(0, 0)), control->size());
    QCOMPARE(onScreen, PixelsOf(controlUnits, dialog->font()));
}

void tst_TemplateDialog::controlsShowTheirTemplateCaptions_data()
{
    QTest::addColumn<int>("dialogId");
    QTest::newRow("About") << int(IdAboutDialog);
    QTest::newRow("main") << int(IdMainDialog);
    QTest::newRow("Date Selection") << int(IdDateSelectDialog);
}

void tst_TemplateDialog::controlsShowTheirTemplateCaptions()
{
    QFETCH(int, dialogId);
    const auto dialog = ShownDialog(dialogId);
    const QList<QWidget *> widgets = ControlWidgets(*dialog);
    const std::span<const ControlTemplate> controls = dialog->Template().controls;
    QCOMPARE(widgets.size(), qsizetype(controls.size()));
    for (size_t i = 0; i < controls.size(); ++i) {
        const ControlTemplate &control = controls[i];
        QWidget *widget = widgets[qsizetype(i)];
        QVERIFY(widget->isVisible());
        if (control.id != NoControlId)
            QCOMPARE(dialog->Control(control.id), widget);
        const QString caption = QString::fromLatin1(control.caption);
        auto *button = qobject_cast<QPushButton *>(widget);
        auto *label = qobject_cast<QLabel *>(widget);
        switch (control.kind) {
        case ControlKind::PushButton:
            QVERIFY(button);
            QCOMPARE(button->text(), caption);
            break;
        case ControlKind::Label:
            QVERIFY(label);
            QCOMPARE(label->text(), caption);
            break;
        case ControlKind::Icon:
            QVERIFY(label && !label->pixmap().isNull());
            break;
        case ControlKind::Edit:
            QVERIFY(control.Has(ControlStyle::MultiLine) ? widget->inherits("QPlainTextEdit")
                                                         : widget->inherits("QLineEdit"));
            break;
        case ControlKind::ListView:
            QVERIFY(widget->inherits("QtListView"));
            break;
        case ControlKind::MonthCalendar:
            QVERIFY(widget->inherits("QCalendarWidget"));
            break;
        }
    }
}

void tst_TemplateDialog::edgesThatMeetInTheTemplateMeetOnScreen_data()
{
    // Two controls' edges at the same dialog unit, in the main dialog: left and top edges are
    // where a control starts, right and bottom edges the first pixel past it.
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("firstEdge");
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("secondEdge");
    QTest::newRow("Date box and Date button touch")
        << int(IdDate) << int(Qt::RightEdge) << int(IdDateButton) << int(Qt::LeftEdge);
    QTest::newRow("Image box and Browse touch")
        << int(IdImagePath) << int(Qt::RightEdge) << int(IdBrowse) << int(Qt::LeftEdge);
    QTest::newRow("Title box ends with the Date button")
        << int(IdTitle) << int(Qt::RightEdge) << int(IdDateButton) << int(Qt::RightEdge);
    QTest::newRow("Add sits on Remove")
        << int(IdAdd) << int(Qt::BottomEdge) << int(IdRemove) << int(Qt::TopEdge);
    QTest::newRow("Quit and Report in one column")
        << int(IdOk) << int(Qt::LeftEdge) << int(IdReport) << int(Qt::LeftEdge);
}

void tst_TemplateDialog::edgesThatMeetInTheTemplateMeetOnScreen()
{
    QFETCH(int, first);
    QFETCH(int, firstEdge);
    QFETCH(int, second);
    QFETCH(int, secondEdge);
    const auto edge = [](const QWidget *control, int which) {
        const QRect rect = control->geometry();
        switch (Qt::Edge(which)) {
        case Qt::LeftEdge:
            return rect.left();
        case Qt::TopEdge:
            return rect.top();
        case Qt::RightEdge:
            return rect.left() + rect.width();
        case Qt::BottomEdge:
            return rect.top() + rect.height();
        }
        return -1;
    };
    const auto dialog = ShownDialog(IdMainDialog);
    QCOMPARE(edge(dialog->Control(first), firstEdge), edge(dialog->Control(second), secondEdge));
}

void tst_TemplateDialog::tabOrderIsTemplateOrder()
{
    FormDialog dialog;
    QList<QWidget *> expected;
    for (const ControlTemplate &control : dialog.Template().controls) {
        if (control.Has(ControlStyle::TabStop))
            expected << dialog.Control(control.id);
    }
    QCOMPARE(expected.size(), 15);
    QList<QWidget *> order;
    QWidget *widget = expected.front();
    do {
        if (expected.contains(widget))
            order << widget;
        widget = widget->nextInFocusChain();
    } while (widget != expected.front() && order.size() < 2 * expected.size());
    QCOMPARE(order, expected);
    for (QLabel *label : dialog.findChildren<QLabel *>(Qt::FindDirectChildrenOnly))
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
}

void tst_TemplateDialog::okIsTheOnlyDefaultButton_data()
{
    controlsShowTheirTemplateCaptions_data();
}

void tst_TemplateDialog::okIsTheOnlyDefaultButton()
{
    QFETCH(int, dialogId);
    TemplateDialog dialog(dialogId);
    QVERIFY(dialog.ControlAs<QPushButton>(IdOk));
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

void tst_TemplateDialog::calendarSelectsOneDay()
{
    TemplateDialog dialog(IdDateSelectDialog);
    QCOMPARE(dialog.ControlAs<QCalendarWidget>(IdCalendar)->selectionMode(),
             QCalendarWidget::SingleSelection);
}

void tst_TemplateDialog::unknownNumbersFindNothing()
{
    QVERIFY(!FindDialogTemplate(IdMainDialog + 1000));
    QCOMPARE(LoadResourceString(IdAboutMenuString + 1), Text());
}

QTEST_MAIN(tst_TemplateDialog)
#include "tst_templatedialog.moc"
