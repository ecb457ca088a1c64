#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang in a build folder of their own and runs each of them
# for a bounded time: first the kept regression inputs and the seed corpus once, then fuzzing
# on a working copy of the corpus inside the build folder. The source tree is never written.
#
#   fuzz/run-fuzzers.sh [seconds per target]
#
# Seconds default to $LUMENLOG_FUZZ_SECONDS, else 60. The build folder is $LUMENLOG_FUZZ_BUILD,
# else build-fuzz in the source tree. Exits non-zero on any crash, hang, leak, out-of-memory or
# failed check, after printing the end of that run's log and where the failing input was kept.
set -euo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-${LUMENLOG_FUZZ_SECONDS:-60}}
build_dir=${LUMENLOG_FUZZ_BUILD:-$source_dir/build-fuzz}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [seconds per target]" >&2
    exit 2
fi

# name:max_len. Journals get room beyond the reader's 64 KiB buffer.
targets=(fuzz_journal:131072 fuzz_report_line:65536)

echo "Building fuzz targets in $build_dir"
mkdir -p "$build_dir"
build_dir=$(cd "$build_dir" && pwd)
if ! { CC=clang CXX=clang++ cmake -S "$source_dir" -B "$build_dir" -G Ninja \
           -DLUMENLOG_FUZZ=ON -DLUMENLOG_WERROR=ON &&
       cmake --build "$build_dir" -j2 --target fuzzers; } >"$build_dir/fuzz-build.log" 2>&1; then
    tail -n 40 "$build_dir/fuzz-build.log"
    echo "FAILED: building the fuzz targets (log: $build_dir/fuzz-build.log)"
    exit 1
fi

# Runs the fuzzer with the given arguments, its output going to $log; on failure prints what
# failed and the inputs kept for reproduction.
run_logged() {
    local what=$1
    shift
    if "$@" >"$log" 2>&1; then
        return 0
    fi
    # The failed check or sanitizer report, and the top of its stack.
    grep -E '^(fuzz_[a-z_]+: |==[0-9]+== ?ERROR|SUMMARY: )|runtime error: ' "$log" | head -n 6 || true
    grep -E '^ +#[0-9]+ ' "$log" |
        grep -v -E 'fuzzer::|__sanitizer_print|libc\.so|nptl/|stdlib/|signal/' | head -n 8 || true
    echo "FAILED: $target, $what (full log: $log)"
    local artifact
    for artifact in "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-*; do
        [[ -e $artifact ]] || continue
        echo "  input: $artifact"
        echo "  reproduce: $binary $artifact"
        echo "  keep it: cp $artifact $source_dir/fuzz/regressions/$target/"
    done
    return 1
}

failed=0
for entry in "${targets[@]}"; do
    target=${entry%%:*}
    max_len=${entry#*:}
    binary=$build_dir/fuzz/$target
    work=$build_dir/fuzz-run/$target
    log=$work/fuzz.log
    rm -rf "$work/tmp" "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-*
    mkdir -p "$work/corpus" "$work/tmp"
    # The working corpus keeps what earlier runs found; the seeds are added to it.
    cp -f "$source_dir/fuzz/corpus/$target"/* "$work/corpus/"
    options=(-max_len="$max_len" -timeout=10 -print_final_stats=0
             -artifact_prefix="$work/" -dict="$source_dir/fuzz/$target.dict")
    # fuzz_journal makes its scratch folder here.
    export TMPDIR=$work/tmp

    if ! run_logged "replaying regressions and seed corpus" \
            "$binary" "${options[@]}" -runs=0 \
            "$source_dir/fuzz/regressions/$target" "$source_dir/fuzz/corpus/$target"; then
        failed=1
        continue
    fi
    if ! run_logged "fuzzing for $seconds s" \
            "$binary" "${options[@]}" -max_total_time="$seconds" \
            "$work/corpus" "$source_dir/fuzz/regressions/$target"; then
        failed=1
        continue
    fi
    runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -n 1)
    echo "$target: ${runs:-?} runs in $seconds s, corpus $(ls "$work/corpus" | wc -l) inputs, no failure"
done
exit "$failed"
