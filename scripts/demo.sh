#!/usr/bin/env bash
# Builds the controller and runs it on its demo folder (four virtual vessels).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
exec "${BUILD_DIR:-build}/app/vorta" --demo --folder "${DEMO_DIR:-$PWD/demo}" "$@"
