#!/usr/bin/env bash
# The PC/SC rig: a private pcscd with two virtual readers (vsmartcard's vpcd driver) and
# virtual FeliCa cards to lay on them, for the integration tests and for trying Tavomi
# without a card reader. It never uses the system's pcscd, its socket or /etc:
#  - pcscd runs in the foreground with its own reader configuration (pcscd -c) and its own
#    socket; clients find that socket through PCSCLITE_CSOCK_NAME (`env`, `run`).
#  - It runs pcscd and the cards in a private network namespace, so the readers' TCP ports
#    (vpcd listens on all interfaces) cannot be reached from the network, and in a private
#    mount namespace that gives pcscd its own /run and hides the USB reader drivers, so only
#    the two virtual readers appear. That needs root, or a user allowed unprivileged user
#    namespaces; where the namespace cannot be made, `start` stops and says why. Only when
#    asked for by name (--mode plain) does tavomi-pcscd-socket hand pcscd a socket of our
#    own, with the ports open to the network while the rig runs.
#
# usage: tools/pcsc-rig.sh [--build DIR] COMMAND [ARGS]
#   start [--mode netns|plain]       start (or restart) the rig; waits until pcscd answers
#   stop                             take the cards away, stop pcscd, remove temporary files
#   status                           what runs, and what a card poll sees
#   env                              print `export PCSCLITE_CSOCK_NAME=...` (for eval)
#   run COMMAND [ARG...]             run a program that talks to the rig's pcscd
#   card [--reader 0|1] [IDM] [--atr felica|other|short|HEX] [--get-data-status SW1SW2]
#                                    lay a card (default IDm 0123456789ABCDEF, reader 0)
#   remove [0|1|all]                 take the card(s) away (default: all)
#   service-stop | service-start     stop / start pcscd alone ("service not running")
#   service-freeze | service-thaw    freeze pcscd (SIGSTOP: it answers no call) / let it go on
# DIR is the build folder holding tools/tavomi-* (default: $TAVOMI_BUILD or ./build of
# the repository); the rig's state, logs and ctest's state file live in DIR/pcsc-rig/.
set -euo pipefail

PATH="$PATH:/usr/sbin:/sbin"
script=$(readlink -f "${BASH_SOURCE[0]}")
repo=$(dirname "$(dirname "$script")")
build="${TAVOMI_BUILD:-$repo/build}"
drivers_dir=/usr/lib/pcsc/drivers
vpcd_lib=$drivers_dir/serial/libifdvpcd.so
netns_port=35963

die() {
    echo "pcsc-rig: $*" >&2
    exit 1
}
note() { echo "pcsc-rig: $*" >&2; }

