#!/usr/bin/env bash
# Builds every target once as a Debian packager would: Release, with
# dpkg-buildflags' hardening flags. Warnings stop the build only when
# TAVOLIN_WERROR=ON is exported (CI does; a packager's build never).
# Usage: scripts/build-release.sh [BUILD_DIR [extra cmake options]]
set -euo pipefail
cd "$(dirname "$0")/.."
builddir=${1:-build/release}
export DEB_BUILD_MAINT_OPTIONS=${DEB_BUILD_MAINT_OPTIONS:-hardening=+all}
cflags="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags="$(dpkg-buildflags --get LDFLAGS)"
# Passed explicitly: CMake reads CFLAGS and friends only when a build folder
# is first configured, and never the preprocessor flags.
cmake -S . -B "$builddir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_FLAGS="$cflags" -DCMAKE_CXX_FLAGS="$cxxflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" \
  -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" \
  -DTAVOLIN_WERROR="${TAVOLIN_WERROR:-OFF}" -DTAVOLIN_BUILD_BENCHMARKS=OFF "${@:2}" >/dev/null
cmake --build "$builddir" -j "$(nproc)"
