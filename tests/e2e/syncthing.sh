# SPDX-License-Identifier: GPL-3.0-or-later
# Two Syncthing instances on the loopback address that share one folder, for the end-to-end
# tests of what a sync tool does to the journal. Sourced by run-e2e.sh, whose work folder
# ($work) holds each instance's home (keys, configuration, database, log) and whose cleanup
# ends every process listed in its `started` array.
#
#   st_start "$a" "$b" && st_wait_in_sync || return 1
#   st_cut; (change both folders); st_restore && st_wait_conflict_copy && st_wait_in_sync
#
# Each function returns non-zero on failure and is called in the test's own shell (not in a
# subshell), as it keeps the instances' process ids and addresses. Nothing leaves the machine:
# no relay, no discovery, no NAT, no upgrade, no usage or crash report, no browser. Each
# instance listens on a port the system picks (port 0, so that runs side by side never
# collide) and the other is told that port once it is known. Every wait is bounded; a failure
# sets `failure` and shows the tail of both logs. The folders hold Syncthing's marker, .stfolder.

st_folder=lumenlog
declare -A st_id st_home st_log st_api_address st_pid st_dir
st_key=""

# st_available: syncthing and the tools the harness drives it with are installed.
st_available() {
    command -v syncthing >/dev/null && command -v curl >/dev/null && command -v jq >/dev/null
}

# st_fail MESSAGE: fails the current test, showing what both instances logged last.
st_fail() {
    local side
    for side in a b; do
        [ -f "${st_log[$side]:-}" ] || continue
        echo "    syncthing $side, last lines of ${st_log[$side]}:"
        tail -n 15 "${st_log[$side]}" | sed 's/^/    | /'
    done
    fail "$*"
}

