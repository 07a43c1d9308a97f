#!/usr/bin/env bash
# Installs the Debian packages Tavomi builds, tests and runs with; quiet and
# quick when everything is already there. Uses sudo when not run as root.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-svg-dev libqt6svg6
  fonts-noto-cjk fonts-ipafont-gothic
  libpcsclite-dev pcscd libccid vsmartcard-vpcd pcsc-tools
  libgtest-dev libgmock-dev libbenchmark-dev
  iproute2 util-linux xauth xvfb poppler-utils
  dpkg-dev lintian desktop-file-utils x11-utils  # make package and its test
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

as_root() { if [[ $(id -u) -eq 0 ]]; then "$@"; else sudo "$@"; fi; }

# The vpcd package would register its virtual reader with the system's own pcscd;
# that reader listens on all interfaces, so anyone on the network could present
# any card. Tests and the demo use a private configuration instead, so dpkg is
# told never to install that file, before the package is installed.
vpcd_conf=/etc/reader.conf.d/vpcd
vpcd_exclude=/etc/dpkg/dpkg.cfg.d/tavomi-no-vpcd-reader
if [[ "$(cat "$vpcd_exclude" 2>/dev/null)" != "path-exclude=$vpcd_conf" ]]; then
  echo "path-exclude=$vpcd_conf" | as_root tee "$vpcd_exclude" >/dev/null
fi
# A copy installed before that rule existed goes; dpkg then keeps it away on upgrades.
if [[ -e "$vpcd_conf" ]]; then
  as_root rm -f "$vpcd_conf"
fi

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -qq
  # pcscd must not start as a system service from the package's scripts in CI
  # containers; policy-rc.d is honoured by invoke-rc.d.
  as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

