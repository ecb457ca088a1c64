// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/qt/templatedialog.h"

// The About box: the icon, the program's name and version, and OK.
class AboutDialog : public TemplateDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *parent = nullptr);
};
