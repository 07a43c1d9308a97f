#!/usr/bin/env bash
# Runs as root on each lab machine, from the 9p share mounted at /lab. It sets the machine
# up as the file server or a client PC (lab.host= on the kernel command line), says
# /lab/out/HOST.ready, and then runs every script the host puts in /lab/cmd/HOST/ (NAME.sh),
# each in the background, leaving NAME.out and NAME.rc beside it.
set -uo pipefail

host=$(sed -n 's/.*lab\.host=\([a-z]*\).*/\1/p' /proc/cmdline)
hostname "$host"
exec >>"/lab/out/$host-agent.log" 2>&1
echo "agent up at $(date +%T)"
set -x

share_owner() {
  mkdir -p "$@"
  chown reception:tavomi "$@"
  chmod 2770 "$@"
}

# Two point-to-point links, one per client: the server is .1 on each.
case "$host" in
server)
  ip link set lo up
  ip addr add 10.0.1.1/24 dev eth0 && ip link set eth0 up
  ip addr add 10.0.2.1/24 dev eth1 && ip link set eth1 up
  share_owner /srv/tavomi/nfs3 /srv/tavomi/nfs4 /srv/tavomi/smb /srv/tavomi/smbnl
  cat >/etc/exports <<'EOF'
/srv/tavomi/nfs3 10.0.0.0/16(rw,sync,no_subtree_check)
/srv/tavomi/nfs4 10.0.0.0/16(rw,sync,no_subtree_check)
EOF
  # Samba as installed, one share for the reception account.
  if ! grep -q '^\[tavomi\]' /etc/samba/smb.conf; then
    for share in tavomi:smb tavomi-nolease:smbnl; do
      printf '[%s]\n   path = /srv/tavomi/%s\n   read only = no\n   valid users = reception\n' \
        "${share%%:*}" "${share#*:}" >>/etc/samba/smb.conf
    done
  fi
  printf 'lab\nlab\n' | smbpasswd -s -a reception
  systemctl start rpcbind nfs-server smbd
  exportfs -ra
  ;;
pca | pcb)
  ip link set lo up
  net=1
  [[ "$host" == pcb ]] && net=2
  server=10.0.$net.1
  ip addr add "10.0.$net.2/24" dev eth0 && ip link set eth0 up
  printf 'username=reception\npassword=lab\n' >/etc/tavomi.smb
  chmod 600 /etc/tavomi.smb
  # The README's lines: NFS with its defaults (the version named, so each is measured),
  # cifs with the credentials, group and modes given there and Samba's defaults otherwise.
  declare -A how=(
    [nfs3]="-t nfs -o vers=3 $server:/srv/tavomi/nfs3"
    [nfs4]="-t nfs -o vers=4.2 $server:/srv/tavomi/nfs4"
    [smb]="-t cifs -o credentials=/etc/tavomi.smb,gid=tavomi,file_mode=0660,dir_mode=0770 //$server/tavomi"
    # The same without leases: another PC's open then never waits for this one to give a
    # lease back.
    [smbnl]="-t cifs -o credentials=/etc/tavomi.smb,gid=tavomi,file_mode=0660,dir_mode=0770,nolease //$server/tavomi-nolease"
  )
  for p in nfs3 nfs4 smb smbnl; do
    mkdir -p "/mnt/$p/attendance_manegement"
    for _ in $(seq 60); do
      # shellcheck disable=SC2086
      mount ${how[$p]} "/mnt/$p/attendance_manegement" && break
      sleep 5
    done
  done
  grep -E ' (nfs|nfs4|cifs) ' /proc/mounts >"/lab/out/$host-mounts.txt"
  # A first lock on a fresh mount starts the lock services (statd for NFSv3): not part of
  # any scenario's timings. One record, no read-back.
  lab_writer="setpriv --reuid=reception --regid=tavomi --init-groups /lab/bin/tavomi-share-lab"
  for p in nfs3 nfs4 smb smbnl; do
    $lab_writer init "/mnt/$p"
    SHARE_LAB_DRAIN=0 SHARE_LAB_READ_BACK=0 $lab_writer write "/mnt/$p" "w${host:2:1}" 1 >/dev/null 2>&1
  done
  ;;
esac
set +x
touch "/lab/out/$host.ready"

mkdir -p "/lab/cmd/$host"
while true; do
  for f in "/lab/cmd/$host"/*.sh; do
    [[ -e "$f" ]] || continue
    mv "$f" "$f.taken"
    (
      bash "$f.taken" >"${f%.sh}.out" 2>&1
      echo $? >"${f%.sh}.rc"
    ) &
  done
  sleep 0.3
done
