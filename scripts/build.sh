#!/usr/bin/env bash
# Builds The Morsello in every format (VST3, LV2, Standalone) and installs the plug-in bundles
# where Linux hosts look for them: ~/.vst3 and ~/.lv2.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$("$root/scripts/configure.sh" | tail -n 1)"
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1

cmake --build "$build" --target Morsello_VST3 Morsello_LV2 Morsello_Standalone

artefacts="$build/Morsello_artefacts/Release"
mkdir -p "$HOME/.vst3" "$HOME/.lv2"
rm -rf "$HOME/.vst3/The Morsello.vst3" "$HOME/.lv2/The Morsello.lv2"
cp -r "$artefacts/VST3/The Morsello.vst3" "$HOME/.vst3/"
cp -r "$artefacts/LV2/The Morsello.lv2" "$HOME/.lv2/"

echo
echo "Built:"
echo "  VST3:       $artefacts/VST3/The Morsello.vst3  (installed in ~/.vst3)"
echo "  LV2:        $artefacts/LV2/The Morsello.lv2  (installed in ~/.lv2)"
echo "  Standalone: $artefacts/Standalone/The Morsello"
