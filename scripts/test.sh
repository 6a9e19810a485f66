#!/usr/bin/env bash
# The everyday test command: builds everything (plug-in, tests, benchmarks, tools) and the Windows
# VST3, then runs the whole ordinary suite, the real hosts included: Ardour with the VST3 and LV2
# bundles, lilv, and the Windows VST3 under Wine. The sanitizer and fuzz stages are a command of
# their own, scripts/test-deep.sh.
# Tests that draw or open windows get a virtual display of their own.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
start=$SECONDS
# The DAW tests run the plug-in in Ardour (about 200 MB on a fresh machine).
"$root/scripts/install-dependencies.sh" ardour
build="$("$root/scripts/configure.sh" | tail -n 1)"
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1

cmake --build "$build"

# The Windows VST3 and its test host, cross-built; ctest runs them under Wine.
"$root/scripts/build-windows.sh"
echo "Built in $((SECONDS - start)) s"

display=()
if [ -z "${DISPLAY:-}" ]; then
    display=(xvfb-run --auto-servernum --server-args="-screen 0 1920x1080x24")
fi
tests_start=$SECONDS
"${display[@]}" ctest --test-dir "$build" --output-on-failure
echo "Tests ran in $((SECONDS - tests_start)) s; the test command took $((SECONDS - start)) s"
