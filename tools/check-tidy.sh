#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs clang-tidy with the root .clang-tidy over every translation unit under src/ (and the
# src/ headers they include), two at a time, and fails on any finding.
#   tools/check-tidy.sh                  configure ./build-tidy and check every unit
#   tools/check-tidy.sh DIR [FILE...]    another build folder; only the given units
# The build folder is only configured, not built: clang-tidy needs just the compile database.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build_dir=${1:-build-tidy}
shift $(( $# > 0 ? 1 : 0 ))
jobs=${TIDY_JOBS:-2}

# Configured with clang so that the database holds flags clang-tidy understands.
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null

if [ $# -gt 0 ]; then
    units=("$@")
else
    # Every unit of the database under src/, so new or moved files are checked too.
    mapfile -t units < <(sed -n 's|^ *"file": "\(.*\)",\?$|\1|p' "$build_dir/compile_commands.json" |
                         grep "^$root/src/" | LC_ALL=C sort -u)
fi
if [ ${#units[@]} -eq 0 ]; then
    echo "no src/ units in $build_dir/compile_commands.json" >&2
    exit 1
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
started=$SECONDS
# A unit clang-tidy cannot check (a compile error, a crash) fails as a finding of its own.
printf '%s\n' "${units[@]}" | xargs -P "$jobs" -I{} sh -c '
    log="$4/$(echo "$3" | tr / _).log"
    clang-tidy --quiet -p "$1" --header-filter="^$2/src/" "$3" >"$log" 2>&1 ||
        echo "$3:1:1: error: clang-tidy exited with status $?" >>"$log"' \
    - "$build_dir" "$root" {} "$out"
# A header's findings show once per unit that includes it; each is reported once.
findings=$(cat "$out"/*.log | grep -E '^[^ ].*:[0-9]+:[0-9]+: (warning|error):' | LC_ALL=C sort -u || true)
echo "clang-tidy: ${#units[@]} units in $((SECONDS - started)) s"
if [ -n "$findings" ]; then
    cat "$out"/*.log | grep -vE '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed|^Use -header-filter' >&2 || true
    echo "clang-tidy: $(wc -l <<<"$findings") findings:" >&2
    echo "$findings" >&2
    exit 1
fi
echo "clang-tidy: no findings"
