#!/usr/bin/env bash
# Sets up what the programs need, builds them (without the tests: ./test.sh builds those), and starts
# the console.
#   ./run.sh                      against the simulated instrument (started here on a pseudo-terminal)
#   ./run.sh --port /dev/ttyUSB0  against a real instrument on that port
# The console runs in build-run/demo/, where its INI file maps COM1 to the port; it opens idle until
# "Real time status" is switched on. Without a display it runs on a virtual one, with "Real time
# status" on, and leaves a screenshot in build-run/demo/.
set -euo pipefail
cd "$(dirname "$0")"

port=""
while [ $# -gt 0 ]; do
  case "$1" in
    --port) port="${2:?--port needs a device path}"; shift 2 ;;
    --port=*) port="${1#--port=}"; shift ;;
    *) echo "usage: ./run.sh [--port DEVICE]" >&2; exit 2 ;;
  esac
done

tools/install-deps.sh run
cmake -S . -B build-run -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXLO_BUILD_TESTS=OFF -DVEXLO_BUILD_BENCH=OFF >/dev/null
cmake --build build-run -j"$(nproc)" --target VexloModbusTester vexlo-sim vexlo-cli vexlo-screenshot

demo="$PWD/build-run/demo"
mkdir -p "$demo"
cd "$demo"
station=1
sim_pid=""
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true; }
trap cleanup EXIT

if [ -z "$port" ]; then
  rm -f sim.out
  ../bin/vexlo-sim --station "$station" --fifo 2 --link "$demo/instrument" >sim.out 2>sim.log &
  sim_pid=$!
  for _ in $(seq 50); do [ -s sim.out ] && break; sleep 0.1; done
  port="$demo/instrument"
  echo "Simulated instrument at station $station on $(head -n1 sim.out) (linked as $port)"
fi

# COM1 is the port; the link settings keep what the operator chose before, or start at COM1.
cat > VexloModbusTester.ini.new <<INI
[Ports]
COM1=$port
INI
if [ -f VexloModbusTester.ini ] && grep -qi '^\[Modbus\]' VexloModbusTester.ini; then
  sed -n '/^\[[Mm][Oo][Dd][Bb][Uu][Ss]\]/,/^\[/p' VexloModbusTester.ini | sed '${/^\[/d}' >> VexloModbusTester.ini.new
else
  printf '[Modbus]\nComPort=0\nStation=%s\nAccessMode=0\nUSB_RS232=0\n' "$station" >> VexloModbusTester.ini.new
fi
mv VexloModbusTester.ini.new VexloModbusTester.ini

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  ../bin/VexloModbusTester
else
  echo "No display: running the console on a virtual one, polling the instrument, for a picture."
  rm -f "$demo/screenshot.png"
  xvfb-run -a -s "-screen 0 1600x1000x24" ../bin/vexlo-screenshot --screen "$demo/screenshot.png" || true
  if [ -f "$demo/screenshot.png" ]; then
    echo "Screenshot of the console: $demo/screenshot.png"
  else
    echo "The console ran, but no screenshot could be taken." >&2
  fi
fi
