// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "resources/dialogtemplate.h"

#include <QFont>
#include <QRect>
#include <QSize>

// The dialog font and the conversion of dialog units to pixels.

// The template's font when it is installed, otherwise the desktop's general UI font, at the
// template's point size.
QFont DialogFont(const DialogTemplate &dialog);

struct DialogBaseUnits
{
    int x; // average character width in pixels
    int y; // character height in pixels
};

// The average width is that of the 52 Latin letters, rounded, as the classic dialog manager
// measures it.
DialogBaseUnits BaseUnitsOf(const QFont &font);

// Converts each edge separately (x px = x * base.x / 4, y px = y * base.y / 8, rounded), so
// controls that touch in dialog units touch in pixels.
QRect MapDialogRect(const DialogRect &rect, DialogBaseUnits base);
QSize MapDialogSize(int width, int height, DialogBaseUnits base);