if [[ "${1:-}" == "--build" ]]; then
    [[ $# -ge 2 ]] || die "--build needs a folder"
    build=$2
    shift 2
fi
[[ $# -ge 1 ]] || die "usage: pcsc-rig.sh [--build DIR] start|stop|status|env|run|card|remove|service-stop|service-start|service-freeze|service-thaw"
command=$1
shift

build=$(readlink -f "$build" 2>/dev/null || echo "$build")
tools="$build/tools"
state_dir="$build/pcsc-rig"
state_file="$state_dir/rig.env"

# --- processes -------------------------------------------------------------------------

# Alive and not a zombie.
is_alive() {
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    stat=${stat##*) }
    [[ "${stat:0:1}" != Z && "${stat:0:1}" != X ]]
}

# Ends one process we started, by its PID, if it is still the program we started.
stop_pid() {
    local pid=$1 comm=$2 i
    [[ -n "$pid" ]] || return 0
    is_alive "$pid" || return 0
    [[ "$(cat "/proc/$pid/comm" 2>/dev/null)" == "$comm" ]] || return 0
    kill -TERM "$pid" 2>/dev/null || return 0
    for ((i = 0; i < 100; i++)); do
        is_alive "$pid" || return 0
        sleep 0.05
    done
    note "process $pid ($comm) ignored SIGTERM; killing it"
    kill -KILL "$pid" 2>/dev/null || true
}

# --- state -----------------------------------------------------------------------------

load_state() {
    [[ -r "$state_file" ]] || return 1
    # shellcheck disable=SC1090
    source "$state_file"
}

require_state() {
    load_state || die "no rig is running for $build (start it: $0 --build $build start)"
}

write_state() {
    local tmp="$state_file.tmp"
    {
        echo "# The running PC/SC rig, written by tools/pcsc-rig.sh; read by the tests."
        echo "TAVOMI_RIG_MODE='$TAVOMI_RIG_MODE'"
        echo "TAVOMI_RIG_RUNDIR='$TAVOMI_RIG_RUNDIR'"
        echo "PCSCLITE_CSOCK_NAME='$PCSCLITE_CSOCK_NAME'"
        echo "TAVOMI_RIG_PORT='$TAVOMI_RIG_PORT'"
        echo "TAVOMI_RIG_READER0='$TAVOMI_RIG_READER0'"
        echo "TAVOMI_RIG_READER1='$TAVOMI_RIG_READER1'"
        echo "TAVOMI_RIG_NETNS_PID='$TAVOMI_RIG_NETNS_PID'"
        echo "TAVOMI_RIG_PCSCD_PID='$TAVOMI_RIG_PCSCD_PID'"
        echo "TAVOMI_RIG_CARD_TOOL='$tools/tavomi-virtual-card'"
        echo "TAVOMI_RIG_SCRIPT='$script'"
        echo "TAVOMI_RIG_BUILD='$build'"
    } >"$tmp"
    mv -f "$tmp" "$state_file"
}

# --- pcscd -----------------------------------------------------------------------------

pcscd_bin() {
    command -v pcscd || die "pcscd is not installed (run: make deps)"
}

# Starts pcscd in the rig's namespaces (or with its handed-over socket) and waits until it
# lists both virtual readers.
launch_pcscd() {
    local pcscd
    pcscd=$(pcscd_bin)
    local conf="$TAVOMI_RIG_RUNDIR/conf"
    echo "--- pcscd started $(date '+%F %T')" >>"$state_dir/pcscd.log"
    if [[ "$TAVOMI_RIG_MODE" == netns ]]; then
        setsid nsenter -t "$TAVOMI_RIG_NETNS_PID" "${nsenter_args[@]}" -- \
            "$pcscd" -f -c "$conf" </dev/null >>"$state_dir/pcscd.log" 2>&1 &
    else
        setsid "$tools/tavomi-pcscd-socket" "$PCSCLITE_CSOCK_NAME" \
            "$pcscd" -f -c "$conf" </dev/null >>"$state_dir/pcscd.log" 2>&1 &
    fi
    TAVOMI_RIG_PCSCD_PID=$!

    # Ready when a card poll lists both readers; give up at once if pcscd ends.
    local out="$state_dir/poll.out" i why=
    for ((i = 0; ; i++)); do
        if PCSCLITE_CSOCK_NAME="$PCSCLITE_CSOCK_NAME" "$tools/tavomi-poll" >"$out" 2>&1 &&
            [[ $(grep -c '^reader: ' "$out") -ge 2 ]]; then
            break
        fi
        if ! is_alive "$TAVOMI_RIG_PCSCD_PID"; then
            why="pcscd ended at once"
            break
        fi
        if ((i >= 200)); then
            why="pcscd did not list the two virtual readers within 10 s"
            break
        fi
        sleep 0.05
    done
    if [[ -n "$why" ]]; then
        stop_pid "$TAVOMI_RIG_PCSCD_PID" pcscd
        note "$why. Last lines of $state_dir/pcscd.log:"
        tail -n 15 "$state_dir/pcscd.log" >&2
        note "card poll saw:"
        cat "$out" >&2
        [[ "$why" == "pcscd ended at once" ]] && return 2
        return 1
    fi
    local readers
    mapfile -t readers < <(sed -n 's/^reader: //p' "$out")
    TAVOMI_RIG_READER0=${readers[0]}
    TAVOMI_RIG_READER1=${readers[1]}
}

namespace_args() {
    if [[ $(id -u) -eq 0 ]]; then
        unshare_args=(-m -n)
        nsenter_args=(-m -n)
    else
        unshare_args=(-U -r -m -n)
        nsenter_args=(-U -m -n --preserve-credentials)
    fi
}

# The namespace holder: private network (loopback only) and mounts; pcscd and the cards
# join it. Its /run is the rig's own folder, and the USB drivers are hidden behind an
# empty folder (the vpcd driver stays reachable through a bind mount into the rig folder).
start_holder() {
    local rundir=$TAVOMI_RIG_RUNDIR
    mkdir -p "$rundir/run"
    : >"$rundir/libifdvpcd.so"
    # shellcheck disable=SC2016
    local setup='set -e
        ip link set lo up
        mount --bind "$1/run" /run
        mount --bind "$2" "$1/libifdvpcd.so"
        mount -t tmpfs -o mode=0755,size=64k tavomi-rig "$3"
        : > "$1/holder.ready"
        exec sleep infinity'
    setsid unshare "${unshare_args[@]}" sh -c "$setup" sh "$rundir" "$(readlink -f "$vpcd_lib")" "$drivers_dir" \
        </dev/null >"$state_dir/holder.log" 2>&1 &
    TAVOMI_RIG_NETNS_PID=$!
    local i
    for ((i = 0; i < 100; i++)); do
        [[ -e "$rundir/holder.ready" ]] && return 0
        is_alive "$TAVOMI_RIG_NETNS_PID" || break
        sleep 0.05
    done
    stop_pid "$TAVOMI_RIG_NETNS_PID" sleep
    TAVOMI_RIG_NETNS_PID=
    return 1
}

port_in_use() {
    [[ -n "$(ss -Hltn "( sport = :$1 )" 2>/dev/null)" ]]
}

write_reader_conf() {
    local lib=$1 port=$2
    mkdir -p "$TAVOMI_RIG_RUNDIR/conf"
    cat >"$TAVOMI_RIG_RUNDIR/conf/vpcd" <<EOF
FRIENDLYNAME "Virtual PCD"
DEVICENAME   /dev/null:$port
LIBPATH      $lib
CHANNELID    $port
EOF
}

# --- commands --------------------------------------------------------------------------

cmd_stop() {
    load_state || {
        echo "pcsc-rig: not running"
        return 0
    }
    local f
    for f in "$state_dir"/card-*.pid; do
        [[ -e "$f" ]] || continue
        stop_pid "$(cat "$f")" tavomi-virtual-
        rm -f "$f"
    done
    stop_pid "$TAVOMI_RIG_PCSCD_PID" pcscd
    stop_pid "$TAVOMI_RIG_NETNS_PID" sleep
    case "$TAVOMI_RIG_RUNDIR" in
    /tmp/tavomi-rig.* | "${TMPDIR:-/tmp}"/tavomi-rig.*) rm -rf "$TAVOMI_RIG_RUNDIR" ;;
    esac
    rm -f "$state_file"
    echo "pcsc-rig: stopped"
}

cmd_start() {
    local mode=netns
    while [[ $# -gt 0 ]]; do
        case "$1" in
        --mode)
            mode=${2:-}
            shift 2 || die "--mode needs netns or plain"
            ;;
        *) die "start: unknown argument $1" ;;
        esac
    done
    [[ "$mode" == netns || "$mode" == plain ]] || die "--mode must be netns or plain"

    local t
    for t in tavomi-virtual-card tavomi-poll tavomi-pcscd-socket; do
        [[ -x "$tools/$t" ]] || die "$tools/$t is missing (build the tools first: cmake --build $build)"
    done
    [[ -e "$vpcd_lib" ]] || die "$vpcd_lib is missing (the package vsmartcard-vpcd; run: make deps)"
    pcscd_bin >/dev/null

    if [[ -e /etc/reader.conf.d/vpcd ]]; then
        note "warning: /etc/reader.conf.d/vpcd makes the system's pcscd open a virtual reader" \
            "on all network interfaces; the rig does not need it (tools/install-deps.sh removes it)"
    fi
    if load_state; then
        note "a rig is running for $build; restarting it"
        cmd_stop >/dev/null
    fi
    mkdir -p "$state_dir"
    rm -f "$state_dir"/card-*.pid
    : >"$state_dir/pcscd.log"

    # A short path: the socket's path must fit a sockaddr_un.
    TAVOMI_RIG_RUNDIR=$(mktemp -d "${TMPDIR:-/tmp}/tavomi-rig.XXXXXX")
    TAVOMI_RIG_NETNS_PID=
    TAVOMI_RIG_PCSCD_PID=
    TAVOMI_RIG_READER0=
    TAVOMI_RIG_READER1=
    namespace_args

    # Never a silent fall-back to open ports: without the namespace the rig does not start.
    TAVOMI_RIG_MODE=$mode
    if [[ "$mode" == netns ]] && ! start_holder; then
        local why
        why=$(tail -n 1 "$state_dir/holder.log" 2>/dev/null || true)
        rm -rf "$TAVOMI_RIG_RUNDIR"
        die "cannot make a private network namespace (unshare ${unshare_args[*]}${why:+: $why})," \
            "so the virtual readers stay off; to open their ports to the network instead, ask" \
            "for it: tools/pcsc-rig.sh start --mode plain"
    fi
    if [[ "$mode" == plain ]]; then
        note "plain mode: the virtual readers' ports are open on all network interfaces while the rig runs"
    fi

    if [[ "$TAVOMI_RIG_MODE" == netns ]]; then
        TAVOMI_RIG_PORT=$netns_port
        PCSCLITE_CSOCK_NAME="$TAVOMI_RIG_RUNDIR/run/pcscd/pcscd.comm"
        write_reader_conf "$TAVOMI_RIG_RUNDIR/libifdvpcd.so" "$TAVOMI_RIG_PORT"
        launch_pcscd || {
            cmd_stop_partial
            die "the private pcscd did not start (see above)"
        }
    else
        # pcscd still writes its PID file under /run/pcscd: never clobber a running daemon's.
        if [[ -r /run/pcscd/pcscd.pid ]] && is_alive "$(cat /run/pcscd/pcscd.pid)"; then
            rm -rf "$TAVOMI_RIG_RUNDIR"
            die "a system pcscd runs, and plain mode would overwrite its /run/pcscd/pcscd.pid." \
                "Run as root or allow unprivileged user namespaces to get the private namespace."
        fi
        if [[ ! -w /run/pcscd && ! -w /run ]]; then
            rm -rf "$TAVOMI_RIG_RUNDIR"
            die "plain mode needs to write /run/pcscd (pcscd keeps its PID file there), which this" \
                "user cannot. Run as root, or allow unprivileged user namespaces" \
                "(kernel.unprivileged_userns_clone=1; on Ubuntu also" \
                "kernel.apparmor_restrict_unprivileged_userns=0) to get the private namespace."
        fi
        PCSCLITE_CSOCK_NAME="$TAVOMI_RIG_RUNDIR/pcscd.comm"
        local attempt started=0
        for attempt in 1 2 3 4 5; do
            TAVOMI_RIG_PORT=$((20000 + 2 * (RANDOM % 15000)))
            port_in_use "$TAVOMI_RIG_PORT" && continue
            port_in_use $((TAVOMI_RIG_PORT + 1)) && continue
            write_reader_conf "$(readlink -f "$vpcd_lib")" "$TAVOMI_RIG_PORT"
            local rc=0
            launch_pcscd || rc=$?
            if [[ $rc -eq 0 ]]; then
                started=1
                break
            fi
            [[ $rc -eq 2 ]] && break
            note "attempt $attempt failed; trying other ports"
        done
        if [[ $started -ne 1 ]]; then
            cmd_stop_partial
            die "the private pcscd did not start (see above)"
        fi
    fi
    write_state
    echo "pcsc-rig: running ($TAVOMI_RIG_MODE mode): readers \"$TAVOMI_RIG_READER0\" and \"$TAVOMI_RIG_READER1\""
    echo "pcsc-rig: PCSCLITE_CSOCK_NAME=$PCSCLITE_CSOCK_NAME"
}

# Cleans up after a start that failed half-way (no state file was written yet).
cmd_stop_partial() {
    stop_pid "${TAVOMI_RIG_PCSCD_PID:-}" pcscd
    stop_pid "${TAVOMI_RIG_NETNS_PID:-}" sleep
    rm -rf "$TAVOMI_RIG_RUNDIR"
}

cmd_status() {
    if ! load_state; then
        echo "pcsc-rig: not running (for $build)"
        return 3
    fi
    local pcscd_state=stopped
    is_alive "$TAVOMI_RIG_PCSCD_PID" && pcscd_state="running, pid $TAVOMI_RIG_PCSCD_PID"
    echo "mode:    $TAVOMI_RIG_MODE${TAVOMI_RIG_NETNS_PID:+ (namespace holder pid $TAVOMI_RIG_NETNS_PID)}"
    echo "pcscd:   $pcscd_state"
    echo "socket:  $PCSCLITE_CSOCK_NAME"
    echo "readers: 0 = \"$TAVOMI_RIG_READER0\" (port $TAVOMI_RIG_PORT), 1 = \"$TAVOMI_RIG_READER1\" (port $((TAVOMI_RIG_PORT + 1)))"
    local n
    for n in 0 1; do
        local f="$state_dir/card-$n.pid"
        if [[ -e "$f" ]] && is_alive "$(cat "$f")"; then
            echo "card on reader $n: $(head -n 1 "$state_dir/card-$n.log")"
        fi
    done
    echo "--- one card poll:"
    PCSCLITE_CSOCK_NAME="$PCSCLITE_CSOCK_NAME" "$tools/tavomi-poll" || true
}

cmd_remove() {
    require_state
    local which=${1:-all} n
    case "$which" in
    all) which="0 1" ;;
    0 | 1) ;;
    *) die "remove: reader must be 0, 1 or all" ;;
    esac
    for n in $which; do
        local f="$state_dir/card-$n.pid"
        if [[ -e "$f" ]]; then
            stop_pid "$(cat "$f")" tavomi-virtual-
            rm -f "$f"
            echo "pcsc-rig: card taken away from reader $n"
        fi
    done
}

cmd_card() {
    require_state
    local reader=0 args=()
    while [[ $# -gt 0 ]]; do
        case "$1" in
        --reader)
            reader=${2:-}
            shift 2 || die "--reader needs 0 or 1"
            ;;
        --atr | --get-data-status | --idm)
            [[ $# -ge 2 ]] || die "$1 needs a value"
            args+=("$1" "$2")
            shift 2
            ;;
        -*) die "card: unknown option $1" ;;
        *)
            args+=(--idm "$1")
            shift
            ;;
        esac
    done
    [[ "$reader" == 0 || "$reader" == 1 ]] || die "--reader must be 0 or 1"
    cmd_remove "$reader" >/dev/null

    local log="$state_dir/card-$reader.log"
    local netns=()
    [[ -n "$TAVOMI_RIG_NETNS_PID" ]] && netns=(--netns-pid "$TAVOMI_RIG_NETNS_PID")
    setsid "$TAVOMI_RIG_CARD_TOOL" --port $((TAVOMI_RIG_PORT + reader)) "${netns[@]}" "${args[@]}" \
        </dev/null >"$log" 2>&1 &
    local pid=$! i
    echo "$pid" >"$state_dir/card-$reader.pid"
    for ((i = 0; i < 100; i++)); do
        if grep -q '^card .* laid on' "$log" 2>/dev/null; then
            echo "pcsc-rig: $(head -n 1 "$log") = reader $reader \"$(reader_name "$reader")\""
            return 0
        fi
        is_alive "$pid" || break
        sleep 0.05
    done
    stop_pid "$pid" tavomi-virtual-
    rm -f "$state_dir/card-$reader.pid"
    cat "$log" >&2
    die "the virtual card did not reach reader $reader"
}

reader_name() {
    if [[ $1 == 0 ]]; then echo "$TAVOMI_RIG_READER0"; else echo "$TAVOMI_RIG_READER1"; fi
}

case "$command" in
start) cmd_start "$@" ;;
stop) cmd_stop ;;
status) cmd_status ;;
env)
    require_state
    echo "export PCSCLITE_CSOCK_NAME='$PCSCLITE_CSOCK_NAME'"
    ;;
