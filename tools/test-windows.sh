#!/usr/bin/env bash
# Cross-builds the core, its tests and vexlo-cli.exe for 64-bit Windows with mingw-w64 and runs them
# under Wine: the core tests first, then the Win32 serial backend on COM1, which Wine maps onto a
# pseudo-terminal of the simulated instrument, then vexlo-cli.exe against the Linux build's output
# (tools/test-windows-cli.sh). Leaves build-win/dist/vexlo-cli-<version>-win64.zip. Installs what it
# needs (as root, or through sudo).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh g++-mingw-w64-x86-64-posix wine64 libgtest-dev cmake make libcli11-dev nlohmann-json3-dev \
                      groff-base zip socat ser2net

# The simulated instrument and the Linux vexlo-cli, whose output the Windows one must match, run natively.
[ -f build/CMakeCache.txt ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target vexlo-sim vexlo-cli >/dev/null

cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
      -DVEXLO_BUILD_GUI=OFF -DVEXLO_BUILD_BENCH=OFF >/dev/null
cmake --build build-win -j"$(nproc)"

# The zip for Windows PCs: the program, one file with its runtimes inside, and its manual as text.
if x86_64-w64-mingw32-objdump -p build-win/bin/vexlo-cli.exe | grep -i 'DLL Name: lib'; then
  echo "vexlo-cli.exe needs the DLLs above beside it: it must carry its runtimes" >&2
  exit 1
fi
version=$(sed -n 's/^project(VexloModbusTester VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
rm -rf build-win/dist && mkdir -p build-win/dist
cp build-win/bin/vexlo-cli.exe build-win/dist/
groff -man -Tascii -rHY=0 -P-bcou packaging/vexlo-cli.1 | sed 's/$/\r/' >build-win/dist/vexlo-cli.txt
(cd build-win/dist && zip -q -X "vexlo-cli-$version-win64.zip" vexlo-cli.exe vexlo-cli.txt)

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
export WINEPREFIX="$PWD/build-win/wine" WINEDEBUG=-all WINEARCH=win64
[ -f "$WINEPREFIX/system.reg" ] || "$wine" wineboot --init >/dev/null 2>&1 || true

scratch=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# A server of our own, quiet, so that the one wine would start does not print its objects when it goes.
"$wineserver" -p >/dev/null 2>&1 &

status=0
(cd "$scratch" && "$wine" "$OLDPWD/build-win/bin/core_tests.exe") || status=1

# COM1 is a link that each simulator started here points at its own pseudo-terminal.
link="$scratch/com1"
build/bin/vexlo-sim --station 1 --fifo 2 --link "$link" >"$scratch/sim.out" 2>"$scratch/sim.log" &
sim_pid=$!
for _ in $(seq 50); do [ -s "$scratch/sim.out" ] && break; sleep 0.1; done
# Wine names its COM ports from this key (its own links in dosdevices follow it at the next start).
"$wine" reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$link" /f >/dev/null 2>&1
"$wineserver" -k >/dev/null 2>&1 || true
"$wineserver" -p >/dev/null 2>&1 &
(cd "$scratch" && "$wine" "$OLDPWD/build-win/bin/com_port_tests.exe") || status=1
kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null || true
sim_pid=""
tools/test-windows-cli.sh "$wine" "$link" "$scratch" || status=1

if [ $status -eq 0 ]; then
  echo "The Windows build of the core and vexlo-cli.exe pass their tests under Wine."
else
  echo "Windows tests under Wine failed." >&2
fi
exit $status
