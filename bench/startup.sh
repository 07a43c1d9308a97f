#!/usr/bin/env bash
# Start-up time of the time clock beside a bare Qt program (one window, one Japanese
# label), both on a virtual X display: from exec to the main window's first exposure
# (MAINSCREEN) and to its first painted frame (FRAME), median and minimum of N runs.
# The program runs from a copy with a demo data folder and without a smart-card service.
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

measure() {
    "$timer" --runs "$runs" --until FRAME "$@" 2>"$work/stderr.log" || {
        echo "startup: $* did not show its window; its last output:" >&2
        tail -n 20 "$work/stderr.log" >&2
        exit 1
    }
}

median_of() { sed -n "s/^$1 .*median_ms=\([0-9.]*\).*/\1/p"; }
min_of() { sed -n "s/^$1 .*min_ms=\([0-9.]*\).*/\1/p"; }

echo "startup: $runs runs each (one more run first, not counted); load $(cut -d' ' -f1-3 /proc/loadavg)"
bare_result=$(measure "$bare")
program_result=$(measure "$work/program/$(basename "$probe")")
echo "-- bare window"
echo "$bare_result"
echo "-- tavomi"
echo "$program_result"
for mark in MAINSCREEN FRAME; do
    b=$(median_of "$mark" <<<"$bare_result")
    p=$(median_of "$mark" <<<"$program_result")
    bm=$(min_of "$mark" <<<"$bare_result")
    pm=$(min_of "$mark" <<<"$program_result")
    awk -v m="$mark" -v b="$b" -v p="$p" -v bm="$bm" -v pm="$pm" 'BEGIN {
        printf "%-10s tavomi/bare: median %.1f/%.1f ms = %.2f, min %.1f/%.1f ms = %.2f\n",
            m, p, b, p / b, pm, bm, pm / bm }'
done
echo "startup: load $(cut -d' ' -f1-3 /proc/loadavg)"
