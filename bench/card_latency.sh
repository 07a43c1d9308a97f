#!/usr/bin/env bash
# From a laid card to the punch screen, on virtual readers, for the program on its polling
# timer alone ("timer-only", TAVOMI_BENCH_TIMER_ONLY=1) and waking on card events
# ("waking"), measured in one run. For each tap:
#   CARD   when a bare SCardGetStatusChange waiter in another process sees the card
#   PUNCH  when the program shows the punch screen
# and it reports per mode the median and maximum of PUNCH - CARD and the median of
# CARD - the lay command (what pcscd itself takes). Then the idle CPU of each program with
# two readers and no card, from /proc/PID/stat, as % of one core.
#
# Each mode has its own copy of the program (the data folder lies beside it), its own
# single-instance folder and its own PC/SC rig with two readers: a card laid for one mode
# is never seen by the other, so both run side by side and the taps alternate between
# them, and a change in the machine's load hits both alike.
#
# usage: bench/card_latency.sh [--taps N] [--idle-seconds S] [BUILD]
#   --taps N          taps per mode (default 24, at least 20)
#   --idle-seconds S  length of the idle CPU measurement (default 60)
set -euo pipefail

taps=24
idle_seconds=60
while [[ $# -gt 0 ]]; do
    case "$1" in
    --taps)
        taps=${2:?--taps needs a number}
        shift 2
        ;;
    --idle-seconds)
        idle_seconds=${2:?--idle-seconds needs a number}
        shift 2
        ;;
    -*)
        echo "usage: $0 [--taps N] [--idle-seconds S] [BUILD]" >&2
        exit 2
        ;;
    *) break ;;
    esac
done
((taps >= 20)) || { echo "card-latency: --taps must be at least 20" >&2; exit 2; }
((idle_seconds >= 1)) || { echo "card-latency: --idle-seconds must be at least 1" >&2; exit 2; }

repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)
rig="$repo/tools/pcsc-rig.sh"
waiter="$build/bench/tavomi-bench-card-waiter"
probe="$build/bench/tavomi-bench-latency-probe"
for program in "$waiter" "$probe" "$build/tools/tavomi-virtual-card"; do
    [[ -x "$program" ]] || { echo "card-latency: $program is missing (build the bench targets)" >&2; exit 1; }
done

modes=(timer-only waking)
card_id=0123456789ABCDEF # 山田　花子 in the demo cardholder list
work="$build/bench/card-latency"
declare -A waiter_pid probe_pid clock_offset

die() {
    echo "card-latency: $*" >&2
    exit 1
}

# Ends what this script started, each by its PID, and the rigs.
cleanup() {
    local mode pid
    for mode in "${modes[@]}"; do
        for pid in "${probe_pid[$mode]:-}" "${waiter_pid[$mode]:-}"; do
            [[ -n "$pid" ]] && kill "$pid" 2>/dev/null || true
        done
        [[ -d "$work/$mode/rig" ]] && bash "$rig" --build "$work/$mode/rig" stop >/dev/null 2>&1 || true
    done
}
trap cleanup EXIT
trap 'exit 130' INT TERM

