#include "app/aboutdialog.h"

#include "resources/resourceids.h"

AboutDialog::AboutDialog(QWidget *parent) : TemplateDialog(IdAboutDialog, parent) {}
