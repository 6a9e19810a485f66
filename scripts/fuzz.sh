#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang (AddressSanitizer and UndefinedBehaviorSanitizer on)
# in build-fuzz/ (or $MORSELLO_FUZZ_BUILD_DIR) and runs each for $MORSELLO_FUZZ_SECONDS seconds
# (45 unless set), starting from its committed corpus. New inputs stay in the build folder; an
# input that breaks an invariant is written to build-fuzz/findings/<harness>/ and fails the run:
# keep it in tests/fuzz/regressions/<harness>/ once mended. Prints the executions per harness.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${MORSELLO_FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${MORSELLO_FUZZ_SECONDS:-45}"

"$root/scripts/install-dependencies.sh"
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1

# clang's warnings differ from gcc's on the framework's headers, so -Werror stays with the gcc
# builds. Only the harnesses are built: no tests, benchmarks or plug-in formats.
# The framework's modules that no fuzz input reaches (windows, drawing, audio devices and audio
# files) are compiled without sanitizers or coverage: they are linked only because the plug-in's
# library refers to them, and instrumenting them took most of this build's time. Mixing
# instrumented and plain code is sound for both sanitizers (their checks live in the code they
# watch); the modules the inputs do reach (text, XML, value trees, parameters, messages, audio
# buffers) and all of the project's code stay instrumented.
unwatched="juce_gui_basics;juce_gui_extra;juce_graphics;juce_audio_utils;juce_audio_devices;juce_audio_formats"
sanitizers="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_C_FLAGS="$sanitizers" -DCMAKE_CXX_FLAGS="$sanitizers" \
    -DMORSELLO_WARNINGS_AS_ERRORS=OFF -DMORSELLO_BUILD_TESTS=OFF -DMORSELLO_BUILD_BENCHMARKS=OFF \
    -DMORSELLO_UNWATCHED_MODULES="$unwatched" -DMORSELLO_UNWATCHED_MODULE_OPTIONS="-fno-sanitize=all;-O1;-g0" \
    -DMORSELLO_BUILD_FUZZERS=ON >/dev/null

harnesses=(StateChunk:state_chunk RecipeFile:recipe_file EngineRun:engine_run)
cmake --build "$build" --target morsello_fuzz_StateChunk morsello_fuzz_RecipeFile morsello_fuzz_EngineRun

status=0
for entry in "${harnesses[@]}"; do
    target="${entry%%:*}"
    name="${entry##*:}"
    work="$build/corpus/$name"
    findings="$build/findings/$name"
    mkdir -p "$work" "$findings"
    log="$build/fuzz-$name.log"

    if ! "$build/tests/fuzz/morsello_fuzz_$target" "$work" "$root/tests/fuzz/corpus/$name" \
        -max_total_time="$seconds" -max_len=65536 -timeout=20 -rss_limit_mb=4096 \
        -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1; then
        status=1
        echo "fuzz $name: FAULT FOUND (see $log and $findings)"
        grep -m 5 -E "ERROR|check|SUMMARY" "$log" || true
    fi

    runs="$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || echo '?')"
    echo "fuzz $name: $runs executions in ${seconds} s"
done

exit "$status"
