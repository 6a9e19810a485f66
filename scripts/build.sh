#!/usr/bin/env bash
# Builds The Morsello in every format (VST3, LV2, Standalone) and installs the plug-in bundles
# where Linux hosts look for them: ~/.vst3 and ~/.lv2. Builds the command-line renderer
# morsello-render, installs it in ~/.local/bin and runs its demo: a synthesised phrase through
# every factory recipe, written to build/demo with the picture overview.png.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$("$root/scripts/configure.sh" | tail -n 1)"
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1

cmake --build "$build" --target Morsello_VST3 Morsello_LV2 Morsello_Standalone morsello-render

artefacts="$build/Morsello_artefacts/Release"
mkdir -p "$HOME/.vst3" "$HOME/.lv2"
rm -rf "$HOME/.vst3/The Morsello.vst3" "$HOME/.lv2/The Morsello.lv2"
cp -r "$artefacts/VST3/The Morsello.vst3" "$HOME/.vst3/"
cp -r "$artefacts/LV2/The Morsello.lv2" "$HOME/.lv2/"

mkdir -p "$HOME/.local/bin"
install -m 755 "$build/tools/morsello-render" "$HOME/.local/bin/morsello-render"

demo="$build/demo"
echo
"$build/tools/morsello-render" --demo "$demo"

echo
echo "Built:"
echo "  VST3:       $artefacts/VST3/The Morsello.vst3  (installed in ~/.vst3)"
echo "  LV2:        $artefacts/LV2/The Morsello.lv2  (installed in ~/.lv2)"
echo "  Standalone: $artefacts/Standalone/The Morsello"
echo "  Renderer:   $HOME/.local/bin/morsello-render  (morsello-render --help)"
echo "  Demo:       $demo  (a WAV file per recipe, and overview.png)"

case ":$PATH:" in
    *":$HOME/.local/bin:"*) ;;
    *)
        echo
        echo "~/.local/bin is not on your PATH. To run morsello-render by name, add this line to"
        echo "~/.profile (or your shell's start file) and open a new shell:"
        echo '  export PATH="$HOME/.local/bin:$PATH"'
        ;;
esac
