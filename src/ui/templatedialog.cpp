#include "ui/templatedialog.h"

#include "resources/resourceids.h"
#include "resources/resources.h"
#include "ui/appicon.h"
#include "ui/displaytext.h"
#include "ui/qtlistview.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace {
const DialogTemplate &TemplateOrDie(int id)
{
    const DialogTemplate *found = FindDialogTemplate(id);
    if (!found)
        qFatal("No dialog template %d", id);
    return *found;
}

// A multi-line box's text with its line breaks as LF. The raw text keeps no-break spaces,
// which toPlainText() would turn into plain ones.
QString PlainText(const QPlainTextEdit &edit)
{
    QString text = edit.document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

QString ShownText(const QWidget *control)
{
    if (const auto *edit = qobject_cast<const QLineEdit *>(control))
        return edit->text();
    if (const auto *edit = qobject_cast<const QPlainTextEdit *>(control))
        return PlainText(*edit);
    return {};
}

void Show(QWidget *control, const QString &text)
{
    if (ShownText(control) == text)
        return; // keeps the caret and selection of a box whose text does not change
    if (auto *edit = qobject_cast<QLineEdit *>(control))
        edit->setText(text);
    else if (auto *edit = qobject_cast<QPlainTextEdit *>(control))
        edit->setPlainText(text);
}

bool IsMultiLine(const QWidget *control)
{
    return qobject_cast<const QPlainTextEdit *>(control) != nullptr;
}

// Keeps the user from adding lines beyond those that fit in a multi-line box that does not
// scroll down: Enter on a full box is refused. Text set by the program is not limited.
class LineLimit : public QObject
{
public:
    explicit LineLimit(QPlainTextEdit *edit) : QObject(edit), m_edit(edit)
    {
        edit->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_edit || event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            return false;
        if (LinesAfterBreak() <= LinesThatFit())
            return false;
        QApplication::beep();
        return true;
    }

private:
    int LinesThatFit() const
    {
        const int margins = 2 * int(m_edit->document()->documentMargin());
        const int height = m_edit->viewport()->height() - margins;
        return std::max(1, height / m_edit->fontMetrics().lineSpacing());
    }

    // Lines once Enter has replaced the selection with a line break.
    int LinesAfterBreak() const
    {
        const QTextCursor cursor = m_edit->textCursor();
        const QTextDocument *document = m_edit->document();
        const int selectedBreaks = document->findBlock(cursor.selectionEnd()).blockNumber() -
                                   document->findBlock(cursor.selectionStart()).blockNumber();
        return document->blockCount() - selectedBreaks + 1;
    }

    QPlainTextEdit *m_edit;
};

QWidget *CreateEdit(const ControlTemplate &control, QWidget *parent)
{
    if (control.Has(ControlStyle::MultiLine)) {
        auto *edit = new QPlainTextEdit(parent);
        if (!control.Has(ControlStyle::AutoVScroll))
            new LineLimit(edit);
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->setTabChangesFocus(true); // Tab moves on, as in every dialog box
        edit->setReadOnly(control.Has(ControlStyle::ReadOnly));
        return edit;
    }
    auto *edit = new QLineEdit(parent);
    edit->setReadOnly(control.Has(ControlStyle::ReadOnly));
    // The default limit of 32767 characters would cut long texts from the journal.
    edit->setMaxLength(1 << 30);
    return edit;
}

// What assistive technology calls a control that a label names: the label's caption without
// mnemonic markers ("&&" stands for "&") and without its trailing colon.
QString NameFromCaption(const QString &caption)
{
    QString name;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size())
            ++i;
        name += caption[i];
    }
    name = name.trimmed();
    if (name.endsWith(u':'))
        name.chop(1);
    return name.trimmed();
}

// Names the control and, when another widget inside it takes its focus (the day grid of a
// calendar), that widget too: a screen reader announces the one that has the focus.
void SetAccessibleName(QWidget *control, const QString &name)
{
    control->setAccessibleName(name);
    if (QWidget *proxy = control->focusProxy())
        proxy->setAccessibleName(name);
}

QWidget *CreateIcon(const ControlTemplate &control, QWidget *parent)
{
    auto *label = new QLabel(parent);
    const QIcon icon = LoadAppIcon(QByteArray(control.caption).toInt());
    label->setPixmap(icon.pixmap(32, 32));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}
} // namespace

