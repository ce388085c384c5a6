#!/usr/bin/env bash
# Installs every package the build, the tests and the demo need on a fresh Debian 12 machine.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
PKGS=(
  cmake g++ make pkg-config ninja-build
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-tools-dev-tools libgl-dev
  libqt6svg6 qt6-qpa-plugins
  libcurl4-openssl-dev libpugixml-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcpp-httplib-dev libssl-dev
  iproute2 iputils-ping procps psmisc
  xvfb xauth x11-utils imagemagick
  clang libclang-rt-14-dev
  fonts-noto-cjk fonts-dejavu-core
  libminiupnpc-dev libnatpmp-dev miniupnpd
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  # miniupnpd is only run by the tests, inside the virtual LAN's router namespace: never as a
  # service of this machine.
  echo "miniupnpd miniupnpd/start_daemon boolean false" | $SUDO debconf-set-selections
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
