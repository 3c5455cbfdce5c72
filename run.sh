#!/usr/bin/env bash
# ./run.sh [--demo | --video FILE | --camera N]
# Installs what is missing, builds the Release configuration and starts Vigilux.
set -euo pipefail
cd "$(dirname "$0")"
# Compiler cache entries are shared between clones of the project.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true

scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVIGILUX_BUILD_TESTS=OFF >/dev/null
cmake --build build --parallel 2

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "Vigilux needs a graphical desktop, and this session has none (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
  exit 1
fi
exec build/bin/vigilux "$@"
