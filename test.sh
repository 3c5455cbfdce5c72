#!/usr/bin/env bash
# ./test.sh: installs what is missing, builds everything with AddressSanitizer
# and UndefinedBehaviorSanitizer, warnings as errors, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
# Compiler cache entries are shared between clones of the project.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true

scripts/deps.sh --test
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVIGILUX_SANITIZE=ON -DVIGILUX_WERROR=ON >/dev/null
cmake --build build-test --parallel 2
cd build-test
ctest --output-on-failure --parallel 2 --timeout 600
