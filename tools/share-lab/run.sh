#!/usr/bin/env bash
# make share-lab: real file shares on three qemu machines. A file server (nfsd and Samba)
# and two client PCs, each linked to the server by its own socket on 127.0.0.1; the 9p
# share BUILD/share-lab/run brings the writer in and the logs out. Each scenario runs on
# NFSv3, NFSv4.2 and SMB at once, each protocol with its own folder on the server, and
# ends with a check of each journal against what the writers were told.
# usage: run.sh BUILD [SCENARIO...]   (default: all; names below)
# Environment: SHARE_LAB_WRITERS writers per client and protocol (2), SHARE_LAB_PORT (47810),
# SHARE_LAB_PROTOCOLS ("nfs3 nfs4 smb"; smbnl is SMB mounted with nolease), SHARE_LAB_STOP
# (330: seconds the stopped writer stays stopped), SHARE_LAB_HELD_CUT (170: seconds the
# cable stays pulled under a held append), SHARE_LAB_CUTS ("60 120 180 240": the late
# scenario's cuts, two at a time, one per PC).
set -euo pipefail

build=$(realpath "$1")
shift
here=$(cd "$(dirname "$0")" && pwd)
lab=$build/share-lab
run=$lab/run
scenarios=("$@")
((${#scenarios[@]})) || scenarios=(contended killed stopped cable held-cable restart late)
writers=${SHARE_LAB_WRITERS:-2}
port=${SHARE_LAB_PORT:-47810}
read -r -a protocols <<<"${SHARE_LAB_PROTOCOLS:-nfs3 nfs4 smb}"
stop_for=${SHARE_LAB_STOP:-330}
held_cut=${SHARE_LAB_HELD_CUT:-170}
read -r -a cuts <<<"${SHARE_LAB_CUTS:-60 120 180 240}"
# A writer waits up to 180 s for its spool to empty after its time, then 315 s for the
# read-back of what it wrote last (lab_writer.cpp).
writer_tail=$((180 + 315))
hosts=(server pca pcb)

say() { echo "share-lab $(date +%T): $*"; }

if [[ ! -e $lab/root.img ]]; then
  say "making the image (about 6 min)"
  bash "$here/make-image.sh" "$lab"
fi

# Everything this run started goes when it ends, however it ends.
stop_machines() {
  for h in "${hosts[@]}"; do
    if [[ -e $lab/$h.pid ]]; then
      kill "$(cat "$lab/$h.pid")" 2>/dev/null || true
      rm -f "$lab/$h.pid"
    fi
  done
}
trap stop_machines EXIT
stop_machines

rm -rf "$run"
mkdir -p "$run/bin" "$run/out" "$run/cmd" "$run/go"
chmod 777 "$run/out" "$run/go"
cp "$build/tools/tavomi-share-lab" "$run/bin/"
cp "$here/guest-agent.sh" "$run/"

boot() {
  local host=$1
  shift
  rm -f "$lab/$host.qcow2"
  qemu-img create -q -f qcow2 -b "$lab/root.img" -F raw "$lab/$host.qcow2"
  # TCG: the KVM here cannot boot a stock kernel. One CPU each, niced: others share the box.
  nice -n 10 qemu-system-x86_64 -name "$host" -nodefaults -machine q35 -accel tcg -cpu max \
    -smp 1 -m 1024 -display none \
    -kernel "$lab/vmlinuz" -initrd "$lab/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 net.ifnames=0 lab.host=$host" \
    -drive "file=$lab/$host.qcow2,if=virtio,format=qcow2" \
    -virtfs "local,path=$run,mount_tag=lab,security_model=none" \
    -serial "file:$lab/$host-console.log" \
    -monitor "unix:$lab/$host.monitor,server,nowait" \
    -daemonize -pidfile "$lab/$host.pid" "$@"
}

say "booting the server and two PCs (about 3 min)"
boot server \
  -netdev "socket,id=link,listen=127.0.0.1:$port" -device virtio-net-pci,netdev=link,mac=52:54:00:00:01:01 \
  -netdev "socket,id=link2,listen=127.0.0.1:$((port + 1))" -device virtio-net-pci,netdev=link2,mac=52:54:00:00:02:01
boot pca -netdev "socket,id=link,connect=127.0.0.1:$port" -device virtio-net-pci,netdev=link,mac=52:54:00:00:01:02
boot pcb -netdev "socket,id=link,connect=127.0.0.1:$((port + 1))" -device virtio-net-pci,netdev=link,mac=52:54:00:00:02:02

wait_for() {  # FILE SECONDS
  local deadline=$((SECONDS + $2))
  until [[ -e $1 ]]; do
    if ((SECONDS > deadline)); then
      say "gave up waiting for $1"
      return 1
    fi
    sleep 1
  done
}
for h in "${hosts[@]}"; do
  wait_for "$run/out/$h.ready" 1200
done
say "all three are up"

# on HOST NAME SCRIPT: runs SCRIPT on HOST in the background; done HOST NAME waits for it.
on() {
  mkdir -p "$run/cmd/$1"
  printf '%s\n' "$3" >"$run/cmd/$1/.$2"
  mv "$run/cmd/$1/.$2" "$run/cmd/$1/$2.sh"
}
done_on() {
  wait_for "$run/cmd/$1/$2.rc" "${3:-1800}"
  if [[ $(cat "$run/cmd/$1/$2.rc") != 0 ]]; then
    say "$1 $2 failed:"
    cat "$run/cmd/$1/$2.out"
    return 1
  fi
}
wait_holding() {  # LOG: until a held writer says it holds its write (up to 300 s)
  wait_for "$1" 300 || return 0
  local deadline=$((SECONDS + 300))
  until grep -q Holding "$1" || ((SECONDS > deadline)); do sleep 1; done
}
cable() {  # HOST on|off: the PC's cable, as qemu sees it
  echo "set_link link $2" | socat - "UNIX-CONNECT:$lab/$1.monitor" >/dev/null
}

as_reception='setpriv --reuid=reception --regid=tavomi --init-groups /lab/bin/tavomi-share-lab'

# writers_script SCENARIO HOST SECONDS: N writers per protocol on HOST. One still running
# 240 s after its time, the wait for its spool and its read-back are up is killed, and
# its log ends in "Hung".
writers_script() {
  local s=$1 host=$2 seconds=$3 script="pids=(); logs=(); " p w log
  for p in "${protocols[@]}"; do
    for ((w = 0; w < writers; w++)); do
      log=/lab/out/$s/$p-${host:2:1}$w.log
      script+="$as_reception write /mnt/$p ${host:2:1}$w $seconds >$log 2>&1 & pids+=(\$!); logs+=($log); "
    done
  done
  script+="end=\$((SECONDS + $seconds + $writer_tail + 240)); "
  script+="while [[ -n \$(jobs -r) ]] && ((SECONDS < end)); do sleep 1; done; "
  script+="for i in \${!pids[@]}; do kill -0 \${pids[i]} 2>/dev/null || continue; "
  script+="kill -9 \${pids[i]}; echo Hung >>\${logs[i]}; done; "
  echo "${script}wait"
}

# hold_script SCENARIO SIGNAL: on pca, one writer per protocol takes the lock and opens
# the journal, and is held where its write is about to go out: then killed (KILL), stopped
# for stop_for seconds and let go (STOP), or (HOLD) let go at once by the host, which pulls
# the cable first. One that does not get there within 300 s, or does not end in time, is
# killed as hung.
hold_script() {
  local s=$1 signal=$2 p log go script=""
  for p in "${protocols[@]}"; do
    log=/lab/out/$s/$p-h.log
    go=/lab/go/$s-$p
    # Its spool waits for the held record as long as the hold can last.
    # It punches for 60 s, so that each punch tries the lock until one append holds it.
    script+="( SHARE_LAB_DRAIN=$((stop_for + 600)) $as_reception write /mnt/$p h 60 $go >$log 2>&1 & pid=\$!; "
    script+="end=\$((SECONDS + 300)); until grep -q Holding $log || ((SECONDS > end)); do sleep 0.5; done; "
    script+="grep -q Holding $log || { kill -9 \$pid; echo Hung >>$log; exit; }; "
    if [[ $signal != HOLD ]]; then
      script+="kill -$signal \$pid; echo $p signalled \$(date +%T); "
    fi
    if [[ $signal == STOP ]]; then
      script+="sleep $stop_for; touch $go; kill -CONT \$pid; echo $p continued \$(date +%T); "
    fi
    if [[ $signal != KILL ]]; then
      script+="for i in \$(seq $((writer_tail + stop_for + 600))); do kill -0 \$pid 2>/dev/null || break; sleep 1; done; "
      script+="kill -0 \$pid 2>/dev/null && { kill -9 \$pid; echo Hung >>$log; }; "
    fi
    script+="wait ) & "
  done
  echo "${script}wait"
}

# late_round CUT_A CUT_B: how long a write held in flight through a cut can still land.
# On each PC one appender per protocol (to a file of its own, late-a.txt or late-b.txt)
# opens and locks the file, knows its end and is held before the write; the host pulls
# both cables, lets the writes go, and puts pca's cable back after CUT_A seconds and pcb's
# after CUT_B. Meanwhile the server itself appends to both files every 5 s, as a PC that
# took the lock over would, so that a late write shows where it lands.
late_round() {
  local a=$1 b=$2 r="late-$1-$2" p pc letter
  mkdir -p "$run/out/$r"
  chmod 777 "$run/out/$r"
  on pca "$r-init" "for p in ${protocols[*]}; do $as_reception init /mnt/\$p late-a.txt && $as_reception init /mnt/\$p late-b.txt || exit 1; done"
  done_on pca "$r-init" 600
  for pc in pca pcb; do
    letter=${pc:2:1}
    local script=""
    for p in "${protocols[@]}"; do
      script+="( timeout -s KILL $((b + 900)) $as_reception late /mnt/$p/attendance_manegement/late-$letter.txt h$letter /lab/go/$r-$letter >/lab/out/$r/$p-h$letter.log 2>&1 || echo Hung >>/lab/out/$r/$p-h$letter.log ) & "
    done
    on "$pc" "$r-late" "${script}wait"
  done
  for p in "${protocols[@]}"; do
    for letter in a b; do
      wait_holding "$run/out/$r/$p-h$letter.log"
    done
  done
  local script=""
  for p in "${protocols[@]}"; do
    for letter in a b; do
      script+="/lab/bin/tavomi-share-lab barge /srv/tavomi/$p/late-$letter.txt s$letter 3600 >/lab/out/$r/$p-s$letter.log 2>&1 & "
    done
  done
  cable pca off
  cable pcb off
  say "$r: both cables pulled, the held writes go"
  touch "$run/go/$r-a" "$run/go/$r-b"
  on server "$r-barge" "${script}until [[ -e /lab/go/$r-stop ]]; do sleep 1; done; kill \$(jobs -p); wait"
  sleep "$a"
  cable pca on
  say "$r: pca's cable back after $a s"
  sleep $((b - a))
  cable pcb on
  say "$r: pcb's cable back after $b s"
  done_on pca "$r-late" $((b + 1200))
  done_on pcb "$r-late" $((b + 1200))
  sleep 10
  touch "$run/go/$r-stop"
  done_on server "$r-barge" 600
  on server "$r-collect" "for p in ${protocols[*]}; do for l in a b; do cp /srv/tavomi/\$p/late-\$l.txt /lab/out/$r/\$p-late-\$l.txt; done; done"
  done_on server "$r-collect" 600
  for p in "${protocols[@]}"; do
    for letter in a b; do
      local cut=$a
      [[ $letter == b ]] && cut=$b
      "$build/tools/tavomi-share-lab" check "$run/out/$r/$p-late-$letter.txt" \
        "$run/out/$r/$p-h$letter.log" "$run/out/$r/$p-s$letter.log" >/dev/null \
        2>"$run/out/$r/$p-$letter-check.txt" || true
      printf '| %s | %s s | %s | %s | %s |\n' "${label[$p]}" "$cut" \
        "$(grep -E '^h[ab] 0 ' "$run/out/$r/$p-h$letter.log" | cut -d' ' -f3- || echo none)" \
        "$(grep -E '^at ' "$run/out/$r/$p-$letter-check.txt" | tr '\n' ' ')" \
        "$(grep -c '^lost' "$run/out/$r/$p-$letter-check.txt")" >>"$late_results"
    done
  done
}

scenario() {
  local s=$1 seconds
  mkdir -p "$run/out/$s"
  chmod 777 "$run/out/$s"
  on pca "$s-init" "for p in ${protocols[*]}; do $as_reception init /mnt/\$p || exit 1; done"
  done_on pca "$s-init" 600
  case $s in
  contended) seconds=60 ;;
  restart) seconds=150 ;;
  # Past the 300 s rule: the held lock is taken over, or the stop ends, before the time is up.
  killed) seconds=330 ;;
  stopped) seconds=$((stop_for + 40)) ;;
  held-cable) seconds=$((held_cut + 70)) ;;
  *) seconds=180 ;;
  esac
  say "$s: ${writers} writers per PC and protocol for ${seconds}s"
  on pca "$s-writers" "$(writers_script "$s" pca "$seconds")"
  on pcb "$s-writers" "$(writers_script "$s" pcb "$seconds")"
  case $s in
  killed | stopped)
    sleep 10
    on pca "$s-hold" "$(hold_script "$s" "$([[ $s == killed ]] && echo KILL || echo STOP)")"
    done_on pca "$s-hold" $((stop_for + writer_tail + 1200))
    ;;
  held-cable)
    sleep 20
    on pca "$s-hold" "$(hold_script "$s" HOLD)"
    for p in "${protocols[@]}"; do
      wait_holding "$run/out/$s/$p-h.log"
    done
    say "held-cable: every held append is open; pca's link down for $held_cut s"
    cable pca off
    for p in "${protocols[@]}"; do touch "$run/go/$s-$p"; done
    sleep "$held_cut"
    cable pca on
    say "held-cable: pca's link up"
    done_on pca "$s-hold" $((writer_tail + 1200))
    ;;
  cable)
    sleep 20
    say "cable: pca's link down for 63 s"
    cable pca off
    sleep 63
    cable pca on
    say "cable: pca's link up"
    ;;
  restart)
    sleep 20
    say "restart: nfsd and smbd on the server"
    on server "$s-restart" "systemctl restart nfs-server smbd"
    done_on server "$s-restart" 600
    ;;
  esac
  done_on pca "$s-writers" $((seconds + writer_tail + 1200))
  done_on pcb "$s-writers" $((seconds + writer_tail + 1200))
  # The folder as the server has it: a lock file or a renamed lock left behind shows here.
  on server "$s-collect" "for p in ${protocols[*]}; do cp /srv/tavomi/\$p/keeper.txt /lab/out/$s/\$p-keeper.txt; ls -la --time-style=full-iso /srv/tavomi/\$p/ >/lab/out/$s/\$p-folder.txt; done"
  done_on server "$s-collect" 600
}

