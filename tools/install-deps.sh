#!/usr/bin/env bash
# Installs the Debian packages that are missing.
#   tools/install-deps.sh run       what the programs need to build and run, and the virtual display of
#                                   run.sh's demo (./run.sh)
#   tools/install-deps.sh [test]    that, plus what the tests, the benchmarks and the checks need (./test.sh)
#   tools/install-deps.sh PKG...    those packages
set -euo pipefail

run_packages=(cmake g++ make pkg-config gzip
              qt6-base-dev qt6-qpa-plugins qt6-svg-dev qt6-charts-dev libqt6opengl6-dev
              libsqlite3-dev libmosquitto-dev nlohmann-json3-dev libcli11-dev
              xvfb xauth)
test_packages=("${run_packages[@]}"
               libgtest-dev libgmock-dev libbenchmark-dev libmodbus-dev mbpoll socat ser2net
               sqlite3 mosquitto mosquitto-clients
               dpkg-dev file desktop-file-utils lintian clang-format ccache)

case "${1:-test}" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${test_packages[@]}") ;;
  *) packages=("$@") ;;
esac
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
