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
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

as_root() { if [[ $(id -u) -eq 0 ]]; then "$@"; else sudo "$@"; fi; }

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -qq
  # pcscd must not start as a system service from the package's scripts in CI
  # containers; policy-rc.d is honoured by invoke-rc.d.
  as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The vpcd package registers its virtual reader with the system's own pcscd;
# that reader listens on all interfaces, so anyone on the network could
# present any card. Tests and the demo use a private configuration instead.
if [[ -e /etc/reader.conf.d/vpcd ]]; then
  as_root rm -f /etc/reader.conf.d/vpcd
fi
