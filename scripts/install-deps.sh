#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with.
# Idempotent: apt-get runs only when a package is missing. Run as root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libcurl4-openssl-dev portaudio19-dev
  # ONVIF: SOAP replies are read with pugixml, the password digest uses OpenSSL.
  libpugixml-dev libssl-dev
  libavcodec-dev libavutil-dev libswscale-dev libyuv-dev libavformat-dev libswresample-dev
  # Pointing a PTZ camera measures how its picture moved by phase correlation:
  # the Fourier transforms come from FFTW.
  libfftw3-dev
  # The simulated RTSP camera: GStreamer's RTSP server and, at run time, the
  # encoders, parsers and payloaders its pipelines are made of. Talk-back to
  # ONVIF cameras: GStreamer's RTSP source (good), G.711 (good) and AAC
  # (voaacenc, and faad in the simulator: bad), the WAV reader (good).
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev libgstrtspserver-1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly
  # scripts/check-format.sh judges the formatting with clang-format 14, Debian 12's.
  clang-format
  qt6-base-dev xvfb xauth
  file lintian
  # Recordings and snapshots are checked with programs independent of ours.
  ffmpeg
  # The multicast discovery test sets up loopback in a network namespace of its own.
  iproute2
  # Arial's metrics, so forms laid out in dialog units of Arial 9 point fit.
  fonts-liberation2
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages and not root; run as root" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
