#!/bin/sh
# Times of the calls that once hung on a misbehaving camera (one that stops
# reading, or trickles its answers a byte at a time), as the tests measure
# them against the simulator on 127.0.0.1. Every figure is the wall time of
# one call in milliseconds; the tests themselves only fail above 3000 ms.
#   bench/stalled_camera_figures.sh [build dir, default build/default]
set -eu
build=${1:-build/default}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export TAVOLIN_LOOPBACK_ONLY=1

run() { # test program, filter
    echo "== $1"
    "$build/bin/$1" --gtest_filter="$2" --gtest_output="json:$out/$1.json" >/dev/null 2>&1 || true
    python3 - "$out/$1.json" <<'PY'
import json, sys
data = json.load(open(sys.argv[1]))
skip = {"name", "file", "line", "status", "result", "timestamp", "time", "classname", "failures", "value_param", "type_param"}
for suite in data["testsuites"]:
    for test in suite["testsuite"]:
        figures = {k: v for k, v in test.items() if k not in skip}
        state = "ok" if not test.get("failures") else "FAILED"
        for key, value in figures.items():
            print(f"{suite['name']}.{test['name']:<70} {key:<18} {value:>6} ms  {state}")
PY
}

run fenwa10_tests 'StalledCameraTest.*'
run fenwa20_tests 'StalledCameraTest.*:HttpSettingsTest.SerialSettingGivesUp*'
run streamclient_tests '*Trickl*'
