#!/usr/bin/env bash
# Builds the Debian package: a release build with Debian's hardening flags in
# build-release/, then CPack's Debian generator. Leaves
# build-release/vorta_<version>_amd64.deb with its debug symbols beside it
# (vorta-dbgsym_<version>_amd64.ddeb) and prints the package's path. File times
# are SOURCE_DATE_EPOCH when it is set, else the last commit's time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --packages-only
dir=${PACKAGE_BUILD_DIR:-build-release}
mkdir -p "$dir"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORTA_TESTS=OFF -DVORTA_BENCH=OFF \
  -DVORTA_PACKAGE=ON \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >"$dir/configure.log" 2>&1 ||
  { cat "$dir/configure.log"; exit 1; }
if ! cmake --build "$dir" -j2 >"$dir/build.log" 2>&1; then
  tail -n 40 "$dir/build.log"
  exit 1
fi
rm -f "$dir"/vorta_*.deb "$dir"/vorta-dbgsym_*.ddeb
if ! (cd "$dir" && cpack -G DEB) >"$dir/cpack.log" 2>&1; then
  cat "$dir/cpack.log"
  exit 1
fi
ls "$dir"/vorta_*_amd64.deb