run)
    require_state
    [[ $# -ge 1 ]] || die "run: which program?"
    export PCSCLITE_CSOCK_NAME
    exec "$@"
    ;;
card) cmd_card "$@" ;;
remove) cmd_remove "$@" ;;
service-stop)
    require_state
    stop_pid "$TAVOMI_RIG_PCSCD_PID" pcscd
    echo "pcsc-rig: pcscd stopped (the readers' service is not running)"
    ;;
service-freeze)
    require_state
    kill -STOP "$TAVOMI_RIG_PCSCD_PID"
    echo "pcsc-rig: pcscd frozen (it answers no call until service-thaw)"
    ;;
service-thaw)
    require_state
    kill -CONT "$TAVOMI_RIG_PCSCD_PID"
    echo "pcsc-rig: pcscd goes on"
    ;;
service-start)
    require_state
    namespace_args
    if is_alive "$TAVOMI_RIG_PCSCD_PID"; then
        echo "pcsc-rig: pcscd is already running"
        exit 0
    fi
    # The handed-over socket file goes with the old daemon's descriptor; make it anew.
    [[ "$TAVOMI_RIG_MODE" == plain ]] && rm -f "$PCSCLITE_CSOCK_NAME"
    launch_pcscd || die "pcscd did not start again (see above)"
    write_state
    echo "pcsc-rig: pcscd running again"
    ;;
*) die "unknown command $command" ;;
esac
