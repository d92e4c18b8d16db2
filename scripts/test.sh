#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$ROOT/scripts/setup.sh"
BUILD="${TELVORA_BUILD_DIR:-$ROOT/build}"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
ctest --test-dir "$BUILD" --output-on-failure -j 2 --timeout 600