# st_api SIDE METHOD PATH [JSON]: calls the REST interface of instance SIDE (a or b).
st_api() {
    local body=()
    [ $# -lt 4 ] || body=(-H 'Content-Type: application/json' --data "$4")
    curl -sS --fail --max-time 10 -H "X-API-Key: $st_key" -X "$2" "${body[@]}" \
        "http://${st_api_address[$1]}/rest/$3"
}

# st_until SECONDS COMMAND...: runs COMMAND every 0.2 s until it succeeds, for SECONDS at most.
st_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" 2>/dev/null; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}

st_other() { [ "$1" = a ] && echo b || echo a; }

# st_configure SIDE FOLDER: the configuration of instance SIDE, which shares FOLDER with the
# other instance. The other's address comes later, once its port is known. What a folder leaves
# out is zero, not the usual default: without maxConflicts a conflict overwrites silently.
st_configure() {
    local other
    other=$(st_other "$1")
    cat >"${st_home[$1]}/config.xml" <<CONFIG
<configuration version="36">
    <folder id="$st_folder" label="$st_folder" path="$2" type="sendreceive"
            rescanIntervalS="10" fsWatcherEnabled="true" fsWatcherDelayS="1" autoNormalize="true">
        <device id="${st_id[a]}"></device>
        <device id="${st_id[b]}"></device>
        <maxConflicts>10</maxConflicts>
    </folder>
    <device id="${st_id[$1]}" name="$1"><address>dynamic</address></device>
    <device id="${st_id[$other]}" name="$other"><address>dynamic</address></device>
    <gui enabled="true" tls="false">
        <address>127.0.0.1:0</address>
        <apikey>$st_key</apikey>
    </gui>
    <options>
        <listenAddress>tcp://127.0.0.1:0</listenAddress>
        <globalAnnounceEnabled>false</globalAnnounceEnabled>
        <localAnnounceEnabled>false</localAnnounceEnabled>
        <relaysEnabled>false</relaysEnabled>
        <natEnabled>false</natEnabled>
        <stunKeepaliveStartS>0</stunKeepaliveStartS>
        <startBrowser>false</startBrowser>
        <urAccepted>-1</urAccepted>
        <autoUpgradeIntervalH>0</autoUpgradeIntervalH>
        <crashReportingEnabled>false</crashReportingEnabled>
        <reconnectionIntervalS>5</reconnectionIntervalS>
        <setLowPriority>false</setLowPriority>
    </options>
</configuration>
CONFIG
}

# st_launch SIDE: starts instance SIDE, logging to a new file. Syncthing runs itself under a
# monitor process that restarts it; STMONITORED tells it that it is the monitored process, so
# that it runs alone and the process id started here is the one that syncs (and the one a
# cleanup ends).
st_launch() {
    st_log[$1]=$(mktemp -p "${st_home[$1]}" log.XXXXXX)
    HOME=${st_home[$1]} STMONITORED=yes STNOUPGRADE=1 syncthing serve --home="${st_home[$1]}" \
        --no-browser --no-restart --no-upgrade --skip-port-probing --logflags=7 \
        >"${st_log[$1]}" 2>&1 &
    st_pid[$1]=$!
    started+=("${st_pid[$1]}")
}

# st_await SIDE: waits until instance SIDE's REST interface answers; its address is read from
# the log, where the instance writes the port it was given.
st_await() {
    st_until 30 grep -q 'GUI and API listening on' "${st_log[$1]}" ||
        st_fail "syncthing $1 did not open its REST interface" || return 1
    st_api_address[$1]=$(sed -n 's/.*GUI and API listening on \([0-9.:]*\).*/\1/p' \
                             "${st_log[$1]}" | head -n 1)
    st_until 30 st_api "$1" GET system/ping >/dev/null ||
        st_fail "syncthing $1 does not answer on ${st_api_address[$1]}"
}

# st_introduce SIDE: tells the other instance the address SIDE accepts connections on. A new
# address makes it dial at once.
st_introduce() {
    local address other
    other=$(st_other "$1")
    address=$(st_until 10 st_listen_address "$1") ||
        st_fail "syncthing $1 has no listening address" || return 1
    st_api "$other" PATCH "config/devices/${st_id[$1]}" "{\"addresses\": [\"$address\"]}" \
        >/dev/null || st_fail "could not give syncthing $other the address $address"
}

# st_listen_address SIDE: the address instance SIDE accepts the other's connections on.
st_listen_address() {
    st_api "$1" GET system/status |
        jq -er '.connectionServiceStatus[].lanAddresses[] | select(startswith("tcp://"))'
}

# st_start FOLDER_A FOLDER_B: starts instance a on FOLDER_A and b on FOLDER_B, both sharing
# one folder, and waits until they are connected. Each start makes new homes and keys.
st_start() {
    local side
    st_stop # a pair that a failed test left running
    st_key=$(head -c 18 /dev/urandom | base64 | tr '+/' '-_')
    for side in a b; do
        st_home[$side]=$(mktemp -d -p "$work" "syncthing-$side.XXXXXX")
        st_id[$side]=$(HOME=${st_home[$side]} syncthing generate --home="${st_home[$side]}" \
                           --no-default-folder 2>&1 | sed -n 's/.*Device ID: *//p')
        [ -n "${st_id[$side]}" ] || st_fail "syncthing $side made no device id" || return 1
    done
    st_dir[a]=$1
    st_dir[b]=$2
    st_configure a "$1"
    st_configure b "$2"
    st_launch a
    st_launch b
    st_await a && st_await b && st_introduce a && st_introduce b && st_wait_connected
}

# st_connected SIDE: instance SIDE has a connection to the other.
st_connected() {
    st_api "$1" GET system/connections |
        jq -e --arg other "${st_id[$(st_other "$1")]}" '.connections[$other].connected' >/dev/null
}

st_wait_connected() {
    st_until 30 st_connected a && st_until 30 st_connected b ||
        st_fail "the two syncthing instances did not connect within 30 s"
}

# st_scan SIDE: has instance SIDE scan its folder now; returns once the scan has ended.
st_scan() {
    st_api "$1" POST "db/scan?folder=$st_folder" >/dev/null
}

# st_side_in_sync SIDE: instance SIDE needs nothing, is idle, and knows the other instance to
# hold everything too.
st_side_in_sync() {
    local other
    other=$(st_other "$1")
    st_api "$1" GET "db/status?folder=$st_folder" |
        jq -e '.state == "idle" and .needTotalItems == 0 and .pullErrors == 0' >/dev/null &&
        st_api "$1" GET "db/completion?folder=$st_folder&device=${st_id[$other]}" |
        jq -e '.completion == 100 and .needItems == 0 and .needDeletes == 0' >/dev/null
}

# Both scan first: a change one side has just found makes that side see the other lacking it.
st_in_sync() { st_scan a && st_scan b && st_side_in_sync a && st_side_in_sync b; }

# st_wait_in_sync [SECONDS]: waits until both folders hold the same files (default 30 s).
st_wait_in_sync() {
    st_until "${1:-30}" st_in_sync ||
        st_fail "the two folders were not in sync within ${1:-30} s"
}

# st_has_conflict_copy: one of the folders holds a conflict copy Syncthing made of pw.dat.
st_has_conflict_copy() {
    compgen -G "${st_dir[a]}/pw.sync-conflict-*.dat" >/dev/null ||
        compgen -G "${st_dir[b]}/pw.sync-conflict-*.dat" >/dev/null
}

st_wait_conflict_copy() {
    st_until "${1:-30}" st_has_conflict_copy ||
        st_fail "no conflict copy within ${1:-30} s: $(ls -A "${st_dir[a]}" "${st_dir[b]}")"
}

# st_cut: cuts the link, as when the second computer is off: instance b ends. Instance a goes on
# recording the changes in its folder; b finds those in its own when it starts again.
# (Pausing the device or the folder instead comes back at syncthing's next redial, which took
# up to 25 s in trials.)
st_cut() {
    st_end b
}

# st_restore: starts instance b again and waits until the two are connected. A folder is
# scanned before anything is pulled into it, so each side has recorded its own change before
# it takes the other's: a change on both sides becomes a conflict.
st_restore() {
    st_launch b
    st_await b && st_introduce b && st_wait_connected
}

# st_end SIDE: ends instance SIDE, asking first, and waits until it has gone.
st_end() {
    [ -n "${st_pid[$1]:-}" ] || return 0
    kill -TERM "${st_pid[$1]}" 2>/dev/null
    timeout 10 tail -s 0.1 --pid="${st_pid[$1]}" -f /dev/null ||
        kill -KILL "${st_pid[$1]}" 2>/dev/null
    wait "${st_pid[$1]}" 2>/dev/null
    st_pid[$1]=""
}

# st_stop: ends both instances, both asked at once.
st_stop() {
    local side
    for side in a b; do
        [ -z "${st_pid[$side]:-}" ] || kill -TERM "${st_pid[$side]}" 2>/dev/null
    done
    st_end a
    st_end b
}
