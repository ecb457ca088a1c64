// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>

// A dialog described as data: its size, font and controls in tab order, all positions in
// dialog units. The Qt adapter builds the widgets from it.

enum class ControlKind {
    PushButton,
    Edit,
    Label,
    ListView,      // report view: rows of texts under column headings
    MonthCalendar, // one day selected at a time
    Icon,          // a static picture showing an icon resource
};

// Style flags of a control; combine with |.
namespace ControlStyle {
enum : unsigned {
    None = 0,
    TabStop = 1u << 0,
    DefaultButton = 1u << 1,
    ReadOnly = 1u << 2,
    MultiLine = 1u << 4,   // edit holds several lines; its field has CR LF line breaks
    AutoVScroll = 1u << 8, // multi-line edit scrolls down; without it, typing cannot add
                           // lines beyond those that fit in the box
    Border = 1u << 6,
    ClickableHeadings = 1u << 7, // list view headings act as buttons
};
}

// A control's rectangle in dialog units: x px = x * average character width / 4,
// y px = y * character height / 8, both of the dialog's font.
struct DialogRect
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Controls without an ID (labels) use this one.
inline constexpr int NoControlId = -1;

struct ControlTemplate
{
    ControlKind kind{};
    int id = 0;
    const char *caption = nullptr; // for an Icon control: the number of the icon, as text
    DialogRect rect;
    unsigned styles = 0;
    // For a Label: the control it names. That control is then known to assistive technology
    // (screen readers) by the label's caption, without its trailing colon.
    int labelFor = NoControlId;
    // What assistive technology calls the control when neither its caption nor a label says
    // it; it also overrides a label's caption.
    const char *accessibleName = nullptr;

    bool Has(unsigned style) const { return (styles & style) == style; }
};

struct DialogTemplate
{
    int id;
    const char *caption;
    int width; // client area, dialog units
    int height;
    const char *fontName;
    int fontPointSize;
    std::span<const ControlTemplate> controls; // tab order
};
