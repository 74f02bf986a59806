#!/usr/bin/env bash
# Builds every target once as a Debian packager would: Release, with
# dpkg-buildflags' hardening flags. Warnings stop the build only when
# TAVOLIN_WERROR=ON is exported (CI does; a packager's build never).
set -euo pipefail
cd "$(dirname "$0")/.."
builddir=${1:-build/release}
export DEB_BUILD_MAINT_OPTIONS=${DEB_BUILD_MAINT_OPTIONS:-hardening=+all}
eval "$(dpkg-buildflags --export=sh)"
# CMake reads CFLAGS, CXXFLAGS and LDFLAGS but not the preprocessor flags.
export CFLAGS="$CFLAGS $CPPFLAGS" CXXFLAGS="$CXXFLAGS $CPPFLAGS"
cmake -S . -B "$builddir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTAVOLIN_WERROR="${TAVOLIN_WERROR:-OFF}" -DTAVOLIN_BUILD_BENCHMARKS=OFF "${@:2}" >/dev/null
cmake --build "$builddir" -j "$(nproc)"
