#!/usr/bin/env bash
# Benchmark (label bench; prints numbers, never fails on them): Lantorvix.exe under Wine,
# COM5 mapped onto a link whose pseudo-terminal hangs up and is made anew, 20 times: the
# time from the hang-up until the program let the old terminal go (Wine reports the failed
# wait about a second later), and from the device's return until it holds the new one
# open (the retry timer: Wine sends no device notices). Goal: back within 2 s.
E2E_SCANNER_LINK=scanner
source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_setup unplug_return_bench
returns=${BENCH_RETURNS:-20}

printf '[PORT]\r\nPortNum=5\r\n[PROGRAM]\r\nAddedString=ENTER\r\n' >"$e2e_app/Lantorvix.ini"
start_program

# The device number (major:minor, hex) of the character device at path.
device_number() { stat -L -c '%t:%T' "$1"; }
# Processes other than the simulator (which keeps its own terminal open) holding a descriptor
# on the device with that number. Each descriptor is stat'ed: its link text reads
# "/dev/pts/N (deleted)" after the hang-up whether or not it is still held.
# Only the program and the wine server (which holds its clients' files too) are looked at:
# stat'ing every descriptor of the machine takes longer than the times measured.
holders() {
  local fds=()
  for pid in $wine_pids; do fds+=(/proc/"$pid"/fd/*); done
  stat -L -c '%n %t:%T' "${fds[@]}" 2>/dev/null | grep " $1\$" | grep -v "^/proc/$e2e_sim_pid/" || true
}
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# ms_until <command...>: milliseconds until the command succeeds, looking every 10 ms; -1
# after 20 s.
ms_until() {
  local start end
  start=$(now_ms)
  end=$((start + 20000))
  until "$@"; do
    [ "$(now_ms)" -ge "$end" ] && { echo -1; return; }
    sleep 0.01
  done
  echo $(($(now_ms) - start))
}
held() { [ -n "$(holders "$1")" ]; }
released() { [ -z "$(holders "$1")" ]; }

wine_pids=
find_wine_pids() { wine_pids=$( (grep -lxE 'wineserver|Lantorvix.exe' /proc/[0-9]*/comm 2>/dev/null || true) | cut -d/ -f3 | tr '\n' ' '); }
opened_first() { find_wine_pids && held "$1"; }
[ "$(ms_until opened_first "$(device_number "$e2e_pty")")" -ge 0 ] || { echo "the program did not open COM5" >&2; exit 1; }
find_wine_pids # here, not in the measuring subshells
closed=() back=()
for ((i = 0; i < returns; ++i)); do
  # A scanner in use for more than a second: a quicker loss counts as a failing device.
  sleep 1.1
  old=$(device_number "$e2e_pty")
  unplug_scanner
  closed+=("$(ms_until released "$old")")
  start_scanner
  back+=("$(ms_until held "$(device_number "$e2e_pty")")")
done

# percentile <p> <values...>
percentile() {
  local p=$1
  shift
  printf '%s\n' "$@" | sort -n | awk -v p="$p" '{ v[NR] = $1 } END { i = int(p * (NR - 1) + 0.5) + 1; print v[i] }'
}
echo "Lantorvix.exe under Wine, $returns unplugs (-1: did not happen within 20 s)"
echo "  hang-up to the old terminal let go: p50 $(percentile 0.5 "${closed[@]}") ms, p99 $(percentile 0.99 "${closed[@]}") ms"
echo "  device back to port open again (goal < 2000 ms): p50 $(percentile 0.5 "${back[@]}") ms, p99 $(percentile 0.99 "${back[@]}") ms"
if [ -n "${LANTORVIX_BENCH_RESULTS:-}" ]; then
  mkdir -p "$LANTORVIX_BENCH_RESULTS"
  printf '{\n  "wine_hang_up_to_old_tty_closed_p50_ms": %s,\n  "wine_hang_up_to_old_tty_closed_p99_ms": %s,\n  "wine_device_back_to_port_open_p50_ms": %s,\n  "wine_device_back_to_port_open_p99_ms": %s\n}\n' \
    "$(percentile 0.5 "${closed[@]}")" "$(percentile 0.99 "${closed[@]}")" \
    "$(percentile 0.5 "${back[@]}")" "$(percentile 0.99 "${back[@]}")" >"$LANTORVIX_BENCH_RESULTS/recovery_wine.json"
fi