monotonic_ns_from_realtime() { # CLOCK_REALTIME ns -> CLOCK_MONOTONIC ns, through the waiter's pair
    echo $(($1 - ${clock_offset[$2]}))
}
now_realtime_ns() {
    local us=${EPOCHREALTIME//[!0-9]/}
    echo $((10#$us * 1000))
}

count_of() { # WORD FILE (the file may not be there yet: its writer has just been started)
    local n
    n=$(grep -c "^$1 " "$2" 2>/dev/null) || true
    echo "${n:-0}"
}
nth_time() { # WORD FILE N -> the N-th WORD line's monotonic nanoseconds
    local field=2
    [[ "$1" == CARD ]] && field=3 # CARD <reader> <ns>
    awk -v w="$1" -v n="$3" -v f="$field" '$1 == w && ++seen == n { print $f; exit }' "$2"
}

# Waits until FILE holds at least N lines starting with WORD, while PID lives.
wait_for() {
    local word=$1 file=$2 want=$3 pid=$4 timeout_s=$5
    local deadline=$((SECONDS + timeout_s))
    while (($(count_of "$word" "$file") < want)); do
        kill -0 "$pid" 2>/dev/null || die "the process writing $file ended; its log: $(tail -n 5 "${file%.out}.err" 2>/dev/null)"
        ((SECONDS < deadline)) || die "no $word in $file within ${timeout_s}s"
        sleep 0.01
    done
}

# --- set-up: per mode a program folder, a rig, a waiter and the program --------------
for mode in "${modes[@]}"; do # rigs left by a run that was killed outright
    [[ -e "$work/$mode/rig/pcsc-rig/rig.env" ]] && bash "$rig" --build "$work/$mode/rig" stop >/dev/null
done
rm -rf "$work"
for mode in "${modes[@]}"; do
    dir="$work/$mode"
    mkdir -p "$dir/rig" "$dir/run"
    chmod 700 "$dir/run"
    ln -s "$build/tools" "$dir/rig/tools" # the rig's state lives here, its tools are the build's
    cp "$probe" "$dir/"
    bash "$repo/tools/demo-data-folder.sh" --every-day "$dir/attendance_manegement" >/dev/null

    bash "$rig" --build "$dir/rig" start >"$dir/rig.log" 2>&1 || die "the rig for $mode did not start: $(cat "$dir/rig.log")"
    socket=$(bash "$rig" --build "$dir/rig" env | sed -n "s/^export PCSCLITE_CSOCK_NAME='\(.*\)'\$/\1/p")

    PCSCLITE_CSOCK_NAME=$socket "$waiter" >"$dir/waiter.out" 2>"$dir/waiter.err" &
    waiter_pid[$mode]=$!
    wait_for READY "$dir/waiter.out" 1 "${waiter_pid[$mode]}" 10
    read -r _ mono real < <(grep '^READY ' "$dir/waiter.out")
    clock_offset[$mode]=$((real - mono))

    timer_only=0
    [[ "$mode" == timer-only ]] && timer_only=1
    env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$dir/run" \
        PCSCLITE_CSOCK_NAME="$socket" TAVOMI_BENCH_TIMER_ONLY=$timer_only \
        "$dir/$(basename "$probe")" >"$dir/probe.out" 2>"$dir/probe.err" &
    probe_pid[$mode]=$!
    wait_for MAINSCREEN "$dir/probe.out" 1 "${probe_pid[$mode]}" 30
done

# --- taps ---------------------------------------------------------------------------------
declare -A punch_after_card card_after_lay
echo "card-latency: $taps taps per mode, alternating; load $(cut -d' ' -f1-3 /proc/loadavg)"
for ((tap = 0; tap < 2 * taps; tap++)); do
    mode=${modes[tap % 2]}
    dir="$work/$mode"
    reader=$((RANDOM % 2))
    cards=$(count_of CARD "$dir/waiter.out")
    punches=$(count_of PUNCH "$dir/probe.out")
    closes=$(count_of CLOSED "$dir/probe.out")

    # A random moment, so the card falls anywhere in the program's polling period.
    pause_ms=$((600 + RANDOM % 1001))
    sleep "$((pause_ms / 1000)).$(printf '%03d' $((pause_ms % 1000)))"

    laid=$(monotonic_ns_from_realtime "$(now_realtime_ns)" "$mode")
    bash "$rig" --build "$dir/rig" card --reader "$reader" "$card_id" >/dev/null
    wait_for CARD "$dir/waiter.out" $((cards + 1)) "${waiter_pid[$mode]}" 10
    wait_for PUNCH "$dir/probe.out" $((punches + 1)) "${probe_pid[$mode]}" 10
    bash "$rig" --build "$dir/rig" remove >/dev/null
    wait_for CLOSED "$dir/probe.out" $((closes + 1)) "${probe_pid[$mode]}" 20

    card=$(nth_time CARD "$dir/waiter.out" $((cards + 1)))
    punch=$(nth_time PUNCH "$dir/probe.out" $((punches + 1)))
    punch_after_card[$mode]+="$((punch - card)) "
    card_after_lay[$mode]+="$((card - laid)) "
done

# Median and maximum of nanosecond values, in ms.
summary() {
    tr ' ' '\n' | grep . | sort -n | awk '{ v[NR] = $1 } END {
        median = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "median %6.1f ms  max %6.1f ms  (n=%d)", median / 1e6, v[NR] / 1e6, NR }'
}
echo "card-latency: done; load $(cut -d' ' -f1-3 /proc/loadavg)"
for mode in "${modes[@]}"; do
    printf '%-10s PUNCH - CARD: %s\n' "$mode" "$(summary <<<"${punch_after_card[$mode]}")"
    printf '%-10s CARD - lay:   %s\n' "$mode" "$(summary <<<"${card_after_lay[$mode]}")"
done

# --- idle CPU -------------------------------------------------------------------------------
# The waiters go first: only the programs (and pcscd serving them) are left.
for mode in "${modes[@]}"; do
    kill "${waiter_pid[$mode]}" 2>/dev/null || true
    wait "${waiter_pid[$mode]}" 2>/dev/null || true
    waiter_pid[$mode]=
done

cpu_ticks() { # utime + stime of a process, all its threads, in clock ticks
    local stat
    stat=$(cat "/proc/$1/stat")
    stat=${stat##*) }
    read -r -a fields <<<"$stat"
    echo $((fields[11] + fields[12])) # fields 14 and 15 of the whole line
}
pcscd_pid() {
    sed -n "s/^TAVOMI_RIG_PCSCD_PID='\(.*\)'\$/\1/p" "$work/$1/rig/pcsc-rig/rig.env"
}

declare -A before_program before_pcscd
start_ns=$(now_realtime_ns)
for mode in "${modes[@]}"; do
    before_program[$mode]=$(cpu_ticks "${probe_pid[$mode]}")
    before_pcscd[$mode]=$(cpu_ticks "$(pcscd_pid "$mode")")
done
echo "card-latency: idle CPU over ${idle_seconds}s, two readers and no card; load $(cut -d' ' -f1-3 /proc/loadavg)"
sleep "$idle_seconds"
elapsed_ns=$(($(now_realtime_ns) - start_ns))
ticks_per_s=$(getconf CLK_TCK)
for mode in "${modes[@]}"; do
    kill -0 "${probe_pid[$mode]}" 2>/dev/null || die "the $mode program ended during the idle measurement"
    program=$(($(cpu_ticks "${probe_pid[$mode]}") - ${before_program[$mode]}))
    pcscd=$(($(cpu_ticks "$(pcscd_pid "$mode")") - ${before_pcscd[$mode]}))
    awk -v m="$mode" -v p="$program" -v d="$pcscd" -v hz="$ticks_per_s" -v ns="$elapsed_ns" 'BEGIN {
        s = ns / 1e9
        printf "%-10s idle CPU: program %.3f %% of a core (%d ms in %.1f s), its pcscd %.3f %%\n",
            m, 100 * p / hz / s, 1000 * p / hz, s, 100 * d / hz / s }'
done
echo "card-latency: load $(cut -d' ' -f1-3 /proc/loadavg)"
