#!/usr/bin/env bash
# Configures the Release build in build/ (or $MORSELLO_BUILD_DIR) with ccache.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${MORSELLO_BUILD_DIR:-$root/build}"

"$root/scripts/install-dependencies.sh"

# Paths below the checkout are hashed relative to it, so another clone or build folder reuses
# the compiled framework from the cache.
export CCACHE_BASEDIR="$root"
export CCACHE_NOHASHDIR=1

# g++ by the name the sanitizer stage uses too: the compiler cache keys on the compiler's name,
# and that stage takes the framework's library from the cache (scripts/sanitize.sh).
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ >/dev/null
echo "$build"
