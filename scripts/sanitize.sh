#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan/ and runs every test there; any finding fails the test that hit it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
dir=${ASAN_BUILD_DIR:-build-asan}
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVORTA_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
fi
cmake --build "$dir" -j2
export QT_QPA_PLATFORM=offscreen
# Qt keeps some allocations for the life of the process: leaks are not checked.
export ASAN_OPTIONS=detect_leaks=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$dir" -j2 --output-on-failure --timeout 300
