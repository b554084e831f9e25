#!/usr/bin/env bash
# Builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "${BUILD_DIR:-build}" -j2 --output-on-failure
if [ -x scripts/fuzz.sh ]; then scripts/fuzz.sh; fi
