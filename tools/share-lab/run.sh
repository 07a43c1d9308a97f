#!/usr/bin/env bash
# make share-lab: real file shares on three qemu machines. A file server (nfsd and Samba)
# and two client PCs, each linked to the server by its own socket on 127.0.0.1; the 9p
# share BUILD/share-lab/run brings the writer in and the logs out. Each scenario runs on
# NFSv3, NFSv4.2 and SMB at once, each protocol with its own folder on the server, and
# ends with a check of each journal against what the writers were told.
# usage: run.sh BUILD [SCENARIO...]   (default: all; names below)
# Environment: SHARE_LAB_WRITERS writers per client and protocol (2), SHARE_LAB_PORT (47810),
# SHARE_LAB_PROTOCOLS ("nfs3 nfs4 smb"; smbnl is SMB mounted with nolease).
set -euo pipefail

build=$(realpath "$1")
shift
here=$(cd "$(dirname "$0")" && pwd)
lab=$build/share-lab
run=$lab/run
scenarios=("$@")
((${#scenarios[@]})) || scenarios=(contended killed stopped cable restart)
writers=${SHARE_LAB_WRITERS:-2}
port=${SHARE_LAB_PORT:-47810}
read -r -a protocols <<<"${SHARE_LAB_PROTOCOLS:-nfs3 nfs4 smb}"
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
mkdir -p "$run/bin" "$run/out" "$run/cmd"
chmod 777 "$run/out"
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
cable() {  # HOST on|off: the PC's cable, as qemu sees it
  echo "set_link link $2" | socat - "UNIX-CONNECT:$lab/$1.monitor" >/dev/null
}

as_reception='setpriv --reuid=reception --regid=tavomi --init-groups /lab/bin/tavomi-share-lab'

# writers_script SCENARIO HOST SECONDS: N writers per protocol on HOST. One still inside a
# call 240 s after its time is up is killed, and its log ends in "Hung".
writers_script() {
  local s=$1 host=$2 seconds=$3 script="pids=(); logs=(); " p w log
  for p in "${protocols[@]}"; do
    for ((w = 0; w < writers; w++)); do
      log=/lab/out/$s/$p-${host:2:1}$w.log
      script+="$as_reception write /mnt/$p ${host:2:1}$w $seconds >$log & pids+=(\$!); logs+=($log); "
    done
  done
  script+="end=\$((SECONDS + $seconds + 240)); "
  script+="while [[ -n \$(jobs -r) ]] && ((SECONDS < end)); do sleep 1; done; "
  script+="for i in \${!pids[@]}; do kill -0 \${pids[i]} 2>/dev/null || continue; "
  script+="kill -9 \${pids[i]}; echo Hung >>\${logs[i]}; done; "
  echo "${script}wait"
}

# hold_script SCENARIO SIGNAL: on pca, one writer per protocol takes the lock and is
# killed (KILL) or stopped for 130 s (STOP) as soon as it holds it. One that does not get
# the lock within 300 s, or does not end within 300 s of going on, is killed as hung.
hold_script() {
  local s=$1 signal=$2 p log script=""
  local seconds=15
  [[ $signal == KILL ]] && seconds=3600
  for p in "${protocols[@]}"; do
    log=/lab/out/$s/$p-h.log
    script+="( $as_reception hold /mnt/$p h $seconds >$log & pid=\$!; "
    script+="for i in \$(seq 3000); do grep -q Holding $log && break; sleep 0.1; done; "
    script+="grep -q Holding $log || { kill -9 \$pid; echo Hung >>$log; exit; }; "
    script+="kill -$signal \$pid; echo $p signalled \$(date +%T); "
    if [[ $signal == STOP ]]; then
      script+="sleep 130; kill -CONT \$pid; echo $p continued \$(date +%T); "
      script+="for i in \$(seq 300); do kill -0 \$pid 2>/dev/null || break; sleep 1; done; "
      script+="kill -0 \$pid 2>/dev/null && { kill -9 \$pid; echo Hung >>$log; }; "
    fi
    script+="wait ) & "
  done
  echo "${script}wait"
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
  *) seconds=180 ;;
  esac
  say "$s: ${writers} writers per PC and protocol for ${seconds}s"
  on pca "$s-writers" "$(writers_script "$s" pca "$seconds")"
  on pcb "$s-writers" "$(writers_script "$s" pcb "$seconds")"
  case $s in
  killed | stopped)
    sleep 10
    on pca "$s-hold" "$(hold_script "$s" "$([[ $s == killed ]] && echo KILL || echo STOP)")"
    done_on pca "$s-hold"
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
  done_on pca "$s-writers"
  done_on pcb "$s-writers"
  on server "$s-collect" "for p in ${protocols[*]}; do cp /srv/tavomi/\$p/keeper.txt /lab/out/$s/\$p-keeper.txt; done"
  done_on server "$s-collect" 600
}

results=$lab/results.md
{
  echo "| scenario | protocol | written | busy | errors | lost | torn | duplicated | longest append | hung | not reported |"
  echo "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
} >"$results"
declare -A label=([nfs3]=NFSv3 [nfs4]=NFSv4.2 [smb]="SMB 3.1.1" [smbnl]="SMB 3.1.1, nolease")
failed=0
for s in "${scenarios[@]}"; do
  scenario "$s"
  for p in "${protocols[@]}"; do
    read -r written busy errors lost torn dup longest hung unreported < <(
      "$build/tools/tavomi-share-lab" check "$run/out/$s/$p-keeper.txt" "$run/out/$s/$p"-*.log \
        2>"$run/out/$s/$p-check.txt")
    printf '| %s | %s | %s | %s | %s | %s | %s | %s | %.1f s | %s | %s |\n' "$s" "${label[$p]}" \
      "$written" "$busy" "$errors" "$lost" "$torn" "$dup" "$(awk -v ms="$longest" 'BEGIN { print ms / 1000 }')" \
      "$hung" "$unreported" >>"$results"
    ((lost == 0 && torn == 0)) || failed=1
  done
  say "$s done"
done
cat "$results"
say "logs in $run/out, the table in $results"
exit "$failed"
