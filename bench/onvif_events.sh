#!/usr/bin/env bash
# What a quirky ONVIF camera's events cost tavolin-watch, against a normal
# camera in the same run (each watcher streams 320x240 video besides):
#  1. resident size after SECONDS against a camera whose every pull answer
#     names 32 new input tokens, beside the same against a normal camera;
#  2. pulls a second and processor time against a camera that answers every
#     pull at once, beside the same against a normal camera;
#  3. pull points left on a camera with two of them after 20 watchers ran
#     one after another (subscriptions made minus given back).
#   bench/onvif_events.sh [BUILD_DIR] [SECONDS]
# Needs tavolin-watch and tavolin-camsim built in BUILD_DIR (default
# build/default). SECONDS (default 600) is the length of parts 1 and 2, which
# run side by side. Only 127.0.0.1 is used.
set -euo pipefail

build=${1:-build/default}
seconds=${2:-600}
export TAVOLIN_LOOPBACK_ONLY=1

source "$(dirname "$0")/bench_session.sh"
bench_needs_programs tavolin-watch tavolin-camsim

# Starts a simulated ONVIF camera with the given fault; prints its port.
start_camera() {
  local name=$1 fault=$2 log="$work/camsim-$1.log" port=""
  "$build/bin/tavolin-camsim" --onvif --http-port 0 --discovery-port 0 --no-audio --onvif-fault "$fault" \
    >"$log" 2>&1 </dev/null &
  pids+=($!)
  for _ in $(seq 100); do
    port=$(sed -n 's|.*ONVIF at http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$log" | head -1)
    [[ -n $port ]] && break
    sleep 0.1
  done
  [[ -n $port ]] || { echo "the $name camera did not start" >&2; exit 1; }
  echo "$port"
}

# Starts tavolin-watch on a camera's port for `seconds`; leaves its id in $watcher.
start_watch() {
  "$build/bin/tavolin-watch" --onvif "127.0.0.1:$2" --user admin --password admin --seconds "$seconds" \
    >"$work/watch-$1.log" 2>&1 </dev/null &
  watcher=$!
  pids+=("$watcher")
}

resident_kb() { awk '/VmRSS/ { print $2 }' "/proc/$1/status"; }
pulls() { grep -c "received events PullMessages" "$work/camsim-$1.log" || true; }

flood_port=$(start_camera flood token-flood)
at_once_port=$(start_camera at-once pull-at-once)
normal_port=$(start_camera normal none)
start_watch flood "$flood_port"
flood=$watcher
start_watch at-once "$at_once_port"
at_once=$watcher
start_watch normal "$normal_port"
normal=$watcher

# Processor time and pulls from the tenth second on, when the streams run.
started=$SECONDS
sleep 10
cpu_at_once_start=$(cpu_seconds "$at_once")
cpu_normal_start=$(cpu_seconds "$normal")
pulls_at_once_start=$(pulls at-once)
pulls_normal_start=$(pulls normal)
measured_from=$SECONDS
echo "watchers against three simulated ONVIF cameras for $seconds s; resident size (kB):"
echo "  time    token flood    normal"
last=$((seconds - 5))
for t in $(seq 60 60 $((last - 1))) "$last"; do
  wait_for=$((t - (SECONDS - started)))
  [[ $wait_for -gt 0 ]] && sleep "$wait_for"
  printf "  %4d s  %11s  %8s\n" "$t" "$(resident_kb "$flood")" "$(resident_kb "$normal")"
done
flood_kb=$(resident_kb "$flood")
normal_kb=$(resident_kb "$normal")
span=$((SECONDS - measured_from))
cpu_at_once=$(cpu_seconds "$at_once")
cpu_normal=$(cpu_seconds "$normal")
pulls_at_once=$(($(pulls at-once) - pulls_at_once_start))
pulls_normal=$(($(pulls normal) - pulls_normal_start))
echo "1. token flood: $flood_kb kB, normal camera: $normal_kb kB, difference $(((flood_kb - normal_kb) / 1024)) MB" \
  "(target: within 16 MB)"
awk -v p="$pulls_at_once" -v q="$pulls_normal" -v s="$span" -v a="$cpu_at_once" -v a0="$cpu_at_once_start" \
  -v n="$cpu_normal" -v n0="$cpu_normal_start" 'BEGIN {
    printf "2. pulls answered at once: %.2f pulls/s (normal camera %.2f pulls/s, target: at most 2)\n", p / s, q / s
    printf "   processor: %.2f %% against it, %.2f %% against the normal camera; the difference %.2f %%" \
      " (target: under 2 %%)\n", 100 * (a - a0) / s, 100 * (n - n0) / s, 100 * ((a - a0) - (n - n0)) / s
  }'
for pid in "$flood" "$at_once" "$normal"; do wait "$pid" || true; done

two_port=$(start_camera two-pull-points two-pull-points)
seconds=1
for _ in $(seq 20); do
  start_watch two "$two_port"
  wait "$watcher" || true
done
sleep 0.5
made=$(grep -c "received events CreatePullPointSubscription" "$work/camsim-two-pull-points.log" || true)
given_back=$(grep -c "received events Unsubscribe" "$work/camsim-two-pull-points.log" || true)
echo "3. 20 watchers in a row on a camera with two pull points: $made subscriptions made, $given_back given back," \
  "$((made - given_back)) left (target: 0)"
