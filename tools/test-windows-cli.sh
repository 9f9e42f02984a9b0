#!/usr/bin/env bash
# vexlo-cli.exe under Wine against the simulated instrument, called by tools/test-windows.sh with
# Wine's prefix set up and COM1 mapped onto LINK: the same commands run through the Linux build on
# LINK and through the Windows build on COM1, each against a fresh simulator, and both transcripts
# must match (times, the port's name and line ends aside).
# Usage: tools/test-windows-cli.sh WINE LINK SCRATCH
set -uo pipefail
cd "$(dirname "$0")/.."
wine=$1 link=$2 scratch=$3
exe="$PWD/build-win/bin/vexlo-cli.exe"
linux="$PWD/build/bin/vexlo-cli"
note="vexlo-cli: results are not stored by the Windows build"
failures=0
fail() { echo "vexlo-cli.exe: $*" >&2; failures=$((failures + 1)); }

sim_pid=""
start_sim() {
  build/bin/vexlo-sim --station 1 --fifo 2 --speed 20 --link "$link" >"$scratch/cli-sim.out" 2>"$scratch/cli-sim.log" &
  sim_pid=$!
  for _ in $(seq 100); do [ -s "$scratch/cli-sim.out" ] && return; sleep 0.1; done
  fail "the simulator did not start"
}
# Stops the simulator; its last line counts the frames it saw.
stop_sim() {
  kill "$sim_pid" 2>/dev/null
  wait "$sim_pid" 2>/dev/null
  sim_pid=""
  tail -n1 "$scratch/cli-sim.log"
}
trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null' EXIT

# The same session on both builds: two cycles into a CSV file, reads, a write read back, a station
# that does not answer.
commands=(
  "status"
  "cycle --count 2 --csv cycle.csv"
  "last-result --json"
  "read 110 2"
  "write-word 110 51966"
  "read 110"
  "status --station 9 --retries 2"
)

# transcript NAME PORT PROGRAM...: runs the commands in a directory of its own, prints what each
# printed and its exit status.
transcript() {
  local name=$1 port=$2
  shift 2
  local work="$scratch/$name"
  mkdir -p "$work"
  start_sim
  for command in "${commands[@]}"; do
    read -ra words <<<"$command"
    (cd "$work" && "$@" "${words[@]}" --port "$port" >out 2>err)
    echo "\$ vexlo-cli $command: exit $?"
    cat "$work/out" "$work/err"
    if [ -f "$work/cycle.csv" ]; then cat "$work/cycle.csv"; rm "$work/cycle.csv"; fi
  done
  stop_sim >/dev/null
}

# Times, the port's name and line ends are what may differ.
normalise() {
  sed -e 's/\r$//' -e "s|$link|COM1|g" \
      -e 's/[0-9]\{4\}-[0-9][0-9]-[0-9][0-9]T[0-9:.]*[+-][0-9][0-9]:[0-9][0-9]/TIME/g' "$1"
}

transcript linux "$link" "$linux" >"$scratch/linux.txt"
transcript windows COM1 "$wine" "$exe" >"$scratch/windows.txt"
# The Windows build says once, at the first result, that it keeps no store.
[ "$(grep -c "^$note" "$scratch/windows.txt")" -eq 2 ] || fail "does not say once per command that results are not stored"
grep -v "^$note" "$scratch/windows.txt" >"$scratch/windows-only.txt"
if ! diff -u <(normalise "$scratch/linux.txt") <(normalise "$scratch/windows-only.txt") >"$scratch/cli.diff"; then
  fail "prints otherwise than the Linux build:"
  cat "$scratch/cli.diff" >&2
fi
grep -q "exit 1$" <(grep -F 'station 9' "$scratch/windows.txt") || fail "an unanswered station does not exit 1"

# A refused entry: exit 2, its message, and not a byte on the line.
start_sim
(cd "$scratch/windows" && "$wine" "$exe" write-word 110 2,5 --port COM1 >out 2>err)
code=$?
frames=$(stop_sim)
[ $code -eq 2 ] || fail "a refused entry exits $code, not 2"
grep -q 'VALUE "2,5"' "$scratch/windows/err" || fail "a refused entry is not named: $(cat "$scratch/windows/err")"
[[ $frames == *" 0 frames answered, 0 ignored, 0 bytes dropped" ]] || fail "a refused entry reached the line: $frames"

# Ctrl-C (Wine turns SIGINT into the console's Ctrl-C event) stops a long cycle: exit 130, and the
# CSV file holds every result printed.
start_sim
(cd "$scratch/windows" && exec "$wine" "$exe" cycle --count 1000 --csv stop.csv --port COM1 >stop.out 2>stop.err) &
run_pid=$!
for _ in $(seq 600); do grep -q '^Leak:' "$scratch/windows/stop.out" 2>/dev/null && break; sleep 0.1; done
kill -INT "$run_pid"
for _ in $(seq 300); do kill -0 "$run_pid" 2>/dev/null || break; sleep 0.1; done
kill -9 "$run_pid" 2>/dev/null && fail "Ctrl-C does not stop a cycle"
wait "$run_pid"
code=$?
stop_sim >/dev/null
[ $code -eq 130 ] || fail "Ctrl-C ends a cycle with exit $code, not 130"
printed=$(grep -c '^Leak:' "$scratch/windows/stop.out")
rows=$(($(tr -d '\r' <"$scratch/windows/stop.csv" | wc -l) - 1))
[ "$printed" -ge 1 ] && [ "$rows" -eq "$printed" ] || fail "Ctrl-C: $printed results printed, $rows in the CSV file"

[ $failures -eq 0 ] && echo "vexlo-cli.exe under Wine prints what the Linux build prints."
exit $((failures > 0))
