// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the report's line template filling: the input is a template, a date, a
// title, an entry text and an image path separated by the byte 0x1F, and every property in
// reportchecks.h must hold for the filled line.

#include "reportchecks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const Text failure = fuzzchecks::CheckReportLine({reinterpret_cast<const char *>(data), size});
    if (!failure.empty()) {
        std::fprintf(stderr, "fuzz_report_line: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
