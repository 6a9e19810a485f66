#!/usr/bin/env bash
# Builds everything (plug-in, tests, benchmarks, tools) and runs the whole test suite, then the
# tests that run in-process again under AddressSanitizer, UndefinedBehaviorSanitizer and
# ThreadSanitizer, then each fuzzer for a bounded time.
# Tests that draw or open windows get a virtual display of their own.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# The DAW tests run the plug-in in Ardour (about 200 MB on a fresh machine).
"$root/scripts/install-dependencies.sh" ardour
build="$("$root/scripts/configure.sh" | tail -n 1)"
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1

cmake --build "$build"

# The Windows VST3 and its test host, cross-built; ctest runs them under Wine.
"$root/scripts/build-windows.sh"

display=()
if [ -z "${DISPLAY:-}" ]; then
    display=(xvfb-run --auto-servernum --server-args="-screen 0 1920x1080x24")
fi
"${display[@]}" ctest --test-dir "$build" --output-on-failure

# The same tests again under the sanitizers, each in a build folder of its own with only the
# targets it runs (scripts/sanitize.sh starts its own virtual display where needed).
for mode in address thread; do
    start=$SECONDS
    "$root/scripts/sanitize.sh" "$mode"
    echo "Sanitizer stage '$mode' passed in $((SECONDS - start)) s"
done

# Each fuzzer from its committed corpus, 40 s apiece unless MORSELLO_FUZZ_SECONDS says otherwise;
# an input that breaks an invariant fails the run and is kept in build-fuzz/findings/.
start=$SECONDS
MORSELLO_FUZZ_SECONDS="${MORSELLO_FUZZ_SECONDS:-40}" "$root/scripts/fuzz.sh"
echo "Fuzz stage passed in $((SECONDS - start)) s"
