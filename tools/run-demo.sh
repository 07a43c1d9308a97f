#!/usr/bin/env bash
# `make run`: starts Tavomi from the build folder with a demo data folder, and with the
# virtual card reader when this machine has no smart-card service of its own.
# usage: tools/run-demo.sh BUILD_DIR
#        tools/run-demo.sh --check-display   (only the display check, before make run builds)
set -euo pipefail

check_display() {
    if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
        echo "run-demo: no display (DISPLAY and WAYLAND_DISPLAY are not set); to run it on a virtual display: xvfb-run -a make run" >&2
        exit 1
    fi
}

[[ $# -eq 1 ]] || { echo "usage: $0 BUILD_DIR | --check-display" >&2; exit 2; }
if [[ "$1" == --check-display ]]; then
    check_display
    exit 0
fi
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
program="$build/tavomi"
data="$build/attendance_manegement"
rig="$repo/tools/pcsc-rig.sh"

[[ -x "$program" ]] || { echo "run-demo: $program is missing; build it first (make run does)" >&2; exit 1; }
check_display

# The demo data folder, made once; a folder that is already there is never touched.
folder_state=$(bash "$repo/tools/demo-data-folder.sh" "$data")
if [[ "$folder_state" == made ]]; then
    echo "run-demo: made a demo data folder: $data"
else
    echo "run-demo: using the data folder $data"
fi

# A smart-card service chosen by hand (PCSCLITE_CSOCK_NAME) is used as it is.
if [[ -n "${PCSCLITE_CSOCK_NAME:-}" ]]; then
    echo "run-demo: using the smart-card service at $PCSCLITE_CSOCK_NAME"
    exec "$program"
fi

# The machine's own service is used when it has a reader. Installing pcscd (make deps)
# leaves its socket waiting on most desktops, so a service alone does not mean a reader:
# without one the demo would have no card to lay. The service may need a moment to find
# a USB reader after it is started by the socket.
poll="$build/tools/tavomi-poll"
if [[ -S /run/pcscd/pcscd.comm ]]; then
    if [[ ! -x "$poll" ]] || "$poll" --wait-readers 1 --timeout 1500 | grep -q '^reader: '; then
        echo "run-demo: using this machine's smart-card service and its readers"
        exec "$program"
    fi
    echo "run-demo: this machine's smart-card service has no reader attached; using two virtual readers instead"
fi

# The private rig with two virtual readers runs for as long as the program does. A rig
# that already runs for this build (a Tavomi started before, or the rig started by hand)
# is used as it is: restarting it would take the readers from under the running copy.
rig_socket=$("$rig" --build "$build" env 2>/dev/null |
    sed -n "s/^export PCSCLITE_CSOCK_NAME='\(.*\)'\$/\1/p") || true
if [[ -n "$rig_socket" && -x "$poll" ]] &&
    PCSCLITE_CSOCK_NAME=$rig_socket "$poll" | grep -q '^reader: '; then
    echo "run-demo: the virtual readers run already; using them"
else
    # The rig has said why in one line; it never opens the readers to the network unasked.
    "$rig" --build "$build" start >/dev/null || exit 1
    trap '"$rig" --build "$build" stop >/dev/null' EXIT
fi
rel_rig=$(realpath --relative-to="$PWD" "$rig")
rel_build=$(realpath --relative-to="$PWD" "$build")
echo "Lay a demo card (山田　花子; an unknown card: FEDCBA9876543210):  $rel_rig --build $rel_build card 0123456789ABCDEF"
echo "Take it away again:  $rel_rig --build $rel_build remove"
"$rig" --build "$build" run "$program"
