#!/usr/bin/env bash
# Installs the Debian packages the project needs (quiet when all are present),
# then configures and builds into build/. Idempotent.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build g++ pkg-config ccache
  qt6-base-dev qt6-charts-dev libqt6charts6
  libjpeg-dev libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev xvfb xauth
  libqt6opengl6-dev fonts-dejavu-core qt6-translations-l10n
  dpkg-dev file librsvg2-bin lintian desktop-file-utils systemd
  libmosquitto-dev mosquitto mosquitto-clients python3
  chromium chromium-driver python3-selenium python3-paho-mqtt nodejs libnss3-tools openssl
  qt6-tools-dev qt6-l10n-tools faketime libyaml-cpp-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# --packages-only: the packages above, no build (scripts/package.sh).
if [ "${1:-}" = "--packages-only" ]; then exit 0; fi

BUILD_DIR=${BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$BUILD_DIR" -j2
