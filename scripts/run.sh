#!/usr/bin/env bash
# Installs what is missing, builds, and runs the configurator on the built-in simulated
# unit: with a display the window, without one the command line.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$ROOT/scripts/setup.sh"
BUILD="${TELVORA_BUILD_DIR:-$ROOT/build}"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$BUILD/app/telvora" ]; then
  exec "$BUILD/app/telvora" --demo "$@"
fi

if [ -x "$BUILD/app/telvora" ]; then
  echo "No display: running the command line. For the window: xvfb-run -a $BUILD/app/telvora --demo,"
  echo "or run this script from a desktop session."
fi
CLI="$BUILD/cli/telvora-cli"
FILE="$(mktemp --suffix=.cfg)"
trap 'rm -f "$FILE"' EXIT
echo "== finding the simulated unit and reading its configuration into $FILE"
"$CLI" --demo read "$FILE"
echo "== the configuration as JSON"
"$CLI" show "$FILE"
