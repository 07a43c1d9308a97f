#!/usr/bin/env bash
# `make screenshots`: docs/screens/*.png, the pictures in the README. The real screens of
# tavomi and tavomi-office (tools/screenshots/screenshots.cpp) and the first page of the
# month's PDF from tavomi-report, over a demo data folder made afresh in a temporary
# folder, with a fixed clock and Qt's offscreen platform: no display, no window manager,
# no card reader. The same sources give the same pictures, byte for byte.
# usage: tools/screenshots.sh BUILD_DIR
set -euo pipefail

[[ $# -eq 1 ]] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
driver="$build/tools/tavomi-screenshots"
report="$build/tavomi-report"
out="$repo/docs/screens"
for program in "$driver" "$report"; do
    [[ -x "$program" ]] || { echo "screenshots: $program is missing; build it first (make screenshots does)" >&2; exit 1; }
done
for tool in pdftoppm optipng; do
    command -v "$tool" >/dev/null ||
        { echo "screenshots: $tool is missing; tools/install-deps.sh screenshots installs it" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
data="$work/attendance_manegement"

# The school's start: the package's templates, the office's workbook stand-in and the
# demo's five cardholders (tools/demo-data-folder.sh has the same).
mkdir "$data"
cp "$repo"/packaging/templates/*.txt "$data/"
: >"$data/analysis_of_data.xlsm"

append_cp932() {
    local file=$1
    shift
    printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP932 >>"$data/$file"
}

names=("佐藤　健一" "鈴木　美咲" "山田　花子" "高橋　翔" "田中　由美")
append_cp932 associate_with_card.txt \
    "012E4CD1A2B3C401,${names[0]},校長,1001,デモ" \
    "012E4CD1A2B3C402,${names[1]},教頭,1002,デモ" \
    "0123456789ABCDEF,${names[2]},教諭,1003,デモ" \
    "012E4CD1A2B3C404,${names[3]},教諭,1004,デモ" \
    "012E4CD1A2B3C405,${names[4]},養護教諭,1005,デモ"

# June 2025 up to the morning of Friday the 20th, the day the pictures are taken: the
# working hours of each school day, and each teacher's punches with times that vary by
# day and teacher, a few going-outs, a mid-day absence, a record made by hand and a
# forgotten clock-out for the month's checks.
hhmm() { printf '%02d:%02d' $(($1 / 60)) $(($1 % 60)); }
punch() { # kind name day minutes [source] [detail] [reason]
    journal+=("$1,$2,2025/06/$(printf %02d "$3"),$(hhmm "$4"),${5:-IC記録},${6:-詳細なし},${7:-事由なし}")
}
journal=()
hours=()
for day in 2 3 4 5 6 9 10 11 12 13 16 17 18 19; do
    hours+=("2025/06/$(printf %02d $day),08:15,16:45,00:45")
    for t in 0 1 2 3 4; do
        name=${names[$t]}
        punch 出勤 "$name" $day $((7 * 60 + 30 + (day * 7 + t * 11) % 25))
        case "$t/$day" in
        2/10) punch 外出 "$name" $day $((13 * 60 + 10)) "" 詳細s 事由職専免
              punch 戻り "$name" $day $((14 * 60 + 20)) ;;
        4/5) punch 中抜 "$name" $day 120 "" "" 事由年休 ;;
        3/17) punch 外出 "$name" $day $((9 * 60 + 40)) "" 詳細t
              punch 戻り "$name" $day $((11 * 60 + 55)) ;;
        esac
        leaves=$((16 * 60 + 50 + (day * 13 + t * 17) % 90))
        case "$t/$day" in
        1/12) ;;  # forgot to clock out
        3/18) punch 退勤 "$name" $day $((19 * 60 + 5)) 手動記録 ;;
        0/*) punch 退勤 "$name" $day $leaves "" 詳細a ;;
        *) punch 退勤 "$name" $day $leaves ;;
        esac
    done
done
punch 出勤 "${names[0]}" 20 $((7 * 60 + 32))
punch 出勤 "${names[1]}" 20 $((7 * 60 + 41))
punch 出勤 "${names[3]}" 20 $((8 * 60 + 2))
punch 外出 "${names[3]}" 20 $((9 * 60 + 40)) "" 詳細t
append_cp932 working_hours.txt "${hours[@]}"
append_cp932 keeper.txt "${journal[@]}"

# Fixed surroundings: no platform or scaling from the caller's desktop, one locale.
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_FONT_DPI QT_STYLE_OVERRIDE QT_QPA_PLATFORMTHEME

mkdir -p "$out"
rm -f "$out"/*.png
# The time clock first: 山田　花子's clock-in at 07:45 is then in the office's pictures.
"$driver" clock "$work" "$out" >/dev/null
"$driver" office "$work" "$out" >/dev/null
"$report" month 2025/06 --data "$data" --pdf "$work/month.pdf" >/dev/null
pdftoppm -png -r 60 -f 1 -l 1 -singlefile "$work/month.pdf" "$out/month-report"
# The same pixels in fewer bytes (about a quarter less), for the repository.
optipng -quiet -o2 -strip all "$out"/*.png
for picture in "$out"/*.png; do
    echo "screenshots: ${picture#"$repo"/} ($(stat -c %s "$picture") bytes)"
done
