// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/text.h"

#include <cstdint>

// The main dialog's form fields. Date, Title and Entry mirror one row (Entry with CR LF line
// breaks); EntryCount mirrors the number of rows after the operations that recount; ImagePath
// belongs to no row and is used only by the report.
struct EntryForm
{
    Text Date;
    Text Title;
    Text Entry;
    std::int32_t EntryCount = 0;
    Text ImagePath;
};
