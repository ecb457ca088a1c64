// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/dialogcontrols.h"

#include "ui/qt/appicon.h"
#include "ui/qt/displaytext.h"
#include "ui/qt/qtlistview.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace {
using Dispatch = std::function<void(const Command &)>;

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

QWidget *CreateControl(const ControlTemplate &control, QWidget *dialog, const Dispatch &dispatch)
{
    const int id = control.id;
    switch (control.kind) {
    case ControlKind::PushButton: {
        auto *button = new QPushButton(ToDisplay(control.caption), dialog);
        button->setDefault(control.Has(ControlStyle::DefaultButton));
        QObject::connect(button, &QPushButton::clicked, dialog, [dispatch, id] {
            dispatch({CommandEvent::ButtonClick, id});
        });
        return button;
    }
    case ControlKind::Edit:
        return CreateEdit(control, dialog);
    case ControlKind::Label:
        return new QLabel(ToDisplay(control.caption), dialog);
    case ControlKind::ListView: {
        auto *list = new QtListView(dialog);
        list->SetClickableHeadings(control.Has(ControlStyle::ClickableHeadings));
        list->setFrameShape(control.Has(ControlStyle::Border) ? QFrame::StyledPanel
                                                              : QFrame::NoFrame);
        QObject::connect(list, &QtListView::listClicked, dialog, [dispatch, id] {
            dispatch({CommandEvent::ListClick, id});
        });
        QObject::connect(list, &QtListView::headingClicked, dialog, [dispatch, id](int column) {
            dispatch({CommandEvent::ColumnClick, id, column});
        });
        return list;
    }
    case ControlKind::MonthCalendar: {
        auto *calendar = new QCalendarWidget(dialog);
        calendar->setSelectionMode(QCalendarWidget::SingleSelection);
        calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
        QObject::connect(calendar, &QCalendarWidget::selectionChanged, dialog, [dispatch, id] {
            dispatch({CommandEvent::CalendarSelectionChange, id});
        });
        return calendar;
    }
    case ControlKind::Icon:
        return CreateIcon(control, dialog);
    }
    return new QWidget(dialog);
}

// Ties each label to the control it names, for assistive technology.
void TieLabels(const DialogTemplate &dialogTemplate, const DialogControls &controls)
{
    for (size_t i = 0; i < controls.size(); ++i) {
        const ControlTemplate &control = dialogTemplate.controls[i];
        auto *label = qobject_cast<QLabel *>(controls[i].second);
        QWidget *named =
            control.labelFor == NoControlId ? nullptr : FindControl(controls, control.labelFor);
        if (control.kind != ControlKind::Label || !label || !named)
            continue;
        label->setBuddy(named);
        if (named->accessibleName().isEmpty())
            SetAccessibleName(named, NameFromCaption(label->text()));
    }
}
} // namespace

DialogControls BuildControls(const DialogTemplate &dialogTemplate, DialogBaseUnits base,
                             QWidget *dialog, const Dispatch &dispatch)
{
    DialogControls controls;
    QWidget *previousTabStop = nullptr;
    for (const ControlTemplate &control : dialogTemplate.controls) {
        QWidget *widget = CreateControl(control, dialog, dispatch);
        widget->setGeometry(MapDialogRect(control.rect, base));
        if (control.accessibleName)
            SetAccessibleName(widget, ToDisplay(control.accessibleName));
        controls.emplace_back(control.id, widget);
        if (!control.Has(ControlStyle::TabStop)) {
            widget->setFocusPolicy(Qt::NoFocus);
            continue;
        }
        if (previousTabStop)
            QWidget::setTabOrder(previousTabStop, widget);
        previousTabStop = widget;
    }
    TieLabels(dialogTemplate, controls);
    return controls;
}

QWidget *FindControl(const DialogControls &controls, int id)
{
    for (const auto &[controlId, widget] : controls) {
        if (controlId == id)
            return widget;
    }
    return nullptr;
}
