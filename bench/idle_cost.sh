#!/usr/bin/env bash
# What the plug-in costs while a musician only looks at it (or not even that): the CPU of a host
# process with the plug-in in it, under a virtual display, old build and new build side by side,
# runs interleaved. Percentages are of one core. Results go in docs/performance.md.
#
#     bench/idle_cost.sh --old-artefacts DIR | --old-commit REV  [--new-artefacts DIR]
#                        [--seconds 20] [--warm-up 5] [--runs 3] [--build DIR]
#
# An artefacts folder is the framework's Morsello_artefacts/Release (VST3/, LV2/, Standalone/).
# --old-commit builds that commit's plug-in into build-idle-old/ (sources from git archive; the
# compiled framework comes from ccache). The hosts come from the new build (--build, default
# build/): bench/idle/morsello_idle_host and morsello_lv2_idle_host.
#
# States:
#   vst3 open, silence   the framework's VST3 hosting, editor open, silent audio in real time
#   vst3 open, music     the same with a plucked-chord phrase moving the meters
#   vst3 closed          loaded and prepared, no window, no audio
#   lv2 closed           lilv, instantiated and activated, no window, no audio: the host adds
#                        nothing, so this is the plug-in's own idle cost
#   standalone open      the standalone application's window, no audio device (silence)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"
old="" old_commit="" new=""
seconds=20 warm_up=5 runs=3
# A desktop-sized screen: the window fits, as on a musician's display.
screen="-screen 0 1920x1080x24"

while [ $# -gt 0 ]; do
    case "$1" in
        --old-artefacts) old="$2"; shift 2 ;;
        --old-commit) old_commit="$2"; shift 2 ;;
        --new-artefacts) new="$2"; shift 2 ;;
        --seconds) seconds="$2"; shift 2 ;;
        --warm-up) warm_up="$2"; shift 2 ;;
        --runs) runs="$2"; shift 2 ;;
        --build) build="$2"; shift 2 ;;
        *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
done

new="${new:-$build/Morsello_artefacts/Release}"
vst3_host="$build/bench/idle/morsello_idle_host"
lv2_host="$build/bench/idle/morsello_lv2_idle_host"
lv2_core="$(grep '^MORSELLO_LV2_CORE_BUNDLE:' "$build/CMakeCache.txt" | cut -d= -f2)"
lv2_uri="$(grep -o 'MORSELLO_LV2_URI "[^"]*"' "$root/CMakeLists.txt" | cut -d'"' -f2)"

for program in "$vst3_host" "$lv2_host"; do
    [ -x "$program" ] || { echo "missing $program: build morsello_idle_host and morsello_lv2_idle_host" >&2; exit 1; }
done

if [ -n "$old_commit" ]; then
    old_tree="$root/build-idle-old"
    rm -rf "$old_tree/src"
    mkdir -p "$old_tree/src"
    git -C "$root" archive "$old_commit" | tar -x -C "$old_tree/src"
    export CCACHE_BASEDIR="$old_tree/src" CCACHE_NOHASHDIR=1
    cmake -S "$old_tree/src" -B "$old_tree/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
          -DMORSELLO_BUILD_TESTS=OFF -DMORSELLO_BUILD_BENCHMARKS=OFF >/dev/null
    cmake --build "$old_tree/build" --target Morsello_VST3 Morsello_LV2 Morsello_Standalone >/dev/null
    old="$old_tree/build/Morsello_artefacts/Release"
fi

[ -n "$old" ] || { echo "give --old-artefacts or --old-commit" >&2; exit 2; }

# The process CPU (% of one core) of a program that runs until killed, over the measured stretch.
measure_app () {
    local app="$1"
    xvfb-run -a -s "$screen" "$app" >/dev/null 2>&1 &
    local runner=$!
    local pid=""
    for _ in $(seq 50); do
        sleep 0.2
        pid="$(pgrep -n -f -x -- "$app" || true)"
        [ -n "$pid" ] && break
    done
    sleep "$warm_up"
    local ticks=$(getconf CLK_TCK)
    local before=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    local start=$(date +%s.%N)
    sleep "$seconds"
    local after=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    local end=$(date +%s.%N)
    kill "$pid" 2>/dev/null || true
    wait "$runner" 2>/dev/null || true
    awk -v a="$after" -v b="$before" -v t="$ticks" -v s="$start" -v e="$end" \
        'BEGIN { printf "%.4f\n", 100 * (a - b) / t / (e - s) }'
}

run_state () {
    local artefacts="$1" state="$2"
    case "$state" in
        vst3-open-silence) xvfb-run -a -s "$screen" "$vst3_host" "$artefacts/VST3/The Morsello.vst3" open-silence "$seconds" "$warm_up" | awk '{print $2}' ;;
        vst3-open-music) xvfb-run -a -s "$screen" "$vst3_host" "$artefacts/VST3/The Morsello.vst3" open-music "$seconds" "$warm_up" | awk '{print $2}' ;;
        vst3-closed) xvfb-run -a -s "$screen" "$vst3_host" "$artefacts/VST3/The Morsello.vst3" closed "$seconds" "$warm_up" | awk '{print $2}' ;;
        lv2-closed) "$lv2_host" "$artefacts/LV2/The Morsello.lv2" "$lv2_core" "$lv2_uri" "$seconds" "$warm_up" | awk '{print $2}' ;;
        standalone-open) measure_app "$artefacts/Standalone/The Morsello" ;;
    esac
}

states=(vst3-open-silence vst3-open-music vst3-closed lv2-closed standalone-open)
declare -A results

for run in $(seq "$runs"); do
    for state in "${states[@]}"; do
        for build_name in old new; do
            artefacts="$old"
            [ "$build_name" = new ] && artefacts="$new"
            value="$(run_state "$artefacts" "$state")"
            results[$state,$build_name]+="$value "
            echo "run $run  $state  $build_name  $value %" >&2
        done
    done
done

echo "| state | old build (% of one core, each run) | new build (% of one core, each run) |"
echo "|---|---|---|"
for state in "${states[@]}"; do
    echo "| $state | ${results[$state,old]% } | ${results[$state,new]% } |"
done
