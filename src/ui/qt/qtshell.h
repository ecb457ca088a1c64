// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/shell.h"

#include <QUrl>

// Opens files and web addresses with the desktop's associated application. A text with a URL
// scheme ("http://...") is opened as it is; anything else is a file name relative to the
// working directory.
class QtShell : public Shell
{
public:
    bool Open(const Text &target) override;

    // What Open hands the desktop for `target`.
    static QUrl UrlFor(const Text &target);
};
