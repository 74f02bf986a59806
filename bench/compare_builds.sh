#!/bin/sh
# Runs the library benchmarks of two builds alternately, so that both see the
# same machine load, and prints each run's headline figures side by side.
# Compare the two sides as ratios; single figures on a shared machine are
# noise.
#   bench/compare_builds.sh BEFORE_BIN AFTER_BIN [ROUNDS, default 2]
# where each BIN is the bin/ folder of a Release build with benchmarks, e.g.
#   git worktree add /tmp/base <commit>
#   cmake -S /tmp/base -B /tmp/base/build -DCMAKE_BUILD_TYPE=Release -DTAVOLIN_BUILD_TESTS=OFF
#   cmake --build /tmp/base/build --target transport_v1_bench transport_v2_bench ostrel_pipeline_bench ostrel_ptz_bench
set -eu
before=${1:?before: a bin folder}
after=${2:?after: a bin folder}
rounds=${3:-2}
export TAVOLIN_LOOPBACK_ONLY=1

headlines() { # bin folder
    "$1/transport_v1_bench" --benchmark_color=false 2>&1 | grep -a 'mix/' | sed 's/.*mix/  v1 mix/'
    "$1/transport_v2_bench" --benchmark_color=false 2>&1 | grep -a 'separate runs' | sed 's/.*separate/  v2 separate/'
    "$1/ostrel_pipeline_bench" 2>&1 | grep -a "stream client's threads:" | sed 's/^ */  pipeline /'
    "$1/ostrel_ptz_bench" 2>&1 | grep -a 'M_KPTZ_LEFT' | sed 's/^ */  ptz /'
}

round=1
while [ "$round" -le "$rounds" ]; do
    echo "== round $round, before ($before)"
    headlines "$before"
    echo "== round $round, after ($after)"
    headlines "$after"
    round=$((round + 1))
done
