// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

// Icon resource `id` with all its sizes; a null icon when there is no such icon.
QIcon LoadAppIcon(int id);
