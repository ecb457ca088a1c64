// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Numbers of the program's resources and of the controls in its dialog templates.

// Dialog templates, strings and the icon.
enum ResourceId : int {
    IdAboutDialog = 100,
    IdAboutMenuString = 101,
    IdMainDialog = 102,
    IdSocketsFailedString = 103,
    IdAppIcon = 128,
    IdDateSelectDialog = 130,
};

// Controls. 1 and 2 are the dialog's OK and cancel commands.
enum ControlId : int {
    IdOk = 1,
    IdCancel = 2,
    IdHelpButton = 1001,
    IdAdd = 1002,
    IdRemove = 1003,
    IdUpdate = 1004,
    IdClear = 1006,
    IdDate = 1007,
    IdDateButton = 1008,
    IdTitle = 1009,
    IdEntry = 1010,
    IdEntryList = 1011,
    IdEntryCount = 1012,
    IdImagePath = 1013,
    IdReport = 1015,
    IdBrowse = 1016,
    IdCalendar = 1053,
};

// System command of the About item in the main dialog's system menu.
inline constexpr int IdSysCommandAbout = 0x0010;