TemplateDialog::TemplateDialog(int templateId, QWidget *parent)
    : QDialog(parent), m_template(TemplateOrDie(templateId))
{
    // A dialog without an owner is a window of its own, with its own taskbar entry; an owned
    // one stays with its owner. Neither can be minimised or maximised.
    setWindowFlags((parent ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(ToDisplay(m_template.caption));
    setFont(DialogFont(m_template));
    m_base = BaseUnitsOf(font());
    setFixedSize(MapDialogSize(m_template.width, m_template.height, m_base));

    m_systemMenu = new QMenu(this);
    QAction *close = m_systemMenu->addAction(tr("&Close"));
    connect(close, &QAction::triggered, this, [this] {
        Dispatch({CommandEvent::SysCommand, DialogItself, SysCommandClose});
    });

    BuildControls();
}

TemplateDialog::~TemplateDialog() = default;

void TemplateDialog::BuildControls()
{
    QWidget *previousTabStop = nullptr;
    for (const ControlTemplate &control : m_template.controls) {
        QWidget *widget = CreateControl(control);
        widget->setGeometry(MapDialogRect(control.rect, m_base));
        if (control.accessibleName)
            SetAccessibleName(widget, ToDisplay(control.accessibleName));
        m_controls.emplace_back(control.id, widget);
        if (!control.Has(ControlStyle::TabStop)) {
            widget->setFocusPolicy(Qt::NoFocus);
            continue;
        }
        if (previousTabStop)
            setTabOrder(previousTabStop, widget);
        previousTabStop = widget;
    }
    TieLabels();
}

void TemplateDialog::TieLabels()
{
    for (size_t i = 0; i < m_controls.size(); ++i) {
        const ControlTemplate &control = m_template.controls[i];
        auto *label = qobject_cast<QLabel *>(m_controls[i].second);
        QWidget *named = control.labelFor == NoControlId ? nullptr : Control(control.labelFor);
        if (control.kind != ControlKind::Label || !label || !named)
            continue;
        label->setBuddy(named);
        if (named->accessibleName().isEmpty())
            SetAccessibleName(named, NameFromCaption(label->text()));
    }
}

QWidget *TemplateDialog::CreateControl(const ControlTemplate &control)
{
    const int id = control.id;
    switch (control.kind) {
    case ControlKind::PushButton: {
        auto *button = new QPushButton(ToDisplay(control.caption), this);
        button->setDefault(control.Has(ControlStyle::DefaultButton));
        connect(button, &QPushButton::clicked, this, [this, id] {
            Dispatch({CommandEvent::ButtonClick, id});
        });
        return button;
    }
    case ControlKind::Edit:
        return CreateEdit(control, this);
    case ControlKind::Label:
        return new QLabel(ToDisplay(control.caption), this);
    case ControlKind::ListView: {
        auto *list = new QtListView(this);
        list->SetClickableHeadings(control.Has(ControlStyle::ClickableHeadings));
        list->setFrameShape(control.Has(ControlStyle::Border) ? QFrame::StyledPanel
                                                              : QFrame::NoFrame);
        connect(list, &QtListView::listClicked, this, [this, id] {
            Dispatch({CommandEvent::ListClick, id});
        });
        connect(list, &QtListView::headingClicked, this, [this, id](int column) {
            Dispatch({CommandEvent::ColumnClick, id, column});
        });
        return list;
    }
    case ControlKind::MonthCalendar: {
        auto *calendar = new QCalendarWidget(this);
        calendar->setSelectionMode(QCalendarWidget::SingleSelection);
        calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
        connect(calendar, &QCalendarWidget::selectionChanged, this, [this, id] {
            Dispatch({CommandEvent::CalendarSelectionChange, id});
        });
        return calendar;
    }
    case ControlKind::Icon:
        return CreateIcon(control, this);
    }
    return new QWidget(this);
}

QWidget *TemplateDialog::Control(int id) const
{
    for (const auto &[controlId, widget] : m_controls) {
        if (controlId == id)
            return widget;
    }
    return nullptr;
}

void TemplateDialog::BindText(int id, Text &field)
{
    Binding binding;
    binding.control = Control(id);
    binding.text = &field;
    m_bindings.push_back(std::move(binding));
}

void TemplateDialog::BindInt(int id, std::int32_t &field)
{
    Binding binding;
    binding.control = Control(id);
    binding.number = &field;
    m_bindings.push_back(std::move(binding));
}

void TemplateDialog::ReadForm()
{
    for (Binding &binding : m_bindings)
        ReadBinding(binding);
}

void TemplateDialog::WriteForm()
{
    for (Binding &binding : m_bindings)
        WriteBinding(binding);
}

void TemplateDialog::ReadBinding(Binding &binding)
{
    if (!binding.control)
        return;
    const QString shown = ShownText(binding.control);
    if (binding.number) {
        bool isNumber = false;
        const int value = shown.trimmed().toInt(&isNumber);
        if (isNumber)
            *binding.number = value;
        return;
    }
    if (binding.written && shown == binding.shownWritten) {
        *binding.text = binding.bytesWritten;
        return;
    }
    Text bytes = FromDisplay(shown);
    if (IsMultiLine(binding.control))
        ReplaceAll(bytes, "\n", "\r\n");
    *binding.text = std::move(bytes);
}

void TemplateDialog::WriteBinding(Binding &binding)
{
    if (!binding.control)
        return;
    if (binding.number) {
        Show(binding.control, QString::number(*binding.number));
        return;
    }
    Text bytes = *binding.text;
    if (IsMultiLine(binding.control))
        ReplaceAll(bytes, "\r\n", "\n");
    Show(binding.control, ToDisplay(bytes));
    // What the box really shows: a box may alter what it is given (a lone CR, for one).
    binding.shownWritten = ShownText(binding.control);
    binding.bytesWritten = *binding.text;
    binding.written = true;
}

bool TemplateDialog::OnInitDialog()
{
    WriteForm();
    return true;
}

bool TemplateDialog::DispatchCommand(const Command & /*command*/)
{
    return false;
}

void TemplateDialog::Dispatch(const Command &command)
{
    if (DispatchCommand(command))
        return;
    if (command.event == CommandEvent::ButtonClick && command.control == IdOk)
        OnOK();
    else if (command.event == CommandEvent::ButtonClick && command.control == IdCancel)
        OnCancel();
    else if (command.event == CommandEvent::SysCommand)
        DefaultSysCommand(command.argument);
}

void TemplateDialog::OnOK()
{
    ReadForm();
    done(ResultOk);
}

void TemplateDialog::OnCancel()
{
    done(ResultCancel);
}

void TemplateDialog::DefaultSysCommand(int command)
{
    if ((command & ~0xF) == SysCommandClose)
        close();
}

void TemplateDialog::reject()
{
    OnCancel();
}

void TemplateDialog::done(int result)
{
    if (m_initialised && !m_destroyed) {
        m_destroyed = true;
        Dispatch({CommandEvent::Destroy});
    }
    QDialog::done(result);
}

void TemplateDialog::setVisible(bool visible)
{
    const bool opening = visible && !m_initialised;
    if (opening) {
        m_initialised = true;
        CentreOnOwner();
        if (OnInitDialog())
            FocusFirstTabStop();
    }
    QDialog::setVisible(visible);
    if (opening)
        CentreOnOwner(); // again, now that the window frame's size is known
}

void TemplateDialog::CentreOnOwner()
{
    QRect owner;
    QSize frame = frameGeometry().size();
    if (QWidget *parent = parentWidget()) {
        const QWidget *ownerWindow = parent->window();
        owner = ownerWindow->frameGeometry();
        // The window manager frames a new window only after it is shown; until then its frame
        // is taken to be its owner's, so that the title bar does not push it off centre.
        if (frame == size())
            frame += owner.size() - ownerWindow->size();
    } else if (QScreen *screen = QGuiApplication::primaryScreen()) {
        owner = screen->availableGeometry();
    }
    QRect placed(QPoint(0, 0), frame);
    placed.moveCenter(owner.center());
    if (placed.topLeft() != pos())
        move(placed.topLeft());
}

void TemplateDialog::FocusFirstTabStop()
{
    for (const auto &[id, widget] : m_controls) {
        if (widget->focusPolicy() & Qt::TabFocus) {
            widget->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void TemplateDialog::AppendSystemMenuSeparator()
{
    m_systemMenu->addSeparator();
}

void TemplateDialog::AppendSystemMenuItem(const Text &text, int command)
{
    QAction *item = m_systemMenu->addAction(ToDisplay(text));
    connect(item, &QAction::triggered, this, [this, command] {
        Dispatch({CommandEvent::SysCommand, DialogItself, command});
    });
}

void TemplateDialog::ShowSystemMenu(const QPoint &globalPosition)
{
    m_systemMenu->popup(globalPosition);
}

void TemplateDialog::contextMenuEvent(QContextMenuEvent *event)
{
    // A right click on a control that has no menu of its own reaches the dialog too; the system
    // menu belongs to the background and the labels only.
    if (event->reason() == QContextMenuEvent::Mouse) {
        QWidget *hit = childAt(event->pos());
        if (hit && !qobject_cast<QLabel *>(hit)) {
            event->ignore();
            return;
        }
        ShowSystemMenu(event->globalPos());
    } else {
        ShowSystemMenu(mapToGlobal(QPoint(0, 0)));
    }
    event->accept();
}

void TemplateDialog::keyPressEvent(QKeyEvent *event)
{
    // The window system makes a context menu request of the Menu key, but not of Shift+F10,
    // which reaches the dialog when the focused control has no use for it.
    if (event->key() != Qt::Key_F10 || event->modifiers() != Qt::ShiftModifier) {
        QDialog::keyPressEvent(event);
        return;
    }
    QWidget *target = QApplication::focusWidget();
    if (!target || !isAncestorOf(target))
        target = this;
    const QPoint pos = target->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
    QContextMenuEvent request(QContextMenuEvent::Keyboard, pos, target->mapToGlobal(pos),
                              event->modifiers());
    QApplication::sendEvent(target, &request); // goes up to the dialog when not taken
    event->accept();
}
