#!/usr/bin/env bash
# Makes the lab's one disk image: Debian 12 from the configured mirror with a kernel,
# the NFS server and Samba, both clients, and the Qt Core the writer needs. The same
# image boots as the file server and as each PC; the kernel command line says which
# (lab.host=server|pca|pcb), and the agent on the 9p share does the rest.
# usage: make-image.sh OUTDIR    (writes OUTDIR/root.img, vmlinuz, initrd.img)
set -euo pipefail

out=$1
work=$out/image-work
root=$work/root
mkdir -p "$out"
rm -rf "$work"
mkdir -p "$root"
trap 'rm -rf "$work"' EXIT

# The mirror this machine's apt uses; no other source is reached.
mirror=$(grep -rhoE 'https?://[^ ]+/debian/?( |$)' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null |
  grep -v security | head -n1 | tr -d " " || true)
mirror=${mirror:-http://deb.debian.org/debian}

packages=(systemd-sysv udev kmod linux-image-amd64 initramfs-tools iproute2 procps psmisc
  nfs-kernel-server nfs-common samba cifs-utils libqt6core6)
echo "share-lab: debootstrap bookworm from $mirror"
debootstrap --variant=minbase --include="$(
  IFS=,
  echo "${packages[*]}"
)" bookworm "$root" "$mirror" >"$work/../debootstrap.log" 2>&1 ||
  {
    tail -n 30 "$work/../debootstrap.log" >&2
    exit 1
  }

# Ask systemd to start the agent (on the 9p share) and nothing the lab does not use.
cat >"$root/etc/systemd/system/lab-agent.service" <<'EOF'
[Unit]
Description=share lab agent
After=local-fs.target
[Service]
ExecStart=/bin/sh -c 'mkdir -p /lab && mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 lab /lab && exec /bin/bash /lab/guest-agent.sh'
Restart=no
[Install]
WantedBy=multi-user.target
EOF
chroot "$root" systemctl enable lab-agent.service >/dev/null 2>&1
for unit in nfs-server smbd nmbd samba-ad-dc apt-daily.timer apt-daily-upgrade.timer \
  e2scrub_all.timer fstrim.timer; do
  chroot "$root" systemctl disable "$unit" >/dev/null 2>&1 || true
done
echo "/dev/vda / ext4 rw,relatime 0 1" >"$root/etc/fstab"
echo lab >"$root/etc/hostname"
# The account and group the README sets up on a reception PC, the same ids everywhere.
chroot "$root" groupadd -g 1001 tavomi
chroot "$root" useradd -m -u 1001 -g tavomi reception
echo 'root:lab' | chroot "$root" chpasswd
chroot "$root" apt-get clean

cp -L "$root/vmlinuz" "$out/vmlinuz"
cp -L "$root/initrd.img" "$out/initrd.img"
rm -f "$out/root.img"
mkfs.ext4 -q -L labroot -d "$root" "$out/root.img" 3G
echo "share-lab: image ready in $out"
