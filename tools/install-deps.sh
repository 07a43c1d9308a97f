#!/usr/bin/env bash
# Installs the Debian packages one task needs, and only those; quiet and quick when
# everything is already there (then it needs no sudo and writes nothing).
#   tools/install-deps.sh build   building the programs and the package (make, make package)
#   tools/install-deps.sh demo    build, and what `make run` starts: the smart-card service,
#                                 the virtual reader, the Japanese fonts
#   tools/install-deps.sh test    demo, and the test and benchmark tools (make test, make bench)
# Uses sudo when not run as root.
set -euo pipefail

set_name=${1:-test}

build_packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-svg-dev libqt6svg6
  libpcsclite-dev
  dpkg-dev  # make package: dpkg-shlibdeps
)
demo_packages=(
  fonts-noto-cjk fonts-ipafont-gothic
  pcscd libccid vsmartcard-vpcd pcsc-tools
  iproute2 util-linux  # the virtual readers' private network namespace
)
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev
  xauth xvfb x11-utils poppler-utils
  lintian desktop-file-utils  # the package's test
)

case "$set_name" in
  build) packages=("${build_packages[@]}") ;;
  demo) packages=("${build_packages[@]}" "${demo_packages[@]}") ;;
  test) packages=("${build_packages[@]}" "${demo_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: $0 build|demo|test" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

as_root() { if [[ $(id -u) -eq 0 ]]; then "$@"; else sudo "$@"; fi; }

# The vpcd package would register its virtual reader with the system's own pcscd;
# that reader listens on all interfaces, so anyone on the network could present
# any card. Tests and the demo use a private configuration instead, so dpkg is
# told never to install that file, before the package is installed. Only where the
# virtual reader is wanted, and only when the rule or the file is not as it should be.
if [[ "$set_name" != build ]]; then
  vpcd_conf=/etc/reader.conf.d/vpcd
  vpcd_exclude=/etc/dpkg/dpkg.cfg.d/tavomi-no-vpcd-reader
  if [[ "$(cat "$vpcd_exclude" 2>/dev/null)" != "path-exclude=$vpcd_conf" ]]; then
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
