#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that every source and script in the repository names its licence in its first lines:
# C++ sources and headers, CMake files, and every file that starts with "#!".
#   tools/check-spdx.sh         check only
#   tools/check-spdx.sh --fix   add the line where it is missing (after a "#!" line)
set -euo pipefail
cd "$(dirname "$0")/.."
tag="SPDX-License-Identifier: GPL-3.0-or-later"

# The tracked files the licence line belongs in, one per line.
licensed_files() {
    git ls-files -z | while IFS= read -r -d '' file; do
        case "$file" in
        *.cpp | *.h | CMakeLists.txt | */CMakeLists.txt | *.cmake | *.py | *.sh) echo "$file" ;;
        *) [ "$(head -c 2 "$file")" = "#!" ] && echo "$file" ;;
        esac
    done
}

# add_line FILE: puts the licence line at the top, below a "#!" line, as a comment of the
# file's own kind.
add_line() {
    local file=$1 comment="# $tag"
    case "$file" in *.cpp | *.h) comment="// $tag" ;; esac
    if [ "$(head -c 2 "$file")" = "#!" ]; then
        sed -i "1a $comment" "$file"
    else
        sed -i "1i $comment" "$file"
    fi
}

missing=()
while IFS= read -r file; do
    head -n 3 "$file" | grep -qF "$tag" || missing+=("$file")
done < <(licensed_files)

if [ "${1:-}" = --fix ]; then
    for file in "${missing[@]}"; do
        add_line "$file"
    done
    echo "spdx: the licence line added to ${#missing[@]} files"
    exit 0
fi
if [ ${#missing[@]} -gt 0 ]; then
    printf 'spdx: no "%s" in the first lines of:\n' "$tag" >&2
    printf '  %s\n' "${missing[@]}" >&2
    echo "spdx: tools/check-spdx.sh --fix adds it" >&2
    exit 1
fi
echo "spdx: all $(licensed_files | wc -l) sources and scripts name their licence"
