// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "resources/dialogtemplate.h"
#include "ui/commandtable.h"
#include "ui/qt/dialogunits.h"

#include <functional>
#include <utility>
#include <vector>

class QWidget;

// The widgets of a dialog built from its template, with their control IDs, in the template's
// (tab) order.
using DialogControls = std::vector<std::pair<int, QWidget *>>;

// Makes one widget in `dialog` for each control of `dialogTemplate`, placed in the dialog units
// of `base`, chained in tab order, each label tied to the control it names. What the user does
// with a control reaches `dispatch` as a command.
DialogControls BuildControls(const DialogTemplate &dialogTemplate, DialogBaseUnits base,
                             QWidget *dialog, const std::function<void(const Command &)> &dispatch);

// The control with this ID, nullptr when there is none.
QWidget *FindControl(const DialogControls &controls, int id);
