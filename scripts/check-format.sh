#!/usr/bin/env bash
# Fails when a tracked C or C++ file differs from .clang-format, and names
# each such file. Formatting changes between clang-format versions, so only
# version 14 (what Debian 12 and CI install) is the judge.
#   scripts/check-format.sh          check
#   scripts/check-format.sh --fix    reformat the files that differ
set -euo pipefail
cd "$(dirname "$0")/.."
format=${CLANG_FORMAT:-clang-format}
version=$("$format" --version 2>/dev/null || true)
if [[ $version != *"version 14."* ]]; then
  echo "check-format: needs clang-format 14 (found: ${version:-none}); scripts/install-deps.sh installs it" >&2
  exit 2
fi
# One run over every file; each place that differs is reported as
# "FILE:LINE:COLUMN: error: ...".
report=$(git ls-files -z -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp' |
  xargs -0 -r "$format" --dry-run -Werror 2>&1 >/dev/null || true)
mapfile -t differ < <(grep -o '^[^:]*:[0-9]*:[0-9]*: error' <<<"$report" | cut -d: -f1 | sort -u)
if ((${#differ[@]} == 0)); then
  if [ -n "$report" ]; then
    echo "$report" >&2
    exit 2
  fi
  echo "check-format: every C and C++ file follows .clang-format"
  exit 0
fi
if [ "${1:-}" = --fix ]; then
  "$format" -i "${differ[@]}"
  printf 'check-format: reformatted %s\n' "${differ[@]}"
  exit 0
fi
printf 'check-format: %s differs from .clang-format\n' "${differ[@]}" >&2
echo "check-format: scripts/check-format.sh --fix reformats them" >&2
exit 1
