// SPDX-License-Identifier: GPL-3.0-or-later
#include "find/qt/findwindow.h"

#include "ui/qt/displaytext.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

FindWindow::FindWindow(QWidget *owner, QMenu *windowMenu, EntryList &entries)
    : QDialog(owner), m_entries(entries), m_text(new QLineEdit), m_matchCase(new QCheckBox),
      m_findNext(new QPushButton), m_findPrevious(new QPushButton), m_outcome(new QLabel)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(tr("Find"));
    setFont(owner->font());
    LayOutControls();
    ConnectControls();
    connect(windowMenu->addAction(tr("&Find...\tCtrl+F")), &QAction::triggered, this,
            &FindWindow::ShowFind);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), owner), &QShortcut::activated, this,
            &FindWindow::ShowFind);
    AddShortcuts(owner);
    AddShortcuts(this);
}

void FindWindow::LayOutControls()
{
    auto *label = new QLabel(tr("Fi&nd what:"));
    label->setBuddy(m_text);
    m_text->setAccessibleName(tr("Find what"));
    m_text->setMinimumWidth(fontMetrics().averageCharWidth() * 28);
    m_matchCase->setText(tr("&Match case"));
    m_findNext->setText(tr("Find &Next"));
    m_findNext->setDefault(true);
    m_findPrevious->setText(tr("Find &Previous"));
    m_findPrevious->setAutoDefault(false);
    m_outcome->setTextFormat(Qt::PlainText);
    m_outcome->setMinimumHeight(fontMetrics().height()); // no jump when it first says something

    auto *grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(m_text, 0, 1);
    grid->addWidget(m_findNext, 0, 2);
    grid->addWidget(m_matchCase, 1, 1);
    grid->addWidget(m_findPrevious, 1, 2);
    grid->addWidget(m_outcome, 2, 0, 1, 3);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

void FindWindow::ConnectControls()
{
    const auto enableButtons = [this] {
        m_findNext->setEnabled(!m_text->text().isEmpty());
        m_findPrevious->setEnabled(!m_text->text().isEmpty());
        m_outcome->clear();
    };
    enableButtons();
    connect(m_text, &QLineEdit::textChanged, this, enableButtons);
    connect(m_matchCase, &QCheckBox::toggled, m_outcome, &QLabel::clear);
    connect(m_findNext, &QPushButton::clicked, this, [this] { Find(FindDirection::Next); });
    connect(m_findPrevious, &QPushButton::clicked, this, [this] { Find(FindDirection::Previous); });
}

void FindWindow::AddShortcuts(QWidget *window)
{
    connect(new QShortcut(QKeySequence(Qt::Key_F3), window), &QShortcut::activated, this,
            [this] { Find(FindDirection::Next); });
    connect(new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), window), &QShortcut::activated,
            this, [this] { Find(FindDirection::Previous); });
}

void FindWindow::ShowFind()
{
    if (!m_placed) {
        m_placed = true;
        PlaceBesideOwner();
    }
    show();
    raise();
    activateWindow();
    m_text->setFocus(Qt::ShortcutFocusReason);
    m_text->selectAll();
}

void FindWindow::Find(FindDirection direction)
{
    if (m_text->text().isEmpty()) {
        ShowFind();
        return;
    }
    const FindOutcome outcome =
        FindEntry(m_entries, FromDisplay(m_text->text()), m_matchCase->isChecked(), direction);
    m_outcome->setText(ToDisplay(FindOutcomeText(outcome, direction)));
    if (outcome == FindOutcome::NotFound && !isVisible())
        ShowFind(); // F3 in the main window: says so, and the text can be changed
}

// Below the owner, or above it where the screen ends first, so that the window covers neither
// the form nor the list; over the owner's centre when neither fits.
void FindWindow::PlaceBesideOwner()
{
    adjustSize();
    const QWidget *owner = parentWidget()->window();
    const QRect frame = owner->frameGeometry();
    const QScreen *screen = owner->screen();
    const QRect room = screen ? screen->availableGeometry() : QRect();
    // The window manager adds a frame of about the owner's to this window too.
    const int frameHeight = height() + frame.height() - owner->height();
    QPoint place(frame.left() + (frame.width() - width()) / 2, frame.bottom() + 1);
    if (place.y() + frameHeight > room.bottom())
        place.setY(frame.top() - frameHeight);
    if (place.y() < room.top())
        place = frame.center() - QPoint(width() / 2, height() / 2);
    move(place);
}
