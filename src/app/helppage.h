// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/text.h"

#include <QString>

// What Help opens, decided from the folder the running program is in: the help page installed
// with it (share/lumenlog/help.html under the same prefix as bin/lumenlog); when the program
// runs from the build folder it was built in, the page in the source tree; and only when
// neither is there, the help page on the web.
Text HelpPageFor(const QString &programFolder);