results=$lab/results.md
{
  echo "| scenario | protocol | written | kept | busy | errors | lost | torn | duplicated | written again | unsent | longest append | hung | not reported |"
  echo "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
} >"$results"
late_results=$lab/late-results.md
{
  echo "| protocol | cut | the held write (outcome, ms from the cut, detail) | where it is in the file | server's records lost |"
  echo "|---|---:|---|---|---:|"
} >"$late_results"
declare -A label=([nfs3]=NFSv3 [nfs4]=NFSv4.2 [smb]="SMB 3.1.1" [smbnl]="SMB 3.1.1, nolease")
failed=0
for s in "${scenarios[@]}"; do
  if [[ $s == late ]]; then
    for ((i = 0; i < ${#cuts[@]}; i += 2)); do
      late_round "${cuts[i]}" "${cuts[i + 1]:-${cuts[i]}}"
    done
    say "late done"
    continue
  fi
  scenario "$s"
  for p in "${protocols[@]}"; do
    read -r written kept busy errors lost torn dup longest hung unreported again unsent < <(
      "$build/tools/tavomi-share-lab" check "$run/out/$s/$p-keeper.txt" "$run/out/$s/$p"-*.log \
        2>"$run/out/$s/$p-check.txt")
    printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %.1f s | %s | %s |\n' "$s" \
      "${label[$p]}" "$written" "$kept" "$busy" "$errors" "$lost" "$torn" "$dup" "$again" "$unsent" \
      "$(awk -v ms="$longest" 'BEGIN { print ms / 1000 }')" "$hung" "$unreported" >>"$results"
    ((lost == 0 && torn == 0)) || failed=1
  done
  say "$s done"
done
cat "$results"
[[ -s $late_results && $(wc -l <"$late_results") -gt 2 ]] && cat "$late_results"
say "logs in $run/out, the table in $results"
exit "$failed"
