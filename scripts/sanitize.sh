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
        flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined"
        # The framework's modules get AddressSanitizer alone: the undefined-behaviour checks are
        # local to the code compiled with them (no shadow memory, no change of ABI), so leaving
        # them out of the framework loses only reports inside the framework, which the fuzz
        # stage's clang build still checks, and saves a large share of this build's time.
        framework_flags="-fno-sanitize=undefined"
        targets=(morsello_tests morsello_realtime_tests morsello_editor_tests morsello_render_tests
                 morsello_stress_tests morsello_host_tests morsello_lv2_tests)
        # Everything those targets hold. Left out: the targets not built here (the DAW's), the
        # DAW and Windows checks and the checks that run no plug-in code (reasons in
        # docs/reliability.md).
        select=(-E '_NOT_BUILT$|^daw_|^windows_|^lv2_bundle_is_listed|^source_include_rules$')
        ;;
    thread)
        build="${MORSELLO_SANITIZE_BUILD_DIR:-$root/build-tsan}"
        flags="-fsanitize=thread"
        # ThreadSanitizer must see every access and every synchronisation: the framework too.
        framework_flags=""
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

# -O1 keeps the framework's compile time down and the reports' stacks readable; line tables
# (-g1) give the reports their source lines. The Windows cross build's results are not read.
flags="$flags -fno-omit-frame-pointer -g1"
unset MORSELLO_WINDOWS_BUILD_DIR
cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ \
    -DCMAKE_C_FLAGS_RELEASE="-O1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG" \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" \
    -DCMAKE_MODULE_LINKER_FLAGS="$flags" \
    -DMORSELLO_FRAMEWORK_COMPILE_OPTIONS="$framework_flags" \
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
