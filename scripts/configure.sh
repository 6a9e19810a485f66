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

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
echo "$build"
