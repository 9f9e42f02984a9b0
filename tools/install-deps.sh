#!/usr/bin/env bash
# Installs the Debian packages the build, the console and the tests need, when any is missing; with
# arguments, those packages instead.
set -euo pipefail

packages=(cmake g++ make pkg-config qt6-base-dev qt6-qpa-plugins qt6-svg-dev qt6-charts-dev libqt6opengl6-dev dpkg-dev file desktop-file-utils libgtest-dev libgmock-dev
          libbenchmark-dev libmodbus-dev clang-format ccache mbpoll socat ser2net xvfb xauth)
[ $# -gt 0 ] && packages=("$@")
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
