// SPDX-License-Identifier: GPL-3.0-or-later
#include "resources/resources.h"

#include "resources/resourceids.h"

namespace {
using namespace ControlStyle;
using K = ControlKind;

constexpr unsigned Button = TabStop;
constexpr unsigned EditBox = TabStop | Border;
constexpr unsigned ListBox = TabStop | Border | ClickableHeadings;

constexpr const char *aboutVersionText = "Version " LUMENLOG_VERSION;

const ControlTemplate aboutControls[] = {
    {K::Icon, NoControlId, "128", {11, 14, 20, 20}, None},
    {K::Label, NoControlId, "Lumenlog", {40, 10, 119, 8}, None},
    {K::Label, NoControlId, aboutVersionText, {40, 24, 119, 8}, None},
    {K::PushButton, IdOk, "OK", {113, 41, 50, 14}, Button | DefaultButton},
};

const ControlTemplate mainControls[] = {
    {K::PushButton, IdAdd, "Add", {260, 22, 50, 14}, Button},
    {K::PushButton, IdRemove, "Remove", {260, 36, 50, 14}, Button},
    {K::PushButton, IdUpdate, "Update", {260, 51, 50, 14}, Button},
    {K::PushButton, IdClear, "Clear", {260, 66, 50, 14}, Button},
    {K::PushButton, IdHelpButton, "Help", {260, 144, 50, 14}, Button},
    {K::Edit, IdDate, "", {33, 7, 170, 14}, EditBox | ReadOnly},
    {K::PushButton, IdDateButton, "Date", {203, 7, 50, 14}, Button},
    {K::Edit, IdTitle, "", {33, 21, 220, 14}, EditBox},
    {K::Edit, IdEntry, "", {33, 35, 219, 36}, EditBox | MultiLine},
    {K::ListView, IdEntryList, "", {33, 88, 219, 76}, ListBox, NoControlId, "Entries"},
    {K::PushButton, IdOk, "Quit", {260, 7, 50, 14}, Button | DefaultButton},
    {K::Label, NoControlId, "Date:", {9, 10, 18, 8}, None, IdDate},
    {K::Label, NoControlId, "Title:", {9, 24, 16, 8}, None, IdTitle},
    {K::Label, NoControlId, "Entry:", {8, 38, 19, 8}, None, IdEntry},
    {K::Edit, IdEntryCount, "", {7, 122, 26, 14}, EditBox | ReadOnly, NoControlId, "Entry count"},
    {K::Label, NoControlId, "Entry", {9, 113, 17, 8}, None, IdEntryCount},
    {K::Edit, IdImagePath, "", {33, 72, 170, 14}, EditBox},
    {K::Label, NoControlId, "Image:", {7, 76, 22, 8}, None, IdImagePath},
    {K::PushButton, IdReport, "Report", {260, 88, 50, 14}, Button},
    {K::PushButton, IdBrowse, "Browse", {203, 72, 50, 14}, Button},
};

const ControlTemplate dateSelectControls[] = {
    {K::PushButton, IdOk, "Return", {142, 7, 37, 14}, Button | DefaultButton},
    {K::MonthCalendar, IdCalendar, "", {7, 7, 134, 97}, TabStop, NoControlId, "Calendar"},
};

const DialogTemplate dialogTemplates[] = {
    {IdAboutDialog, "About Lumenlog", 170, 62, "MS Sans Serif", 8, aboutControls},
    {IdMainDialog, "Lumenlog", 320, 177, "MS Sans Serif", 8, mainControls},
    {IdDateSelectDialog, "Date Selection", 186, 113, "MS Sans Serif", 8, dateSelectControls},
};

struct ResourceString
{
    int id;
    const char *text;
};

const ResourceString strings[] = {
    {IdAboutMenuString, "&About Penwick..."},
    {IdSocketsFailedString, "Windows sockets initialization failed."},
};
} // namespace

const DialogTemplate *FindDialogTemplate(int id)
{
    for (const DialogTemplate &dialog : dialogTemplates) {
        if (dialog.id == id)
            return &dialog;
    }
    return nullptr;
}

Text LoadResourceString(int id)
{
    for (const ResourceString &string : strings) {
        if (string.id == id)
            return string.text;
    }
    return {};
}

Text HelpPageAddress()
{
    return Text("http://") + HelpHost + "/lumenlog/help.htm";
}

const char *ProgramVersion()
{
    return LUMENLOG_VERSION;
}
