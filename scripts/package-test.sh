#!/usr/bin/env bash
# Builds the Debian package from a Release build, checks it with lintian,
# unpacks it into a temporary root (no system install) and runs the unpacked
# programs there: tavolin-watch against an unpacked simulated camera on
# 127.0.0.1, the unpacked viewer offscreen, and the build's demo program
# dropped beside it pressing Play on the camera with the unpacked libraries.
# Each must load its plug-ins from the unpacked tree.
# Usage: scripts/package-test.sh [BUILD_DIR]   (default build/release)
#        scripts/package-test.sh --built DIR    package a tree already built
#                                               (CI: the default preset's build,
#                                               whose tests just passed)
set -euo pipefail
cd "$(dirname "$0")/.."
built=0
if [ "${1:-}" = --built ]; then
  built=1
  shift
  [ -n "${1:-}" ] || { echo "package-test: --built needs the build folder" >&2; exit 2; }
fi
builddir=${1:-build/release}
export TAVOLIN_LOOPBACK_ONLY=1

if ((built)); then
  [ -f "$builddir/CPackConfig.cmake" ] || { echo "package-test: $builddir is not a configured build" >&2; exit 2; }
else
  # The package needs no test programs.
  scripts/build-release.sh "$builddir" -DTAVOLIN_BUILD_TESTS=OFF
fi
rm -f "$builddir"/tavolin_*.deb
(cd "$builddir" && cpack -G DEB >/dev/null)
deb=$(ls "$builddir"/tavolin_*.deb)
echo "package-test: built $deb"
# The demo program of the same build, run later beside the unpacked viewer.
demo_program=$(realpath "$builddir/bin/tavolin-demo")
lintian --fail-on error "$deb"

tmp=$(mktemp -d /tmp/tavolin-package-XXXXXX)
camsim_pid=
viewer_pid=
cleanup() {
  [ -n "$viewer_pid" ] && kill "$viewer_pid" 2>/dev/null || true
  [ -n "$camsim_pid" ] && kill "$camsim_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  # TAVOLIN_KEEP_PACKAGE_TEST=1 keeps the unpacked tree and logs to look at.
  [ -n "${TAVOLIN_KEEP_PACKAGE_TEST:-}" ] && echo "package-test: kept $tmp" || rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "package-test: $*" >&2; exit 1; }

dpkg-deb -x "$deb" "$tmp/root"
usr="$tmp/root/usr"
libdir=$(cd "$usr/lib/tavolin/lib" && pwd -P)

