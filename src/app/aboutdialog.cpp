// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/aboutdialog.h"

#include "resources/resourceids.h"

AboutDialog::AboutDialog(QWidget *parent) : TemplateDialog(IdAboutDialog, parent) {}
