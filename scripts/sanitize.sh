#!/usr/bin/env bash
# Builds and runs the tests under a sanitizer, in a build folder of its own:
#   sanitize.sh address   AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/): the
#                         unit, real-time, editor, render-tool, stress and hosted VST3 and
#                         LV2 tests.
#   sanitize.sh thread    ThreadSanitizer (build-tsan/): the tests that run the processor from
#                         several threads at once.
# Arguments after the mode go to ctest.
# Any report stops the test that made it, and so fails this script. Only the targets a mode runs
# are built; benchmarks and fuzzers are left out. The folder can be moved with
# MORSELLO_SANITIZE_BUILD_DIR. See docs/reliability.md for what is left out and why.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
mode="${1:-}"
shift || true

case "$mode" in
    address)
        build="${MORSELLO_SANITIZE_BUILD_DIR:-$root/build-asan}"
        sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=undefined"
        # The project's own code is instrumented; the framework's library is not, and compiles
        # exactly as in the ordinary build, so it comes from the compiler cache. Both
        # sanitizers allow that: their checks are compiled into the code they watch and need
        # nothing of the rest, and the allocator (and with it leak and use-after-free detection)
        # is replaced for the whole program. What is lost is the checking of the framework's
        # own accesses: the fuzz stage's clang build still compiles the framework with both
        # sanitizers, on the inputs from outside (chunks, recipe files) that reach it.
        instrumentation=(-DMORSELLO_INSTRUMENTATION="$sanitizers -fno-omit-frame-pointer -g1 -O1")
        linking="$sanitizers"
        targets=(morsello_tests morsello_realtime_tests morsello_editor_tests morsello_render_tests
                 morsello_stress_tests morsello_host_tests morsello_lv2_tests)
        # Everything those targets hold. Left out: the targets not built here (the DAW's), the
        # DAW and Windows checks and the checks that run no plug-in code (reasons in
        # docs/reliability.md).
        select=(-E '_NOT_BUILT$|^daw_|^windows_|^lv2_bundle_is_listed|^source_include_rules$')
        ;;
    thread)
        build="${MORSELLO_SANITIZE_BUILD_DIR:-$root/build-tsan}"
        # ThreadSanitizer must see every access and every lock, the framework's too, so the whole
        # build is instrumented. -O1 keeps the framework's compile time down and the reports'
        # stacks readable; line tables (-g1) give the reports their source lines.
        flags="-fsanitize=thread -fno-omit-frame-pointer -g1"
        instrumentation=(-DCMAKE_C_FLAGS_RELEASE="-O1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG"
                         -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags")
        linking="$flags"
        targets=(morsello_tests morsello_stress_tests)
        select=(-R '^Processor\.AudioKeepsRunningWhileTheMessageThreadChangesEverything$|^ThreadStress\.')
        ;;
    *)
        echo "usage: $0 address|thread" >&2
        exit 2
        ;;
esac

"$root/scripts/install-dependencies.sh"
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1

# The Windows cross build's results are not read.
unset MORSELLO_WINDOWS_BUILD_DIR
cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ \
    "${instrumentation[@]}" \
    -DCMAKE_EXE_LINKER_FLAGS="$linking" -DCMAKE_SHARED_LINKER_FLAGS="$linking" \
    -DCMAKE_MODULE_LINKER_FLAGS="$linking" \
    -DMORSELLO_BUILD_BENCHMARKS=OFF -DMORSELLO_BUILD_FUZZERS=OFF >/dev/null

cmake --build "$build" --target "${targets[@]}"

suppressions="$root/tests/sanitizers"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:strict_init_order=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$suppressions/ubsan.supp"
export LSAN_OPTIONS="suppressions=$suppressions/lsan.supp:print_suppressions=0"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$suppressions/tsan.supp:print_suppressions=0"

# Further arguments go to ctest (for instance -R to run some tests only).
run=(ctest --test-dir "$build" --output-on-failure --timeout 900 "${select[@]}" "$@")
if [ -z "${DISPLAY:-}" ]; then
    run=(xvfb-run --auto-servernum --server-args="-screen 0 1920x1080x24" "${run[@]}")
fi
"${run[@]}"
