#!/usr/bin/env bash
# The deep stages, after scripts/test.sh: the tests that run in-process again under
# AddressSanitizer with UndefinedBehaviorSanitizer and under ThreadSanitizer, then each fuzzer
# for a bounded time (40 s apiece unless MORSELLO_FUZZ_SECONDS says otherwise). Each stage builds
# in a folder of its own (build-asan, build-tsan, build-fuzz); docs/reliability.md says what
# each proves and how to run one alone. Run it before a change that touches memory, threads or
# the readers of outside data lands; CI runs it on every submission.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
start=$SECONDS

for mode in address thread; do
    stage_start=$SECONDS
    "$root/scripts/sanitize.sh" "$mode"
    echo "Sanitizer stage '$mode' passed in $((SECONDS - stage_start)) s"
done

# An input that breaks an invariant fails the run and is kept in build-fuzz/findings/.
stage_start=$SECONDS
MORSELLO_FUZZ_SECONDS="${MORSELLO_FUZZ_SECONDS:-40}" "$root/scripts/fuzz.sh"
echo "Fuzz stage passed in $((SECONDS - stage_start)) s; the deep stages took $((SECONDS - start)) s"
