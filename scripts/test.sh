#!/usr/bin/env bash
# Installs what is missing, builds one preset (default unless named) and runs
# every test.
#   scripts/test.sh [PRESET]                     everything
#   scripts/test.sh PRESET TESTS...              only these test executables
#                                                (e.g. asan configstore_tests ptz_tests)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
scripts/install-deps.sh
if (($# > 1)); then
  shift
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)" --target "$@"
  labels=$(IFS='|'; echo "$*")
  ctest --preset "$preset" -L "^($labels)\$"
else
  scripts/build.sh "$preset"
  ctest --preset "$preset"
fi
