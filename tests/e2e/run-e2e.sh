#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end tests: the real lumenlog in a real X window, driven with xdotool as a user drives
# it (mouse clicks on the controls, typing, keys, the window manager's close box, signals), each
# run in a fresh folder, each checking the files it leaves byte for byte.
#
#   tests/e2e/run-e2e.sh path/to/lumenlog
#
# It starts its own X server (Xvfb, on a display number the server picks itself, so that runs
# started side by side never share one), so that it never types into a desktop in use, and
# openbox in it as window manager, so that windows have a close box. Needs xvfb, xdotool,
# x11-utils, openbox, xclip (the text of a message box is read through the clipboard) and
# tidy (to check a report's HTML); the sync tool test needs syncthing, curl and jq, and is
# skipped without them. Every wait is bounded: a test that goes wrong fails instead of hanging.
# E2E_ONLY=test_name runs one test; E2E_SHOTS=folder keeps a screenshot of each failure there
# (needs imagemagick).
set -uo pipefail

if [ $# -ne 1 ] || [ ! -x "$1" ]; then
    echo "usage: $0 path/to/lumenlog" >&2
    exit 2
fi
binary=$(readlink -f "$1")
sources=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
# A sanitizer build reports leaks of system libraries at exit; only Lumenlog's own count. The
# list is read from the work folder, which the tests that run the program as another user open
# to it: the checkout may lie where that user cannot read.
cp "$(dirname "$0")/lsan.supp" "$work/lsan.supp"
chmod 644 "$work/lsan.supp"
export LSAN_OPTIONS="suppressions=$work/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
started=() # every process started here, ended at exit
mounts=()  # every file system mounted here, unmounted at exit
cleanup() {
    local pid mount
    for pid in "${started[@]}"; do
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null # reaped quietly, without a "Killed" line
    done
    for mount in "${mounts[@]}"; do
        umount -l "$mount" 2>/dev/null
    done
    chmod -R u+w "$work" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# start_x_server: starts an X server with openbox in it; its display goes to x_display, the
# server's process id to x_pid. Xvfb writes the display number it took to file descriptor 3
# once it accepts connections; choosing the number itself and opening it are one step there,
# so two runs cannot collide.
x_display=""
x_pid=""
start_x_server() {
    local numberFile
    numberFile=$(mktemp -p "$work")
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numberFile" >>"$work/xvfb.log" 2>&1 &
    x_pid=$!
    started+=("$x_pid")
    timeout 20 bash -c "until [ -s '$numberFile' ]; do sleep 0.05; done" ||
        { echo "Xvfb did not start: $(cat "$work/xvfb.log")" >&2; return 1; }
    x_display=":$(head -n 1 "$numberFile")"
    DISPLAY=$x_display openbox --sm-disable >>"$work/openbox.log" 2>&1 &
    started+=($!)
    DISPLAY=$x_display timeout 20 bash -c 'until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null |
                                               grep -q "window id"; do sleep 0.1; done' ||
        { echo "openbox did not start: $(cat "$work/openbox.log")" >&2; return 1; }
}

unset XAUTHORITY WAYLAND_DISPLAY
# The journal's versions go to the work folder; as root some tests run the program as nobody,
# with versions of its own.
export XDG_DATA_HOME="$work/data"
mkdir -m 700 "$work/data-nobody" && chown 65534:65534 "$work/data-nobody" 2>/dev/null
as_nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups env XDG_DATA_HOME="$work/data-nobody")
# That user must reach the program: one built in a folder only its owner may enter (a checkout
# made in a private temporary folder) runs from a copy in the work folder.
if [ "$(id -u)" = 0 ] && ! "${as_nobody[@]}" test -x "$binary"; then
    mkdir -m 755 "$work/bin" && cp "$binary" "$work/bin/" && binary="$work/bin/$(basename "$binary")"
fi
start_x_server || exit 1
export DISPLAY=$x_display
# The program runs in that server whatever platform the caller's environment names for Qt (such
# as offscreen, for the unit tests run alongside).
export QT_QPA_PLATFORM=xcb

passed=0
failed=0
skipped=0
current=""
failure=""

fail() {
    failure="$*"
    return 1
}

# wait_until SECONDS CONDITION: evaluates the command CONDITION every 50 ms until it succeeds;
# fails once SECONDS have passed without.
wait_until() {
    local deadline=$((${EPOCHREALTIME//[!0-9]/} + $1 * 1000000))
    until eval "$2"; do
        [ "${EPOCHREALTIME//[!0-9]/}" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

# --- the program ---------------------------------------------------------------------------

app=""    # process id of the program started last
window="" # its main window

# start_app FOLDER [COMMAND...]: starts the program in FOLDER (through COMMAND, such as one that
# changes the user) and waits for its main window.
start_app() {
    local folder=$1
    shift
    (cd "$folder" && exec "$@" "$binary") >>"$work/app.log" 2>&1 &
    app=$!
    started+=("$app")
    window=$(wait_window "$app" '^Lumenlog$' 30) || fail "the main window did not appear" ||
        return 1
    wait_until 10 program_has_focus
}

# wait_window PID NAME SECONDS: prints the id of PID's visible window called NAME.
wait_window() {
    local id
    id=$(timeout "$3" xdotool search --all --sync --onlyvisible --pid "$1" --name "$2" 2>/dev/null |
         head -n 1)
    [ -n "$id" ] && echo "$id"
}

# has_window PID NAME: PID has a visible window called NAME.
has_window() {
    xdotool search --all --onlyvisible --pid "$1" --name "$2" >/dev/null 2>&1
}

# wait_gone PID NAME SECONDS: waits until PID has no visible window called NAME.
wait_gone() {
    local pid=$1 name=$2
    wait_until "$3" '! has_window "$pid" "$name"'
}

# program_has_focus: the active window is a visible window of the program, so keys go to it,
# or the program has ended.
program_has_focus() {
    local active
    kill -0 "$app" 2>/dev/null || return 0
    active=$(xdotool getactivewindow 2>/dev/null) || return 1
    xdotool search --all --onlyvisible --pid "$app" --name . 2>/dev/null | grep -qx "$active"
}

# answer_box KEY: waits for the program's application box ("Penwick"), answers it with KEY
# (alt+y, alt+n, Return) and waits until it has gone, so that the next click meets the window.
answer_box() {
    wait_window "$app" '^Penwick$' 10 >/dev/null || fail "no box appeared" || return 1
    key "$1"
    wait_gone "$app" '^Penwick$' 10 || fail "the box did not close" || return 1
    wait_until 10 program_has_focus
}

# read_box CAPTION: waits for the program's box called CAPTION (one without an icon), puts its
# text into box_text, answers it with Return and waits until it has gone. The text is read as a
# user copies it: a triple click on it selects it, which puts it in the X primary selection.
box_text=""
read_box() {
    local box before
    before=$(timeout 5 xclip -o -selection primary 2>/dev/null)
    box_text=""
    box=$(wait_window "$app" "^$1\$" 10) || fail "no box '$1' appeared" || return 1
    xdotool mousemove --window "$box" 40 20 click --repeat 3 --delay 80 1
    wait_until 5 'box_text=$(timeout 1 xclip -o -selection primary 2>/dev/null) &&
                  [ -n "$box_text" ] && [ "$box_text" != "$before" ]'
    xdotool windowactivate --sync "$box" 2>/dev/null || xdotool windowfocus --sync "$box"
    key Return
    wait_gone "$app" "^$1\$" 10 || fail "the box '$1' did not close" || return 1
    wait_until 10 program_has_focus
}

# wait_exit PID SECONDS: waits for the process to end; its exit status goes to exit_status.
exit_status=""
wait_exit() {
    exit_status=""
    timeout "$2" tail -s 0.05 --pid="$1" -f /dev/null || return 1
    wait "$1" 2>/dev/null
    exit_status=$?
}

# expect_exit STATUS SECONDS: the program ends with STATUS within SECONDS.
expect_exit() {
    wait_exit "$app" "$2" || fail "the program did not end within $2 s" || return 1
    [ "$exit_status" = "$1" ] || fail "the program ended with status $exit_status, not $1"
}

# --- where the controls are ----------------------------------------------------------------

# The main dialog is laid out in dialog units: 320 x 177 of them fill its client area.
width=0
height=0
measure() {
    eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(WIDTH|HEIGHT)=')"
    width=$WIDTH
    height=$HEIGHT
}

# click_at X Y: clicks the point at dialog units X, Y of the main window.
click_at() {
    measure
    xdotool mousemove --window "$window" $(($1 * width / 320)) $(($2 * height / 177)) \
        click 1
    wait_until 10 program_has_focus
}

# Centres of the controls, in dialog units.
click_quit() { click_at 285 14; }
click_add() { click_at 285 29; }
click_remove() { click_at 285 43; }
click_update() { click_at 285 58; }
click_report() { click_at 285 95; }
click_date() { click_at 228 14; }
click_title() { click_at 143 28; }
click_entry() { click_at 143 53; }
click_image() { click_at 118 79; }
# click_row N: the Nth row of the list (1 = top): below the heading, rows one text line high.
click_row() {
    measure
    local line=$((height * 8 / 177)) # one text line: eight vertical dialog units
    local y=$((88 * height / 177 + line * 13 / 10 + (2 * $1 - 1) * line / 2 + 1))
    xdotool mousemove --window "$window" $((60 * width / 320)) "$y" click 1
    wait_until 10 program_has_focus
}

# click_heading N: the heading of column N (0 = Date, the leftmost, whose width never falls
# below that of a date).
click_heading() {
    [ "$1" = 0 ] || { echo "click_heading: only column 0 has a known place" >&2; return 1; }
    measure
    local line=$((height * 8 / 177))
    xdotool mousemove --window "$window" $((40 * width / 320)) \
        $((88 * height / 177 + line * 13 / 20)) click 1
    wait_until 10 program_has_focus
}

# The window manager's close box, at the right end of the title bar above the window.
click_close_box() {
    measure
    xdotool mousemove --window "$window" $((width - 10)) -10 click 1
}

# Keys and clicks reach the program in the order they are sent; what is done from outside the
# program next (a signal, a look at its files) waits for a sign that they have been handled.
type_text() {
    xdotool type --delay 15 "$1"
}

key() {
    xdotool key "$@"
}

# replace_text TEXT: replaces the text of the box that has the focus.
replace_text() {
    key ctrl+a
    type_text "$1"
}

# --- files ---------------------------------------------------------------------------------

# same_bytes FILE EXPECTED: FILE holds exactly the bytes EXPECTED (printf escapes allowed).
same_bytes() {
    printf "$2" >"$work/expected"
    [ -f "$1" ] || fail "$(basename "$1") is missing"
    cmp -s "$1" "$work/expected" ||
        fail "$(basename "$1") differs: $(od -c "$1" | head -n 20)"
}

# only_files FOLDER NAME...: FOLDER holds these files and nothing else.
only_files() {
    local folder=$1
    shift
    local have want
    have=$(cd "$folder" && ls -A | sort | tr '\n' ' ')
    want=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
    [ "$have" = "$want" ] || fail "files in the folder: '$have', expected '$want'"
}

# fingerprint FOLDER: names, sizes, times and contents of everything in FOLDER.
fingerprint() {
    (cd "$1" && ls -lA --time-style=full-iso && find . -type f -exec md5sum {} + | sort)
}

new_folder() {
    local folder
    folder=$(mktemp -d -p "$work")
    echo "$folder"
}

# The journal of two rows, Newer above Older, as the program writes it.
twoRows='CREATOR=PENWICK 1.0\r\nDATE=2024-05-01\r\nTITLE=Older\r\nENTRY=first<br>second\r\n\r\nDATE=2024-05-02\r\nTITLE=Newer\r\nENTRY=text\r\n'

# --- the tests -----------------------------------------------------------------------------

# Adds an entry with the Date dialog, as on a first day, and quits.
test_first_entry_with_date_dialog() {
    local folder today
    folder=$(new_folder)
    start_app "$folder" || return 1
    same_bytes "$folder/pw.dat" '' || return 1 # created empty at start
    click_date
    wait_window "$app" '^Date Selection$' 10 >/dev/null ||
        fail "the Date Selection dialog did not open" || return 1
    today=$(date +%Y-%m-%d)
    key Return # "Return", the dialog's default button, takes the day it opened on: today
    wait_gone "$app" '^Date Selection$' 10 || fail "the Date Selection dialog did not close" ||
        return 1
    click_title
    type_text "Walk in the park"
    click_entry
    type_text "Sunny and warm"
    key Return
    type_text "Saw a heron"
    click_add
    click_quit
    expect_exit 0 20 || return 1
    same_bytes "$folder/pw.dat" "CREATOR=PENWICK 1.0\r\nDATE=$today\r\nTITLE=Walk in the park\r\nENTRY=Sunny and warm<br>Saw a heron\r\n" ||
        return 1
    only_files "$folder" pw.dat
}

# Starts on a saved journal: clicking the top row loads it into the form, and Add then finds it
# in the list (the duplicate question); answered No, the next Quit writes the same bytes.
test_restart_finds_the_rows() {
    local folder
    folder=$(new_folder)
    printf "$twoRows" >"$folder/pw.dat"
    start_app "$folder" || return 1
    click_row 1
    click_add
    answer_box alt+n || fail "duplicate question for the top row: $failure" || return 1
    click_row 2
    click_add
    # This time: yes, add it again (to the top).
    answer_box alt+y || fail "duplicate question for the second row: $failure" || return 1
    click_quit
    expect_exit 0 20 || return 1
    same_bytes "$folder/pw.dat" "${twoRows}\r\nDATE=2024-05-01\r\nTITLE=Older\r\nENTRY=first<br>second\r\n" ||
        return 1
    # And that journal comes back once more, unchanged by a run that only looks.
    start_app "$folder" || return 1
    click_quit
    expect_exit 0 20 || return 1
    same_bytes "$folder/pw.dat" "${twoRows}\r\nDATE=2024-05-01\r\nTITLE=Older\r\nENTRY=first<br>second\r\n"
}

# Report with the three templates present, answering No to viewing it.
test_report_with_templates() {
    local folder
    folder=$(new_folder)
    printf "$twoRows" >"$folder/pw.dat"
    printf '<html><body>\n<h1>Journal</h1>\n' >"$folder/Header.htm"
    printf '<p>#DATE# #TITLE#: #ENTRY#</p>\r\n' >"$folder/ReportLine.htm"
    printf '</body></html>\n' >"$folder/Footer.htm"
    start_app "$folder" || return 1
    click_report
    answer_box alt+n || return 1
    click_quit
    expect_exit 0 20 || return 1
    same_bytes "$folder/Report.htm" '<html><body>\r\n<h1>Journal</h1>\r\n<p>2024-05-02 Newer: text</p>\r\n<p>2024-05-01 Older: first<br>second</p>\r\n</body></html>\r\n' ||
        return 1
    same_bytes "$folder/Header.htm" '<html><body>\n<h1>Journal</h1>\n' || return 1
    same_bytes "$folder/pw.dat" "$twoRows" || return 1
    only_files "$folder" pw.dat Header.htm ReportLine.htm Footer.htm Report.htm
}

# check_html FILE: the HTML checker finds nothing to complain about in FILE.
check_html() {
    command -v tidy >/dev/null || fail "tidy, the HTML checker, is not installed" || return 1
    tidy -q -e "$1" >"$work/tidy.log" 2>&1 ||
        fail "tidy on $(basename "$1"): $(cat "$work/tidy.log")"
}

# The templates installed to start from give a clean report, with the Image box empty and with
# the start of an image tag in it.
test_report_with_the_installed_templates() {
    local folder
    folder=$(new_folder)
    printf "$twoRows" >"$folder/pw.dat"
    cp "$sources"/docs/templates/*.htm "$folder"/
    start_app "$folder" || return 1
    click_report
    answer_box alt+n || return 1
    cp "$folder/Report.htm" "$work/without-image.htm"
    click_image
    type_text '<img src="pic.png" alt="A picture"'
    click_report
    answer_box alt+n || return 1
    click_quit
    expect_exit 0 20 || return 1
    check_html "$work/without-image.htm" || return 1
    check_html "$folder/Report.htm" || return 1
    grep -q '<h2><time>2024-05-02</time>Newer</h2>' "$folder/Report.htm" ||
        fail "the top row is not in the report" || return 1
    grep -q '<div class="text">first<br>second</div>' "$folder/Report.htm" ||
        fail "the entry's line break is not kept" || return 1
    [ "$(grep -c '^<img src="pic.png" alt="A picture">' "$folder/Report.htm")" = 2 ] ||
        fail "not one picture per entry"
}

# A journal the program did not write itself (LF line ends, no creator line) comes back in the
# program's own form: proof that closing saved it.
foreignJournal='DATE=2024-05-01\nTITLE=Older\nENTRY=first<br>second\nDATE=2024-05-02\nTITLE=Newer\nENTRY=text\n'

test_escape_saves() {
    local folder
    folder=$(new_folder)
    printf "$foreignJournal" >"$folder/pw.dat"
    start_app "$folder" || return 1
    add_unsaved_row
    key Escape
    expect_exit 0 20 || return 1
    same_bytes "$folder/pw.dat" "$unsavedJournal"
}

test_close_box_saves() {
    local folder
    folder=$(new_folder)
    printf "$foreignJournal" >"$folder/pw.dat"
    start_app "$folder" || return 1
    add_unsaved_row
    click_close_box
    expect_exit 0 20 || return 1
    same_bytes "$folder/pw.dat" "$unsavedJournal"
}

# add_unsaved_row: a new row made from the top row with another title (no question asked).
add_unsaved_row() {
    click_row 1
    click_title
    replace_text "Unsaved"
    click_add
}
unsavedJournal="${twoRows}"'\r\nDATE=2024-05-02\r\nTITLE=Unsaved\r\nENTRY=text\r\n'

test_stop_signals_save() {
    local signal folder
    for signal in TERM HUP INT; do
        folder=$(new_folder)
        printf "$twoRows" >"$folder/pw.dat"
        start_app "$folder" || return 1
        add_unsaved_row
        # Add has been handled once the journal holds the row: changes are saved within a second.
        wait_until 10 'same_bytes "$folder/pw.dat" "$unsavedJournal"'
        kill -s "$signal" "$app"
        kill -s "$signal" "$app" # a second one while it saves changes nothing
        expect_exit 0 20 || fail "after SIG$signal: $failure" || return 1
        same_bytes "$folder/pw.dat" "$unsavedJournal" || fail "after SIG$signal: $failure" ||
            return 1
    done
}

# SIGTERM while Report's question is open: the box is closed (No), the journal saved.
test_stop_signal_with_a_box_open() {
    local folder
    folder=$(new_folder)
    printf "$twoRows" >"$folder/pw.dat"
    printf '<table>\n' >"$folder/Header.htm"
    printf '<tr><td>#TITLE#</td></tr>\n' >"$folder/ReportLine.htm"
    printf '</table>\n' >"$folder/Footer.htm"
    start_app "$folder" || return 1
    add_unsaved_row
    click_report
    wait_window "$app" '^Penwick$' 10 >/dev/null || fail "no question after Report" || return 1
    kill -TERM "$app"
    expect_exit 0 20 || return 1
    same_bytes "$folder/pw.dat" "$unsavedJournal" || return 1
    same_bytes "$folder/Report.htm" '<table>\r\n<tr><td>Unsaved</td></tr>\r\n<tr><td>Newer</td></tr>\r\n<tr><td>Older</td></tr>\r\n</table>\r\n'
}

# A FIFO named Header.htm is not waited for: the report says it could not load it and stops.
test_report_with_a_fifo_header() {
    local folder
    folder=$(new_folder)
    printf "$twoRows" >"$folder/pw.dat"
    mkfifo "$folder/Header.htm"
    start_app "$folder" || return 1
    click_report
    wait_window "$app" '^Error$' 10 >/dev/null || fail "no load failure box for the FIFO" ||
        return 1
    key Return
    wait_gone "$app" '^Error$' 10 || fail "the load failure box did not close" || return 1
    click_quit # a question would stand in the way
    expect_exit 0 20 || return 1
    [ -p "$folder/Header.htm" ] || fail "Header.htm is no longer a FIFO"
}

# A report that cannot be written says so once, however many entries there are, and does not
# claim to have been written.
test_report_that_cannot_be_written() {
    local folder i
    folder=$(new_folder)
    {
        printf 'CREATOR=PENWICK 1.0'
        for i in $(seq 100); do
            printf '\r\nDATE=2024-01-%03d\r\nTITLE=Row %d\r\nENTRY=text\r\n' "$i" "$i"
        done
    } >"$folder/pw.dat"
    cp "$folder/pw.dat" "$work/journal"
    if [ "$(id -u)" = 0 ]; then
        ln -s /dev/full "$folder/Report.htm" # root writes to a read-only file all the same
    else
        printf 'old report' >"$folder/Report.htm"
        chmod 0444 "$folder/Report.htm"
    fi
    start_app "$folder" || return 1
    click_report
    wait_window "$app" '^Error Log$' 10 >/dev/null || fail "no write failure box" || return 1
    key Return
    wait_gone "$app" '^Error Log$' 10 || fail "the write failure box did not close" || return 1
    # A second box would open before the click on Quit is handled, and keep the program open.
    click_quit
    wait_until 20 '! kill -0 "$app" 2>/dev/null || has_window "$app" "^(Error Log|Penwick)\$"'
    ! has_window "$app" '^(Error Log|Penwick)$' || fail "another box followed the first" ||
        return 1
    expect_exit 0 20 || return 1
    cmp -s "$folder/pw.dat" "$work/journal" || fail "the journal changed"
}

# A second start in the same folder is refused with a box and touches no file; in another
# folder it starts; after the first has crashed, the folder is free again.
test_second_instance_refused() {
    local folder other first second before
    folder=$(new_folder)
    printf "$twoRows" >"$folder/pw.dat"
    start_app "$folder" || return 1
    first=$app
    before=$(fingerprint "$folder")

    (cd "$folder" && exec "$binary") >>"$work/app.log" 2>&1 &
    second=$!
    started+=("$second")
    local box
    box=$(wait_window "$second" '^Penwick$' 30) || fail "no box from the second start" ||
        return 1
    [ "$(xdotool getwindowname "$box")" = "Penwick" ] || fail "box caption" || return 1
    [ "$(fingerprint "$folder")" = "$before" ] || fail "the second start touched the folder" ||
        return 1
    xdotool windowfocus --sync "$box" 2>/dev/null
    key Return # OK
    wait_exit "$second" 20 || fail "the refused start did not end" || return 1
    [ "$exit_status" = 1 ] || fail "the refused start ended with $exit_status, not 1" || return 1
    [ "$(fingerprint "$folder")" = "$before" ] || fail "the folder changed" || return 1
    only_files "$folder" pw.dat || return 1

    other=$(new_folder) # another folder is another journal
    start_app "$other" || return 1
    key Escape
    expect_exit 0 20 || return 1
    same_bytes "$other/pw.dat" '' || return 1

    app=$first
    kill -KILL "$first" # a crash: the lock goes with the process
    wait_exit "$first" 10
    start_app "$folder" || fail "refused after the first one crashed" || return 1
    key Escape
    expect_exit 0 20 || return 1
    same_bytes "$folder/pw.dat" "$twoRows"
}

# Three rows as the program writes them; the list shows Bravo, Charlie, Alpha, top to bottom,
# not in date order.
threeRows='CREATOR=PENWICK 1.0\r\nDATE=2024-05-01\r\nTITLE=Alpha\r\nENTRY=first\r\n\r\nDATE=2024-05-03\r\nTITLE=Charlie\r\nENTRY=third\r\n\r\nDATE=2024-05-02\r\nTITLE=Bravo\r\nENTRY=second\r\n'

# The keyboard focus passing through the list chooses no row: Update and Remove then change
# nothing, though the form holds a date and a title.
test_tab_through_then_remove_and_update() {
    local folder tab
    folder=$(new_folder)
    printf "$threeRows" >"$folder/pw.dat"
    start_app "$folder" || return 1
    click_date
    wait_window "$app" '^Date Selection$' 10 >/dev/null ||
        fail "the Date Selection dialog did not open" || return 1
    key Return
    wait_gone "$app" '^Date Selection$' 10 || fail "the Date Selection dialog did not close" ||
        return 1
    click_title
    type_text "Typed"
    # Fifteen tab stops: once round them all, back to the Title box.
    for tab in $(seq 15); do
        key Tab
    done
    click_update
    click_remove
    click_quit
    expect_exit 0 20 || return 1
    same_bytes "$folder/pw.dat" "$threeRows"
}

# Remove, then Ctrl+Z with the focus on the Remove button: the entry is back, in the journal too,
# after a restart. The journal as it was before the session's first save is kept among its
# versions, owner-only, and --versions lists it.
test_undo_of_a_remove_and_the_version_kept() {
    local folder listed kept
    folder=$(new_folder)
    printf "$threeRows" >"$folder/pw.dat"
    start_app "$folder" || return 1
    click_row 2 # Charlie
    click_remove
    wait_until 10 '! grep -q Charlie "$folder/pw.dat"' || fail "the Remove was not saved" || return 1
    key ctrl+z
    click_quit
    expect_exit 0 20 || return 1
    start_app "$folder" || return 1
    click_quit
    expect_exit 0 20 || return 1
    same_bytes "$folder/pw.dat" "$threeRows" || return 1
    listed=$("$binary" --versions "$folder")
    [[ $(wc -l <<<"$listed") = 1 && "$listed" == *" 3 entries  $XDG_DATA_HOME/lumenlog/versions/"* ]] ||
        fail "--versions: '$listed'" || return 1
    kept=${listed##*  }
    [ "$(stat -c %a "$kept")" = 600 ] || fail "the version's mode is $(stat -c %a "$kept")" || return 1
    same_bytes "$kept" "$threeRows"
}

# A sort moves the clicked entry to another row; Update still changes that entry, no other.
test_sort_then_update_changes_the_clicked_entry() {
    local folder
    folder=$(new_folder)
    printf "$threeRows" >"$folder/pw.dat"
    start_app "$folder" || return 1
    click_row 2 # Charlie, 2024-05-03
    click_heading 0 # by date: Alpha, Bravo, Charlie
    click_title
    replace_text "Changed"
    click_update
    click_quit
    expect_exit 0 20 || return 1
    # Saved bottom row first.
    same_bytes "$folder/pw.dat" 'CREATOR=PENWICK 1.0\r\nDATE=2024-05-03\r\nTITLE=Changed\r\nENTRY=third\r\n\r\nDATE=2024-05-02\r\nTITLE=Bravo\r\nENTRY=second\r\n\r\nDATE=2024-05-01\r\nTITLE=Alpha\r\nENTRY=first\r\n'
}

# Every change reaches the disk within a second: nothing of it is lost when the program is
# killed then. add_unsaved_row ends as soon as Add has been clicked.
test_add_then_kill_keeps_the_row() {
    local folder
    folder=$(new_folder)
    printf "$twoRows" >"$folder/pw.dat"
    start_app "$folder" || return 1
    add_unsaved_row
    wait_until 1 'same_bytes "$folder/pw.dat" "$unsavedJournal"'
    kill -KILL "$app"
    wait_exit "$app" 10 || fail "the program did not die" || return 1
    same_bytes "$folder/pw.dat" "$unsavedJournal" || return 1
    only_files "$folder" pw.dat
}

# The same when the X server goes away (the program ends at once, without its close save).
# The server is one of the test's own, so that the others keep theirs.
test_x_server_gone_keeps_the_row() {
    local folder suite_display=$DISPLAY
    folder=$(new_folder)
    printf "$twoRows" >"$folder/pw.dat"
    start_x_server || fail "no second X server" || return 1
    export DISPLAY=$x_display
    start_app "$folder" && add_unsaved_row
    local status=$?
    [ $status -ne 0 ] || wait_until 1 'same_bytes "$folder/pw.dat" "$unsavedJournal"'
    kill -KILL "$x_pid"
    wait "$x_pid" 2>/dev/null # reaped quietly
    export DISPLAY=$suite_display
    [ $status -eq 0 ] || return 1
    wait_exit "$app" 20 || fail "the program outlived its X server" || return 1
    same_bytes "$folder/pw.dat" "$unsavedJournal" || return 1
    only_files "$folder" pw.dat
}

# Another program appends a record while the journal is open: the next save first keeps that
# version beside the journal and says so. A merge of it is offered next; Merge gives the journal
# both the record and the one added here, and takes the copy among the journal's versions.
test_outside_change_is_kept_and_merged() {
    local folder kept
    local appended='\r\nDATE=2024-05-03\r\nTITLE=Synced\r\nENTRY=from the phone\r\n'
    folder=$(new_folder)
    printf "$twoRows" >"$folder/pw.dat"
    start_app "$folder" || return 1
    printf "$appended" >>"$folder/pw.dat"
    add_unsaved_row
    read_box "Journal Changed Outside" || return 1
    kept=$(cd "$folder" && ls pw.changed-outside-*.dat 2>/dev/null)
    [ "$(wc -w <<<"$kept")" = 1 ] || fail "kept files: '$kept'" || return 1
    [[ "$box_text" == *"$kept"* ]] || fail "the box did not name $kept: '$box_text'" || return 1
    same_bytes "$folder/$kept" "$twoRows$appended" || return 1
    read_box "Merge Other Versions" || return 1 # Return: Merge
    click_quit
    expect_exit 0 20 || return 1
    same_bytes "$folder/pw.dat" "$unsavedJournal$appended" || return 1
    only_files "$folder" pw.dat || return 1
    local version
    printf "$twoRows$appended" >"$work/expected"
    for version in $("$binary" --versions "$folder" | sed 's/.*  //'); do
        cmp -s "$version" "$work/expected" && return 0
    done
    fail "the copy is not among the versions"
}

# A journal that cannot be read (its records would fill the memory): a box says so at start,
# the journal stays as it is, and the session's rows go to a file beside it that the box at
# close names.
test_unreadable_journal_is_announced() {
    local folder today aside
    folder=$(new_folder)
    {
        printf 'DATE=1\r\nENTRY='
        head -c 1048576 /dev/zero | tr '\0' x
        printf '\r\n'
        for _ in $(seq 100); do printf 'DATE=2\r\n'; done
    } >"$folder/pw.dat"
    cp "$folder/pw.dat" "$work/unreadable"
    start_app "$folder" || return 1
    read_box "Journal Not Read" || return 1
    [[ "$box_text" == *"could not be read"* ]] || fail "box at start: '$box_text'" || return 1
    click_date
    wait_window "$app" '^Date Selection$' 10 >/dev/null || fail "no Date Selection" || return 1
    today=$(date +%Y-%m-%d)
    key Return
    wait_gone "$app" '^Date Selection$' 10 || fail "the Date Selection did not close" || return 1
    click_title
    type_text "Kept aside"
    click_add
    click_quit
    read_box "Journal Not Read" || return 1
    expect_exit 0 20 || return 1
    cmp -s "$folder/pw.dat" "$work/unreadable" || fail "the unreadable journal changed" || return 1
    aside=$(cd "$folder" && ls pw.saved-while-unreadable-*.dat 2>/dev/null)
    [ "$(wc -w <<<"$aside")" = 1 ] || fail "files beside: '$aside'" || return 1
    [[ "$box_text" == *"$aside"* ]] || fail "the box did not name $aside: '$box_text'" || return 1
    same_bytes "$folder/$aside" "CREATOR=PENWICK 1.0\r\nDATE=$today\r\nTITLE=Kept aside\r\nENTRY=\r\n" ||
        return 1
    only_files "$folder" pw.dat "$aside"
}

# A folder the user may not write to, holding a journal the user may write: saved in place.
# Root may write anywhere, so as root the program runs as nobody.
test_read_only_folder_saves_in_place() {
    local folder inode as_user=()
    folder=$(new_folder)
    printf "$twoRows" >"$folder/pw.dat"
    chmod 644 "$folder/pw.dat"
    if [ "$(id -u)" = 0 ]; then
        chown -R 65534:65534 "$folder"
        chmod o+x "$work"
        as_user=("${as_nobody[@]}")
    fi
    chmod 555 "$folder"
    inode=$(stat -c %i "$folder/pw.dat")
    start_app "$folder" "${as_user[@]}" || return 1
    add_unsaved_row
    click_quit
    expect_exit 0 20 || return 1
    chmod 755 "$folder"
    same_bytes "$folder/pw.dat" "$unsavedJournal" || return 1
    [ "$(stat -c %i "$folder/pw.dat")" = "$inode" ] || fail "pw.dat was replaced" || return 1
    only_files "$folder" pw.dat
}

# A journal whose lines end in CR alone loads nothing. A box right after the start says so and
# names the file that keeps the journal as it was; closing without a change writes nothing.
test_cr_only_journal_keeps_its_original() {
    local folder kept
    local crOnly='CREATOR=PENWICK 1.0\rDATE=2024-05-01\rTITLE=Older\rENTRY=text\r'
    folder=$(new_folder)
    printf "$crOnly" >"$folder/pw.dat"
    start_app "$folder" || return 1
    read_box "Journal Partly Loaded" || return 1
    kept=$(cd "$folder" && ls pw.original-*.dat 2>/dev/null)
    [ "$(wc -w <<<"$kept")" = 1 ] || fail "kept files: '$kept'" || return 1
    [[ "$box_text" == *"59 of the 59 bytes"*"$kept"* ]] ||
        fail "the box did not say how much and where: '$box_text'" || return 1
    key Escape
    expect_exit 0 20 || return 1
    same_bytes "$folder/$kept" "$crOnly" || return 1
    same_bytes "$folder/pw.dat" "$crOnly" || return 1
    only_files "$folder" pw.dat "$kept"
}

# Every save fails: the background save's box is open when SIGTERM arrives. The program ends
# within a second, says why on standard error, and its exit status says it failed; the journal
# is as it was. The failure is real: as root (who may write regardless of permissions) a full
# file system, a small tmpfs mounted for the test; otherwise a journal and folder without write
# permission, used as a user other than root.
test_stop_signal_after_a_failed_save() {
    local folder full="" as_user=()
    folder=$(new_folder)
    if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=256k tmpfs "$folder" 2>/dev/null; then
        mounts+=("$folder")
        full=yes
    elif [ "$(id -u)" = 0 ]; then
        chown 65534:65534 "$folder"
        chmod o+x "$work"
        as_user=("${as_nobody[@]}")
    fi
    printf "$twoRows" >"$folder/pw.dat"
    [ ${#as_user[@]} -eq 0 ] || chown 65534:65534 "$folder/pw.dat"
    start_app "$folder" "${as_user[@]}" || return 1
    if [ -n "$full" ]; then
        head -c 1M /dev/zero >"$folder/filler" 2>/dev/null
    else
        chmod 0444 "$folder/pw.dat"
        chmod 0555 "$folder"
    fi
    add_unsaved_row
    wait_window "$app" '^Error Writing File$' 10 >/dev/null ||
        fail "no box for the failed save" || return 1
    kill -TERM "$app"
    wait_exit "$app" 1 || fail "the program did not end within a second of SIGTERM" || return 1
    [ "$exit_status" != 0 ] || fail "the program ended with status 0 after a failed save" ||
        return 1
    grep -q 'could not be saved to pw.dat' "$work/app.log" ||
        fail "no reason on standard error" || return 1
    same_bytes "$folder/pw.dat" "$twoRows" || return 1
    if [ -n "$full" ]; then
        rm -f "$folder/filler"
        umount "$folder"
    fi
}

# expect_second_start_refused FOLDER [COMMAND...]: a second start in FOLDER (through COMMAND)
# shows the box that the journal is open elsewhere, ends with status 1 and changes nothing.
expect_second_start_refused() {
    local folder=$1 second box before
    shift
    before=$(fingerprint "$folder")
    (cd "$folder" && exec "$@" "$binary") >>"$work/app.log" 2>&1 &
    second=$!
    started+=("$second")
    box=$(wait_window "$second" '^Penwick$' 30) || fail "no refusal box" || return 1
    xdotool windowfocus --sync "$box" 2>/dev/null
    key Return
    wait_exit "$second" 20 || fail "the refused start did not end" || return 1
    [ "$exit_status" = 1 ] || fail "the refused start ended with $exit_status, not 1" || return 1
    [ "$(fingerprint "$folder")" = "$before" ] || fail "the second start touched the folder"
}

# One window per journal file, also after a save has put a new file in the journal's place: in
# a folder the user may write but not read (mode 0300), which cannot be opened to be locked, and
# through a hard link made while the journal is open. Root may read any folder, so as root the
# program runs as nobody.
test_second_start_refused_without_read_permission_and_through_a_later_hard_link() {
    local folder other as_user=()
    folder=$(new_folder)
    other=$(new_folder)
    printf "$twoRows" >"$folder/pw.dat"
    if [ "$(id -u)" = 0 ]; then
        chown -R 65534:65534 "$folder" "$other"
        chmod o+x "$work"
        as_user=("${as_nobody[@]}")
    fi
    chmod 0300 "$folder"
    start_app "$folder" "${as_user[@]}" || return 1
    add_unsaved_row
    sleep 1 # saved by now
    expect_second_start_refused "$folder" "${as_user[@]}" || return 1
    ln "$folder/pw.dat" "$other/pw.dat"
    expect_second_start_refused "$other" "${as_user[@]}" || return 1
    click_quit
    expect_exit 0 20 || return 1
    same_bytes "$other/pw.dat" "$unsavedJournal"
}

# A folder where neither pw.dat nor a new file can be written (another user's, mode 0755) is
# said at start: given on the command line, the program ends with status 2 before any window;
# started in it, a box names the folder and the reason. An entry's failed save then claims no
# pw.dat that holds anything. As root the program runs as nobody.
test_unwritable_folder_is_said_at_start() {
    local folder as_user=()
    folder=$(new_folder)
    chmod 0755 "$folder"
    [ "$(id -u)" = 0 ] || chmod 0555 "$folder" # the user's own folder
    if [ "$(id -u)" = 0 ]; then
        chmod o+x "$work"
        as_user=("${as_nobody[@]}")
    fi
    timeout 20 "${as_user[@]}" "$binary" "$folder" >"$work/out.log" 2>&1
    [ $? = 2 ] || fail "with the folder given: not status 2" || return 1
    grep -q "cannot keep the journal in '$folder': Permission denied" "$work/out.log" ||
        fail "standard error: $(cat "$work/out.log")" || return 1
    start_app "$folder" "${as_user[@]}" || return 1
    read_box "Journal Cannot Be Saved" || return 1
    [[ "$box_text" == *"$folder (Permission denied)"* ]] || fail "box: '$box_text'" || return 1
    click_date # an entry for today, whose save fails
    wait_window "$app" '^Date Selection$' 10 >/dev/null || fail "no Date Selection" || return 1
    key Return
    wait_gone "$app" '^Date Selection$' 10 || fail "the Date Selection did not close" || return 1
    click_add
    wait_window "$app" '^Error Writing File$' 10 >/dev/null || fail "no failure box" || return 1
    kill -TERM "$app"
    expect_exit 1 10 || return 1
    grep -q 'denied. pw.dat was not created.' "$work/app.log" || fail "standard error" || return 1
    [ -z "$(ls -A "$folder")" ] || fail "files in the folder: $(ls -A "$folder")"
}

# --- with a sync tool ----------------------------------------------------------------------

source "$sources/tests/e2e/syncthing.sh"

# save_by_rename FILE SOURCE: replaces FILE with the bytes of SOURCE as the program's save does,
# through a temporary file beside it that is renamed over it.
save_by_rename() {
    local temporary
    temporary=$(mktemp -p "$(dirname "$1")" ".$(basename "$1").lumenlog-save-XXXXXX")
    cat "$2" >"$temporary"
    mv "$temporary" "$1"
}

# phase NAME: adds the time since the last phase ended to `phases`.
phases=""
phase_began=0
phase() {
    local now
    now=$(date +%s%N)
    [ "$1" = "" ] || phases+=" $1 $(((now - phase_began) / 1000000)) ms,"
    phase_began=$now
}

# The journal changes on both computers while the sync tool's link is down (a real Syncthing
# pair on the loopback address). When the link is back, the tool keeps one version as pw.dat
# and the other beside it as a conflict copy, the same in both folders: neither is lost.
test_sync_tool_keeps_both_versions() {
    st_available || { failure="syncthing, curl or jq is not installed"; return 77; }
    local a b side copy kept=a lost=b
    a=$(new_folder)
    b=$(new_folder)
    printf "$twoRows" >"$a/pw.dat"
    cp "$a/pw.dat" "$b/pw.dat"
    phases=""
    phase ""
    st_start "$a" "$b" || return 1
    phase start
    st_wait_in_sync || return 1
    phase "first sync"
    st_cut || return 1
    phase cut
    for side in a b; do
        printf "${twoRows}\r\nDATE=2026-12-01\r\nTITLE=On $side\r\nENTRY=x\r\n" \
            >"$work/version-$side"
        save_by_rename "${!side}/pw.dat" "$work/version-$side"
    done
    st_restore || return 1
    phase restore
    st_wait_conflict_copy || return 1
    phase conflict
    st_wait_in_sync || return 1
    phase "in sync"
    copy=$(cd "$a" && ls pw.sync-conflict-*.dat)
    only_files "$a" .stfolder pw.dat "$copy" || return 1
    only_files "$b" .stfolder pw.dat "$copy" || return 1
    cmp -s "$a/pw.dat" "$work/version-a" || { kept=b; lost=a; }
    for side in a b; do
        cmp -s "${!side}/pw.dat" "$work/version-$kept" &&
            cmp -s "${!side}/$copy" "$work/version-$lost" ||
            fail "folder $side does not hold both versions" || return 1
    done
    st_stop
    phase stop
    echo "    syncthing:${phases%,}"
}

# change_side SIDE ROW: in the window of folder SIDE, removes row ROW and adds "On SIDE" for today.
change_side() {
    click_row "$2"
    click_remove
    click_date
    wait_window "$app" '^Date Selection$' 10 >/dev/null || fail "no Date Selection dialog" || return 1
    key Return
    wait_gone "$app" '^Date Selection$' 10 || fail "the Date Selection dialog stayed" || return 1
    click_title
    replace_text "On $1"
    click_add
}

# Each computer removes a different entry and adds its own while the link is down. After the
# sync tool's conflict, the next start in folder a offers the merge, with the version a kept of
# the journal before its changes as the base; Merge gives both folders one journal that holds
# every entry added and none removed on either side, and no copy beside it.
test_sync_conflict_is_merged() {
    st_available || { failure="syncthing, curl or jq is not installed"; return 77; }
    local a b side titles row=1
    a=$(new_folder)
    b=$(new_folder)
    printf 'CREATOR=PENWICK 1.0\r\nDATE=2024-05-01\r\nTITLE=Older\r\nENTRY=o\r\n\r\nDATE=2024-05-02\r\nTITLE=Middle\r\nENTRY=m\r\n\r\nDATE=2024-05-03\r\nTITLE=Newer\r\nENTRY=n\r\n' >"$a/pw.dat"
    cp "$a/pw.dat" "$b/pw.dat"
    for side in a b; do
        echo '.pw.dat.lumenlog-save-*' >"${!side}/.stignore" # a save's temporary file
    done
    phases=""
    phase ""
    st_start "$a" "$b" && st_wait_in_sync || return 1
    st_cut || return 1
    phase "start and cut"
    for side in a b; do # a removes Newer, the top row; b removes Older, the third
        start_app "${!side}" env XDG_DATA_HOME="$work/data-$side" || return 1
        change_side "$side" "$row" || return 1
        click_quit
        expect_exit 0 20 || return 1
        row=3
    done
    phase "changes"
    st_restore && st_wait_conflict_copy && st_wait_in_sync || return 1
    phase "conflict"
    start_app "$a" env XDG_DATA_HOME="$work/data-a" || return 1
    wait_window "$app" '^Merge Other Versions$' 10 >/dev/null || fail "no merge offered" || return 1
    key Return
    wait_until 10 '! compgen -G "$a/pw.sync-conflict-*" >/dev/null' ||
        fail "the conflict copy stayed: $(ls -A "$a")" || return 1
    click_quit
    expect_exit 0 20 || return 1
    st_wait_in_sync || return 1
    phase "merge"
    for side in a b; do
        only_files "${!side}" .stfolder .stignore pw.dat || return 1
        titles=$(grep -a '^TITLE=' "${!side}/pw.dat" | tr -d '\r' | sort | tr '\n' ,)
        [ "$titles" = "TITLE=Middle,TITLE=On a,TITLE=On b," ] ||
            fail "folder $side holds $titles" || return 1
    done
    cmp -s "$a/pw.dat" "$b/pw.dat" || fail "the two folders hold different journals" || return 1
    st_stop
    echo "    syncthing:${phases%,}"
}

# A journal with one entry of 30 MB, the last bytes of which are Windows-1252: the window
# appears with the list showing the start of it, and a save after an Add keeps its bytes.
test_long_entry_opens_and_survives_a_save() {
    local folder
    folder=$(new_folder)
    {
        printf 'CREATOR=PENWICK 1.0\r\nDATE=2024-05-01\r\nTITLE=Long\r\nENTRY='
        yes 'walked by the river in the rain<br>' | tr -d '\n' | head -c 30000000
        printf 'caf\xe9\r\n\r\nDATE=2024-05-02\r\nTITLE=Newer\r\nENTRY=text\r\n'
    } >"$folder/pw.dat"
    cp "$folder/pw.dat" "$work/long.dat"
    printf '\r\nDATE=2024-05-02\r\nTITLE=Unsaved\r\nENTRY=text\r\n' >>"$work/long.dat"
    start_app "$folder" || return 1
    add_unsaved_row
    click_quit
    expect_exit 0 60 || return 1
    cmp -s "$folder/pw.dat" "$work/long.dat" ||
        fail "pw.dat differs from the journal with the row added" || return 1
    only_files "$folder" pw.dat
}

# A read-only journal with a line the list lacks (nobody's, run as nobody): three starts keep one
# copy of it; a close without a change writes nothing and ends with 0, on Quit and SIGTERM.
test_read_only_journal_is_left_alone() {
    local folder how kept as_user=()
    folder=$(new_folder)
    printf "${twoRows}Note\r\n" >"$folder/pw.dat"
    chmod 0444 "$folder/pw.dat"
    if [ "$(id -u)" = 0 ]; then
        chown -R 65534:65534 "$folder" && chmod o+x "$work"
        as_user=("${as_nobody[@]}")
    fi
    for how in quit TERM quit; do
        start_app "$folder" "${as_user[@]}" && read_box "Journal Partly Loaded" || return 1
        if [ "$how" = quit ]; then click_quit; else kill -TERM "$app"; fi
        expect_exit 0 20 || fail "after $how: $failure" || return 1
    done
    kept=$(cd "$folder" && ls pw.original-*.dat 2>/dev/null)
    [ "$(wc -w <<<"$kept")" = 1 ] || fail "kept files: '$kept'" || return 1
    same_bytes "$folder/$kept" "${twoRows}Note\r\n" && same_bytes "$folder/pw.dat" "${twoRows}Note\r\n"
}

# A same-size edit in place with its modification time put back (cp -p) is kept and named.
test_outside_edit_with_its_time_put_back_is_kept() {
    local folder kept at
    folder=$(new_folder)
    printf "$twoRows" >"$folder/pw.dat"
    start_app "$folder" || return 1
    touch -r "$folder/pw.dat" "$work/stamp"
    at=$(grep -bo Older "$folder/pw.dat" | cut -d: -f1)
    printf en | dd of="$folder/pw.dat" bs=1 seek=$((at + 3)) conv=notrunc status=none
    touch -r "$work/stamp" "$folder/pw.dat"
    add_unsaved_row
    read_box "Journal Changed Outside" || return 1
    wait_window "$app" '^Merge Other Versions$' 10 >/dev/null || fail "no merge offered" || return 1
    key Escape # Not now
    click_quit
    expect_exit 0 20 || return 1
    kept=$(cd "$folder" && ls pw.changed-outside-*.dat 2>/dev/null)
    [[ -n "$kept" && "$box_text" == *"$kept"* ]] || fail "the box named '$box_text'" || return 1
    same_bytes "$folder/$kept" "${twoRows/Older/Olden}" && same_bytes "$folder/pw.dat" "$unsavedJournal"
}

# A journal with a line the list lacks cannot be copied at start (a full tmpfs): once room is
# freed, the next save copies it and saves.
test_original_is_copied_once_room_is_freed() {
    local folder kept
    [ "$(id -u)" = 0 ] || { echo "    (skipped: mounting a tmpfs needs root)"; return 0; }
    folder=$(new_folder)
    mount -t tmpfs -o size=256k tmpfs "$folder" && mounts+=("$folder") || fail "no tmpfs" || return 1
    printf "${twoRows}Note\r\n" >"$folder/pw.dat"
    head -c 1M /dev/zero >"$folder/filler" 2>/dev/null
    start_app "$folder" && read_box "Journal Partly Loaded" || return 1
    [[ "$box_text" == *"No copy"* ]] || fail "box at start: '$box_text'" || return 1
    rm -f "$folder/filler"
    add_unsaved_row
    click_quit && expect_exit 0 20 || return 1
    kept=$(cd "$folder" && ls pw.original-*.dat 2>/dev/null)
    same_bytes "$folder/$kept" "${twoRows}Note\r\n" && same_bytes "$folder/pw.dat" "$unsavedJournal" &&
        only_files "$folder" pw.dat "$kept"
}

# Ctrl+F, a word of one entry's text in other letter case, Return, Escape: the entry found is
# the chosen one and in the form, so Update with a new title changes that entry and no other.
test_find_then_update_changes_the_found_entry() {
    local folder
    folder=$(new_folder)
    printf "$threeRows" >"$folder/pw.dat"
    start_app "$folder" || return 1
    key ctrl+f
    wait_window "$app" '^Find$' 10 >/dev/null || fail "the Find window did not open" || return 1
    type_text "THIRD"
    key Return
    key Escape
    wait_gone "$app" '^Find$' 10 || fail "the Find window did not close" || return 1
    click_title
    replace_text "Found"
    click_update
    click_quit
    expect_exit 0 20 || return 1
    same_bytes "$folder/pw.dat" 'CREATOR=PENWICK 1.0\r\nDATE=2024-05-01\r\nTITLE=Alpha\r\nENTRY=first\r\n\r\nDATE=2024-05-03\r\nTITLE=Found\r\nENTRY=third\r\n\r\nDATE=2024-05-02\r\nTITLE=Bravo\r\nENTRY=second\r\n'
}

# Report leaves the form alone: Update after it changes the entry clicked, Add adds the draft.
# With no xdg-open on the PATH, the report's Yes and Help say so in a box naming the file.
test_report_keeps_the_form() {
    local folder
    folder=$(new_folder)
    printf "$twoRows" >"$folder/pw.dat"
    start_app "$folder" env PATH="$folder" || return 1
    click_row 1
    click_title
    replace_text "Draft"
    click_report
    answer_box alt+n || return 1
    click_update
    click_title
    replace_text "Second draft"
    click_report
    answer_box alt+y || return 1
    read_box "No Program Found" || return 1
    [ "$box_text" = "$folder/Report.htm" ] || fail "the box for the report: '$box_text'" || return 1
    click_add
    click_at 285 151 # Help
    read_box "No Program Found" || fail "no box for Help: $failure" || return 1
    click_quit
    expect_exit 0 20 || return 1
    same_bytes "$folder/pw.dat" 'CREATOR=PENWICK 1.0\r\nDATE=2024-05-01\r\nTITLE=Older\r\nENTRY=first<br>second\r\n\r\nDATE=2024-05-02\r\nTITLE=Draft\r\nENTRY=text\r\n\r\nDATE=2024-05-02\r\nTITLE=Second draft\r\nENTRY=text\r\n'
}

# A report that fills the disk (a small tmpfs) says so and leaves the previous report as it
# was, with no partial file beside it.
test_report_on_a_full_disk() {
    local folder
    folder=$(new_folder)
    [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=256k tmpfs "$folder" 2>/dev/null ||
        { failure="no tmpfs can be mounted"; return 77; }
    mounts+=("$folder")
    printf "$twoRows" >"$folder/pw.dat"
    printf 'previous report' >"$folder/Report.htm"
    start_app "$folder" || return 1
    head -c 1M /dev/zero >"$folder/filler" 2>/dev/null
    click_report
    read_box "Error Log" || return 1
    same_bytes "$folder/Report.htm" 'previous report' || return 1
    only_files "$folder" pw.dat Report.htm filler Header.htm ReportLine.htm Footer.htm
}

# In a folder all may write to (sticky, like /tmp), a Report.htm that daemon linked to a file of
# nobody's is not followed when nobody makes the report: a box says so and the file stays.
test_report_through_a_link_of_another_user() {
    local folder
    [ "$(id -u)" = 0 ] || { failure="acting as two users needs root"; return 77; }
    folder=$(new_folder)
    chmod 1777 "$folder"
    chmod o+x "$work"
    printf 'mine' >"$folder/mine.htm"
    chown 65534:65534 "$folder/mine.htm"
    ln -s mine.htm "$folder/Report.htm"
    chown -h 1:1 "$folder/Report.htm"
    start_app "$folder" "${as_nobody[@]}" || return 1
    click_report
    read_box "Error Log" || return 1
    same_bytes "$folder/mine.htm" 'mine'
}

# --- running them --------------------------------------------------------------------------

run() {
    [ -n "${E2E_ONLY:-}" ] && [ "$E2E_ONLY" != "$1" ] && return
    current=$1
    failure=""
    : >"$work/app.log"
    local started_at=$SECONDS
    "$1"
    local status=$?
    # A picture of the screen at a failure, where E2E_SHOTS names a folder for them.
    if [ $status -ne 0 ] && [ -n "${E2E_SHOTS:-}" ]; then
        import -window root "$E2E_SHOTS/$1.png" 2>/dev/null
    fi
    # Whatever the outcome, no window of this test stays behind.
    [ -n "$app" ] && kill -KILL "$app" 2>/dev/null && wait "$app" 2>/dev/null
    app=""
    if [ $status -eq 77 ]; then
        skipped=$((skipped + 1))
        echo "SKIP $1: $failure"
    elif [ $status -eq 0 ]; then
        passed=$((passed + 1))
        echo "PASS $1 ($((SECONDS - started_at)) s)"
    else
        failed=$((failed + 1))
        echo "FAIL $1: ${failure:-status $status}"
        sed 's/^/    | /' "$work/app.log" | tail -n 40
    fi
}

run test_first_entry_with_date_dialog
run test_restart_finds_the_rows
run test_report_with_templates
run test_report_with_the_installed_templates
run test_escape_saves
run test_close_box_saves
run test_stop_signals_save
run test_stop_signal_with_a_box_open
run test_report_with_a_fifo_header
run test_report_that_cannot_be_written
run test_second_instance_refused
run test_tab_through_then_remove_and_update
run test_undo_of_a_remove_and_the_version_kept
run test_sort_then_update_changes_the_clicked_entry
run test_add_then_kill_keeps_the_row
run test_x_server_gone_keeps_the_row
run test_outside_change_is_kept_and_merged
run test_unreadable_journal_is_announced
run test_read_only_folder_saves_in_place
run test_cr_only_journal_keeps_its_original
run test_stop_signal_after_a_failed_save
run test_second_start_refused_without_read_permission_and_through_a_later_hard_link
run test_unwritable_folder_is_said_at_start
run test_sync_tool_keeps_both_versions
run test_sync_conflict_is_merged
run test_long_entry_opens_and_survives_a_save
run test_read_only_journal_is_left_alone
run test_outside_edit_with_its_time_put_back_is_kept
run test_original_is_copied_once_room_is_freed
run test_find_then_update_changes_the_found_entry
run test_report_keeps_the_form
run test_report_on_a_full_disk
run test_report_through_a_link_of_another_user

echo "e2e: $passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ]
