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

# Times, the port's name, line ends and why results are not stored (no INI file here; no store in
# the Windows build) are what may differ.
normalise() {
  sed -e 's/\r$//' -e "s|$link|COM1|g" -e 's/^vexlo-cli: \(results are not stored\|This build has no SQLite\).*/NOT STORED/' \
      -e 's/[0-9]\{4\}-[0-9][0-9]-[0-9][0-9]T[0-9:.]*[+-][0-9][0-9]:[0-9][0-9]/TIME/g' "$1"
}

transcript linux "$link" "$linux" >"$scratch/linux.txt"
transcript windows COM1 "$wine" "$exe" >"$scratch/windows.txt"
if ! diff -u <(normalise "$scratch/linux.txt") <(normalise "$scratch/windows.txt") >"$scratch/cli.diff"; then
  fail "prints otherwise than the Linux build:"
  cat "$scratch/cli.diff" >&2
fi
# Both builds could fail alike: what must have happened.
for expected in "cycles 2, started 2, results 2, passed 2" "0110: 0xcafe 51966" "station 9 --retries 2: exit 1" \
                "This build has no SQLite"; do
  grep -qF "$expected" "$scratch/windows.txt" || fail "no \"$expected\" in its transcript"
done

# A refused entry: exit 2, its message, and not a byte on the line.
start_sim
(cd "$scratch/windows" && "$wine" "$exe" write-word 110 2,5 --port COM1 >out 2>err)
code=$?
frames=$(stop_sim)
[ $code -eq 2 ] || fail "a refused entry exits $code, not 2"
grep -q 'VALUE "2,5"' "$scratch/windows/err" || fail "a refused entry is not named: $(cat "$scratch/windows/err")"
[[ $frames == *" 0 frames answered, 0 ignored, 0 bytes dropped" ]] || fail "a refused entry reached the line: $frames"

# Sends Ctrl-C to a run and gives its exit status (137 when it had to be killed).
ctrl_c() {
  kill -INT "$1"
  for _ in $(seq 300); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$1" 2>/dev/null
  wait "$1"
}

# Ctrl-C (Wine turns SIGINT into the console's Ctrl-C event) stops a long cycle: exit 130, and the
# CSV file holds every result printed.
start_sim
(cd "$scratch/windows" && exec "$wine" "$exe" cycle --count 1000 --csv stop.csv --port COM1 >stop.out 2>stop.err) &
run_pid=$!
for _ in $(seq 600); do grep -q '^Leak:' "$scratch/windows/stop.out" 2>/dev/null && break; sleep 0.1; done
ctrl_c "$run_pid"
code=$?
# Beside an INI file the Windows build, which has no results store, says so once.
touch "$scratch/windows/VexloModbusTester.ini"
(cd "$scratch/windows" && "$wine" "$exe" last-result --port COM1 --station 1 >out 2>err) || fail "last-result beside an INI file failed"
[ "$(grep -c "not saved" "$scratch/windows/err")" -eq 1 ] || fail "does not say once that results are not saved: $(cat "$scratch/windows/err")"
rm "$scratch/windows/VexloModbusTester.ini"
stop_sim >/dev/null
[ $code -eq 130 ] || fail "Ctrl-C ends a cycle with exit $code, not 130"
printed=$(grep -c '^Leak:' "$scratch/windows/stop.out")
rows=$(($(tr -d '\r' <"$scratch/windows/stop.csv" | wc -l) - 1))
[ "$printed" -ge 1 ] && [ "$rows" -eq "$printed" ] || fail "Ctrl-C: $printed results printed, $rows in the CSV file"

