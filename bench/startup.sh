#!/usr/bin/env bash
# Start-up time of the time clock beside a bare Qt program (one window, one Japanese
# label), both on a virtual X display: from exec to the application object (APP), to the
# main window's first exposure (MAINSCREEN) and to its first painted frame (FRAME). Runs
# alternate between the two programs, so a change in the machine's load hits both alike;
# wall time (median, minimum) and the program's CPU time (median) of N runs each. The
# program runs from a copy with a demo data folder and without a smart-card service.
# usage: bench/startup.sh [--runs N] [BUILD]        (BUILD defaults to ./build)
set -euo pipefail

runs=15
while [[ $# -gt 0 ]]; do
    case "$1" in
    --runs)
        runs=${2:?--runs needs a number}
        shift 2
        ;;
    -*)
        echo "usage: $0 [--runs N] [BUILD]" >&2
        exit 2
        ;;
    *) break ;;
    esac
done
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)
timer="$build/bench/tavomi-bench-startup-timer"
bare="$build/bench/tavomi-bench-bare-window"
probe="$build/bench/tavomi-bench-latency-probe"
for program in "$timer" "$bare" "$probe"; do
    [[ -x "$program" ]] || { echo "startup: $program is missing (build the bench targets)" >&2; exit 1; }
done

# Always our own display, so that a desktop's compositor or window manager is not measured.
if [[ -z "${TAVOMI_BENCH_OWN_DISPLAY:-}" ]]; then
    command -v xvfb-run >/dev/null || { echo "startup: xvfb-run is missing (package xvfb)" >&2; exit 1; }
    TAVOMI_BENCH_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
        bash "$0" --runs "$runs" "$build"
fi
unset QT_QPA_PLATFORM WAYLAND_DISPLAY TAVOMI_BENCH_TIMER_ONLY

work="$build/bench/startup"
rm -rf "$work"
mkdir -p "$work/program" "$work/run"
chmod 700 "$work/run"
cp "$probe" "$work/program/"
bash "$repo/tools/demo-data-folder.sh" --every-day "$work/program/attendance_manegement" >/dev/null
# The single-instance marker in a folder of our own; no smart-card service at all.
export XDG_RUNTIME_DIR="$work/run"
export PCSCLITE_CSOCK_NAME="$work/run/no-pcscd.comm"

# One run: lines "PROGRAM WORD wall_ms cpu_ms".
measure_once() {
    local name=$1
    shift
    "$timer" --runs 1 --warmup 0 --until FRAME "$@" 2>"$work/stderr.log" |
        sed -n "s/^\([A-Z]*\) .*median_ms=\([0-9.]*\).*cpu_median_ms=\([0-9.]*\).*/$name \1 \2 \3/p" || {
        echo "startup: $* did not show its window; its last output:" >&2
        tail -n 20 "$work/stderr.log" >&2
        exit 1
    }
}

program="$work/program/$(basename "$probe")"
echo "startup: $runs runs each, alternating (one run each first, not counted); load $(cut -d' ' -f1-3 /proc/loadavg)"
measure_once bare "$bare" >/dev/null
measure_once tavomi "$program" >/dev/null
for ((run = 0; run < runs; run++)); do
    measure_once bare "$bare"
    measure_once tavomi "$program"
done >"$work/runs.txt"

# "median minimum" of one column (3 wall, 4 CPU) of one program's mark.
stats() {
    awk -v p="$1" -v m="$2" -v c="$3" '$1 == p && $2 == m { print $c }' "$work/runs.txt" | sort -n |
        awk '{ v[NR] = $1 } END { printf "%s %s\n", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2, v[1] }'
}

printf '%-10s %-7s %12s %12s %12s\n' mark "" "wall median" "wall min" "CPU median"
for mark in APP MAINSCREEN FRAME; do
    read -r bare_wall bare_wall_min < <(stats bare "$mark" 3)
    read -r bare_cpu _ < <(stats bare "$mark" 4)
    read -r tavomi_wall tavomi_wall_min < <(stats tavomi "$mark" 3)
    read -r tavomi_cpu _ < <(stats tavomi "$mark" 4)
    awk -v m="$mark" -v bw="$bare_wall" -v bm="$bare_wall_min" -v bc="$bare_cpu" \
        -v tw="$tavomi_wall" -v tm="$tavomi_wall_min" -v tc="$tavomi_cpu" 'BEGIN {
        printf "%-10s %-7s %9.1f ms %9.1f ms %9.1f ms\n", m, "bare", bw, bm, bc
        printf "%-10s %-7s %9.1f ms %9.1f ms %9.1f ms\n", m, "tavomi", tw, tm, tc
        printf "%-10s %-7s %12.2f %12.2f %12.2f\n", m, "ratio", tw / bw, tm / bm, tc / bc }'
done
echo "startup: load $(cut -d' ' -f1-3 /proc/loadavg)"
