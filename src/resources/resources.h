// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/text.h"
#include "resources/dialogtemplate.h"

// The program's resources, found by number.

// nullptr when there is no template of that number.
const DialogTemplate *FindDialogTemplate(int id);

// Empty when there is no string of that number.
Text LoadResourceString(int id);

// The title of the application, the caption of the boxes it raises itself.
inline constexpr const char *ApplicationTitle = "Penwick";

// The web server that hosts the online help.
inline constexpr const char *HelpHost = "www.lumenlog.example";
Text HelpPageAddress();

// The program's version, as "1.1.0": the one project() names in CMakeLists.txt.
const char *ProgramVersion();
