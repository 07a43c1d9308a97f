#!/usr/bin/env bash
# Makes a demo data folder (five cardholders, empty journals, CP932 with CR LF as the
# school's files are). A folder that is already there is never touched.
# usage: tools/demo-data-folder.sh [--every-day] FOLDER
#   --every-day  working hours on Saturday and Sunday too, so that start-up shows no
#                message whatever today is (for measurements)
# Prints "made" or "kept".
set -euo pipefail

every_day=0
if [[ "${1:-}" == "--every-day" ]]; then
    every_day=1
    shift
fi
[[ $# -eq 1 ]] || { echo "usage: $0 [--every-day] FOLDER" >&2; exit 2; }
data=$1

if [[ -e "$data" ]]; then
    echo kept
    exit 0
fi

write_cp932() {
    local file=$1
    shift
    printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP932 >"$file"
}

weekend="00:00,00:00,00:00"
((every_day)) && weekend="08:15,16:45,00:45"

# Made beside the folder and renamed into place, so a half-made folder is never seen.
tmp=$(mktemp -d "$(dirname "$data")/.attendance_manegement.XXXXXX")
chmod 755 "$tmp"
write_cp932 "$tmp/associate_with_card.txt" \
    "カードID,氏名,職名,職員番号,備考" \
    "012E4CD1A2B3C401,佐藤　健一,校長,1001,デモ" \
    "012E4CD1A2B3C402,鈴木　美咲,教頭,1002,デモ" \
    "0123456789ABCDEF,山田　花子,教諭,1003,デモ" \
    "012E4CD1A2B3C404,高橋　翔,教諭,1004,デモ" \
    "012E4CD1A2B3C405,田中　由美,養護教諭,1005,デモ"
write_cp932 "$tmp/keeper.txt" "区分,氏名,日付,時刻,記録方法,詳細,事由"
write_cp932 "$tmp/ordinary_working_hours.txt" \
    "曜日,開始,終了,休憩時間" \
    "月曜日,08:15,16:45,00:45" \
    "火曜日,08:15,16:45,00:45" \
    "水曜日,08:15,16:45,00:45" \
    "木曜日,08:15,16:45,00:45" \
    "金曜日,08:15,16:45,00:45" \
    "土曜日,$weekend" \
    "日曜日,$weekend"
write_cp932 "$tmp/working_hours.txt" "日付,開始,終了,休憩時間"
write_cp932 "$tmp/working_hours_allocation.txt" "氏名,日付,割振り"
write_cp932 "$tmp/absentee.txt" "氏名,日付,事由"
# Only its presence matters to Tavomi; the evaluation workbook is the school's own.
: >"$tmp/analysis_of_data.xlsm"
mv -T "$tmp" "$data"
echo made