# Nothing may reach back into the build tree.
for f in "$usr"/lib/tavolin/bin/* "$libdir"/*.so; do
  [ -L "$f" ] && continue
  if readelf -d "$f" | grep -E 'R(UN)?PATH' | grep -vq 'ORIGIN'; then
    fail "$f has a search path outside its own tree"
  fi
done

# Which plug-ins a running program has loaded from the unpacked tree.
loaded_from_tree() {
  grep -o "$libdir/lib[A-Za-z0-9-]*\.so" "/proc/$1/maps" 2>/dev/null | sort -u || true
}

# A simulated camera (protocol 2), from the package, on free loopback ports.
mkdir -p "$tmp/run"
cd "$tmp/run"
"$usr/bin/tavolin-camsim" --protocol 2 --login-port 0 --control-port 0 --video-port 0 --http-port 0 \
  --write-settings "$tmp/run/Tavolin.txt" < /dev/null > "$tmp/camsim.log" 2>&1 &
camsim_pid=$!
for _ in $(seq 100); do [ -s "$tmp/run/Tavolin.txt" ] && break; sleep 0.1; done
[ -s "$tmp/run/Tavolin.txt" ] || fail "the simulated camera wrote no settings file: $(cat "$tmp/camsim.log")"
if grep -i '^CameraIP=' Tavolin.txt | grep -vq '=127\.0\.0\.1$'; then
  fail "the settings file names a camera that is not at 127.0.0.1"
fi

# The headless watcher: decoded pictures prove the transport and decoder
# plug-ins were found.
"$usr/bin/tavolin-watch" --settings Tavolin.txt --camera 0 --seconds 3 > "$tmp/watch.log" 2>&1 &
watch_pid=$!
watch_libs=
for _ in $(seq 30); do
  sleep 0.1
  watch_libs=$(loaded_from_tree "$watch_pid")
  echo "$watch_libs" | grep -q 'Quillon-M\|Garnet-M' && break
done
wait "$watch_pid" || fail "tavolin-watch failed: $(cat "$tmp/watch.log")"
grep -Eq 'picture [0-9]+x[0-9]+( \(shown [0-9]+x[0-9]+\))? +[1-9][0-9]* pictures/s' "$tmp/watch.log" ||
  fail "tavolin-watch decoded no pictures: $(cat "$tmp/watch.log")"
for plugin in Ostrel-M Fenwa20-M; do
  echo "$watch_libs" | grep -q "lib$plugin.so" || fail "tavolin-watch did not load $plugin from the unpacked tree"
done
echo "package-test: tavolin-watch showed pictures with $(echo "$watch_libs" | xargs -n1 basename | xargs)"

# The shipped viewer holds no demo, and the demo program is not shipped.
[ ! -e "$usr/lib/tavolin/bin/tavolin-demo" ] || fail "the package ships the demo program"
if grep -aq -- '--demo\|demo: pressing' "$usr/lib/tavolin/bin/Tavolin"; then
  fail "the shipped viewer holds the demo driver"
fi

# The shipped viewer, offscreen: it starts with the unpacked libraries,
# shows its form and ends when the session asks it to.
QT_QPA_PLATFORM=offscreen "$usr/bin/Tavolin" > "$tmp/viewer.log" 2>&1 &
viewer_pid=$!
viewer_libs=
for _ in $(seq 100); do
  viewer_libs=$(loaded_from_tree "$viewer_pid")
  echo "$viewer_libs" | grep -q 'Ledra-M' && echo "$viewer_libs" | grep -q 'Ostrel-M' && break
  sleep 0.1
done
sleep 1
kill -TERM "$viewer_pid" 2>/dev/null || fail "the viewer ended by itself: $(cat "$tmp/viewer.log")"
wait "$viewer_pid" || fail "the viewer failed: $(cat "$tmp/viewer.log")"
viewer_pid=
for library in Ostrel-M Ledra-M; do
  echo "$viewer_libs" | grep -q "lib$library.so" || fail "the viewer did not load $library from the unpacked tree"
done
echo "package-test: the viewer started and ended with $(echo "$viewer_libs" | xargs -n1 basename | xargs)"

# The viewer's code on the package's libraries and plug-ins: the demo program
# of the same build, dropped beside the unpacked programs, presses Play on
# camera 1 (127.0.0.1) and pictures the live view.
[ -x "$demo_program" ] || fail "no tavolin-demo in $builddir"
cp "$demo_program" "$usr/lib/tavolin/bin/"
QT_QPA_PLATFORM=offscreen "$usr/lib/tavolin/bin/tavolin-demo" --screenshots "$tmp/shots" --seconds 2 \
  > "$tmp/demo.log" 2>&1 &
viewer_pid=$!
viewer_libs=
for _ in $(seq 600); do
  kill -0 "$viewer_pid" 2>/dev/null || break
  viewer_libs=$(echo "$viewer_libs"; loaded_from_tree "$viewer_pid")
  sleep 0.2
done
kill -0 "$viewer_pid" 2>/dev/null && fail "the viewer's demo did not end within two minutes"
wait "$viewer_pid" || fail "the viewer's demo failed: $(cat "$tmp/demo.log")"
viewer_pid=
[ -s "$tmp/shots/live-view.png" ] || fail "the viewer pictured no live view: $(cat "$tmp/demo.log")"
for plugin in Ostrel-M Ledra-M Fenwa20-M; do
  echo "$viewer_libs" | grep -q "lib$plugin.so" || fail "the viewer did not load $plugin from the unpacked tree"
done
echo "$viewer_libs" | grep -q 'Quillon-M\|Garnet-M' || fail "the viewer loaded no decoder from the unpacked tree"
echo "package-test: the viewer played camera 1 with $(echo "$viewer_libs" | sort -u | xargs -n1 basename | xargs)"

# The launcher item from the unpacked tree.
QT_QPA_PLATFORM=offscreen "$usr/bin/tavolin-today" --screenshot "$tmp/strip.png" > "$tmp/today.log" 2>&1 ||
  fail "tavolin-today failed: $(cat "$tmp/today.log")"
[ -s "$tmp/strip.png" ] || fail "tavolin-today painted nothing"
[ -x "$usr/lib/tavolin/device/Program Files/Tavolin/Tavolin" ] || fail "the launcher's viewer path leads nowhere"
# The viewer's file dialog opens the "protocol" folder beside the program.
[ -f "$usr/lib/tavolin/bin/protocol/Pelco-D.ptz" ] || fail "no protocol files beside the unpacked viewer"
echo "package-test: passed"
