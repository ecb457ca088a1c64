// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell.h"

#include <filesystem>
#include <system_error>

namespace {
Text FullName(const Text &target)
{
    if (target.find("://") != Text::npos || target.starts_with('/'))
        return target;
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    return error ? target : (folder / target).string();
}
} // namespace

void OpenOrSayWhyNot(Shell &shell, MessageBoxes &boxes, const Text &target)
{
    if (shell.Open(target))
        return;
    boxes.DialogBox(
        FullName(target) +
            "\n\nNo program to open this file was found. Open it with your web browser.",
        "No Program Found", BoxOk);
}
