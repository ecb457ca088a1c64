#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that every C++ source and header in src/, tests/, fuzz/ and bench/ is formatted with
# the root .clang-format; fails and names the lines otherwise.
#   tools/check-format.sh         check only
#   tools/check-format.sh --fix   reformat the files in place
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(find src tests fuzz bench -type f \( -name '*.cpp' -o -name '*.h' \) |
                     LC_ALL=C sort)
if [ "${1:-}" = --fix ]; then
    clang-format -i "${files[@]}"
    echo "clang-format: ${#files[@]} files formatted"
    exit 0
fi
if ! clang-format --dry-run -Werror "${files[@]}"; then
    echo "clang-format: files differ from .clang-format; tools/check-format.sh --fix formats them" >&2
    exit 1
fi
echo "clang-format: ${#files[@]} files formatted as .clang-format says"
