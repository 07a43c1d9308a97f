#!/usr/bin/env bash
# Installs the Debian packages that one task needs, and nothing more; quiet and quick when
# they are all there. Uses sudo when not run as root, and only when something is missing.
# usage: tools/install-deps.sh build|package|demo|screenshots|test|share-lab...
#   build        compile the programs
#   package      build plus what `make package` needs
#   demo         build plus what `make run` starts: the smart-card service, the virtual
#                readers and Japanese fonts
#   screenshots  build plus what `make screenshots` draws with: Japanese fonts, a PDF
#                renderer and a PNG optimiser
#   test         everything: the demo, the package, the screenshots, the test frameworks
#                and a virtual display
#   share-lab    build plus what `make share-lab` runs: debootstrap and qemu for three
#                virtual machines, socat for their monitors (not part of test)
set -euo pipefail

build=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-svg-dev libqt6svg6 libpcsclite-dev
  libcanberra-dev
  libxlsxwriter-dev  # the month's workbook
  qt6-tools-dev qt6-l10n-tools)  # lrelease for the tools' Japanese messages
package=("${build[@]}" dpkg-dev file)
demo=("${build[@]}" pcscd libccid vsmartcard-vpcd iproute2 util-linux
  fonts-noto-cjk fonts-ipafont-gothic
  qt6-translations-l10n)  # Qt's own dialogs and buttons in Japanese
screenshots=("${build[@]}" fonts-noto-cjk fonts-ipafont-gothic poppler-utils optipng)
test=("${package[@]}" "${demo[@]}" "${screenshots[@]}"
  libgtest-dev libgmock-dev libbenchmark-dev
  xauth xvfb x11-utils poppler-utils
  lintian desktop-file-utils sudo systemd  # the package's checks, its installation as README says
  libfuse3-dev fuse3  # the stand-in file share of tests/share
  python3-openpyxl)  # reads the month's workbook back
share_lab=("${build[@]}" debootstrap qemu-system-x86 qemu-utils e2fsprogs socat util-linux)

[[ $# -ge 1 ]] || { sed -n '4,14s/^# \{0,1\}//p' "$0" >&2; exit 2; }
wanted=()
for set in "$@"; do
  case "$set" in
  build) wanted+=("${build[@]}") ;;
  package) wanted+=("${package[@]}") ;;
  demo) wanted+=("${demo[@]}") ;;
  screenshots) wanted+=("${screenshots[@]}") ;;
  test) wanted+=("${test[@]}") ;;
  share-lab) wanted+=("${share_lab[@]}") ;;
  *) echo "install-deps: unknown set '$set' (build, package, demo, screenshots, test or share-lab)" >&2; exit 2 ;;
  esac
done

missing=()
for p in $(printf '%s\n' "${wanted[@]}" | sort -u); do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

as_root() {
  if [[ $(id -u) -eq 0 ]]; then
    "$@"
  elif command -v sudo >/dev/null; then
    sudo "$@"
  else
    echo "install-deps: this needs root and sudo is not installed; as root run:" \
      "apt-get install ${missing[*]}" >&2
    exit 1
  fi
}

# The vpcd package would register its virtual reader with the system's own pcscd;
# that reader listens on all interfaces, so anyone on the network could present
# any card. Tests and the demo use a private configuration instead, so dpkg is
# told never to install that file, before the package is installed. Where the package
# is there already and its file is not, nothing is written: a user without sudo is
# never asked for a password when nothing is missing.
vpcd_conf=/etc/reader.conf.d/vpcd
vpcd_exclude=/etc/dpkg/dpkg.cfg.d/tavomi-no-vpcd-reader
if printf '%s\n' "${wanted[@]}" | grep -qx vsmartcard-vpcd; then
  if [[ "$(cat "$vpcd_exclude" 2>/dev/null)" != "path-exclude=$vpcd_conf" ]] &&
    { [[ $(id -u) -eq 0 || -e "$vpcd_conf" ]] ||
      printf '%s\n' "${missing[@]}" | grep -qx vsmartcard-vpcd; }; then
    echo "path-exclude=$vpcd_conf" | as_root tee "$vpcd_exclude" >/dev/null
  fi
  # A copy installed before that rule existed goes; dpkg then keeps it away on upgrades.
  if [[ -e "$vpcd_conf" ]]; then
    as_root rm -f "$vpcd_conf"
  fi
fi

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -qq
  as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
