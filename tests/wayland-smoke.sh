#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Smoke run on Wayland: the program starts under Weston's headless compositor through Qt's
# wayland platform plugin, with no X server to fall back to, opens its window there, creates
# its journal, and SIGTERM ends it with status 0. Needs weston and qt6-wayland.
#   tests/wayland-smoke.sh path/to/lumenlog
set -euo pipefail
if [ $# -ne 1 ] || [ ! -x "$1" ]; then
    echo "usage: $0 path/to/lumenlog" >&2
    exit 2
fi
binary=$(readlink -f "$1")
work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill -KILL "$pid" 2>/dev/null || continue
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "wayland-smoke: $*" >&2
    sed 's/^/    | /' "$work/weston.log" | tail -n 20 >&2
    grep -v '^\[' "$work/app.log" | sed 's/^/    | /' | tail -n 20 >&2
    exit 1
}
# wait_for SECONDS COMMAND...: until COMMAND succeeds, at most SECONDS.
wait_for() {
    local seconds=$1
    shift
    timeout "$seconds" bash -c 'until "$@"; do sleep 0.1; done' - "$@"
}

unset DISPLAY WAYLAND_DISPLAY
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR" "$work/journal"
weston --backend=headless-backend.so --socket=smoke --idle-time=0 >"$work/weston.log" 2>&1 &
pids+=($!)
wait_for 20 test -S "$XDG_RUNTIME_DIR/smoke" || fail "weston did not start"

# The protocol trace shows the window the program asks the compositor for.
(cd "$work/journal" && QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=smoke WAYLAND_DEBUG=client \
     exec "$binary") >"$work/app.log" 2>&1 &
app=$!
pids+=("$app")
wait_for 30 test -f "$work/journal/pw.dat" || fail "no journal was created"
wait_for 30 grep -q 'xdg_surface@[0-9]*\.get_toplevel' "$work/app.log" ||
    fail "no window was opened on the compositor"
grep -q '/platforms/libqwayland-[a-z]*\.so$' "/proc/$app/maps" ||
    fail "the wayland platform plugin is not loaded"

kill -TERM "$app"
status=0
timeout 20 tail --pid="$app" -f /dev/null || fail "SIGTERM did not end the program"
wait "$app" || status=$?
[ "$status" = 0 ] || fail "the program ended with status $status after SIGTERM"
echo "wayland-smoke: started on Weston (headless), created pw.dat, ended with 0 on SIGTERM"