# Serial device servers on the loopback, in front of the simulator (Wine's sockets are the host's):
# socat in raw mode (one connection per start), ser2net speaking RFC 2217.
free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 20000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
  done
}
server_pid=""
start_server() {  # raw|rfc2217 PORT
  if [ "$1" = raw ]; then
    socat -d -d "TCP-LISTEN:$2,bind=127.0.0.1,reuseaddr" "FILE:$link,raw,echo=0" 2>"$scratch/server.log" &
    server_pid=$!
    for _ in $(seq 100); do grep -q "listening on" "$scratch/server.log" && return; sleep 0.1; done
  else
    printf '%%YAML 1.1\n---\nconnection: &instrument\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%s\n  enable: on\n  connector: serialdev,%s,9600n81,local\n' \
      "$2" "$link" >"$scratch/ser2net.yaml"
    ser2net -n -d -c "$scratch/ser2net.yaml" >"$scratch/server.log" 2>&1 &
    server_pid=$!
    for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$2") 2>/dev/null && return; sleep 0.1; done
  fi
  fail "the $1 server on port $2 did not start"
}
stop_server() { kill "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null; server_pid=""; }
trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null' EXIT
net="$scratch/net"
mkdir -p "$net"
start_sim

# Raw TCP: the same status as the Linux build reads through the same server.
port=$(free_port)
start_server raw "$port"
(cd "$net" && "$linux" status --port "tcp://127.0.0.1:$port" >linux.txt 2>&1)
stop_server
start_server raw "$port"
(cd "$net" && "$wine" "$exe" status --port "tcp://127.0.0.1:$port" >windows.txt 2>&1) || fail "tcp://: status failed"
stop_server
diff <(tr -d '\r' <"$net/linux.txt") <(tr -d '\r' <"$net/windows.txt") >&2 || fail "tcp://: status otherwise than the Linux build"

# RFC 2217: 0xFFFF goes out escaped and comes back whole.
rfc_port=$(free_port)
start_server rfc2217 "$rfc_port"
rfc="rfc2217://127.0.0.1:$rfc_port"
(cd "$net" && "$wine" "$exe" write-word 110 65535 --port "$rfc" >write.txt 2>&1) || fail "$rfc: write-word failed: $(cat "$net/write.txt")"
(cd "$net" && "$wine" "$exe" read 110 --port "$rfc" >read.txt 2>&1)
grep -q "^0110: 0xffff 65535" "$net/read.txt" || fail "$rfc: 0xFFFF not read back: $(cat "$net/read.txt")"

# A server killed and restarted while watch polls through it: the polls fail, then the port comes
# back by itself; Ctrl-C ends the watch.
good='station 1: [0-9a-f]{4} '
stop_server
for kind in raw rfc2217; do
  if [ "$kind" = raw ]; then url="tcp://127.0.0.1:$port"; else url=$rfc; fi
  start_server "$kind" "${url##*:}"
  log="$net/watch-$kind.txt"
  (cd "$net" && exec "$wine" "$exe" watch --stations 1 --interval 100 --port "$url" >"$log" 2>&1) &
  watch_pid=$!
  for _ in $(seq 300); do grep -Eq "$good" "$log" && break; sleep 0.1; done
  stop_server
  for _ in $(seq 300); do grep -q "no valid answer" "$log" && break; sleep 0.1; done
  start_server "$kind" "${url##*:}"
  restarted=$(date +%s.%N)
  for _ in $(seq 300); do sed '1,/no valid answer/d' "$log" | grep -Eq "$good" && break; sleep 0.1; done
  ctrl_c "$watch_pid"
  code=$?
  back=$(sed '1,/no valid answer/d' "$log" | grep -E "$good" | head -n1 | cut -d' ' -f1)
  if [ -z "$back" ]; then
    fail "$url: watch did not come back after the server's restart"
  else
    awk -v url="$url" -v back="$(date -d "$back" +%s.%N)" -v restarted="$restarted" \
      'BEGIN { printf "vexlo-cli.exe: %s back %.1f s after its server restarted\n", url, back - restarted }'
  fi
  [ $code -eq 130 ] || fail "$url: watch stopped by Ctrl-C exits $code, not 130"
  stop_server
done
stop_sim >/dev/null

[ $failures -eq 0 ] && echo "vexlo-cli.exe under Wine prints what the Linux build prints."
exit $((failures > 0))
