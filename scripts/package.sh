#!/usr/bin/env bash
# Builds the plug-in for Linux and for Windows and writes the two release archives:
#   dist/the-morsello-<version>-windows-x64.zip      the Windows VST3 bundle
#   dist/the-morsello-<version>-linux-x86_64.tar.gz  the Linux VST3, LV2 and standalone application
# each with the licence and a short text on installing it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dist="$root/dist"

version="$(sed -n 's/^project *(Morsello VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
[ -n "$version" ] || { echo "no version found in CMakeLists.txt"; exit 1; }

# The Linux build, in the same folder as scripts/build.sh uses.
linux_build="$("$root/scripts/configure.sh" | tail -n 1)"
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
cmake --build "$linux_build" --target Morsello_VST3 Morsello_LV2 Morsello_Standalone
linux="$linux_build/Morsello_artefacts/Release"

# The Windows build (installs the cross toolchain and zip when missing).
"$root/scripts/build-windows.sh"
windows="${MORSELLO_WINDOWS_BUILD_DIR:-$root/build-windows}/build/Morsello_artefacts/Release"

staging="$(mktemp -d)"
trap 'rm -rf "$staging"' EXIT
mkdir -p "$dist"

# Text files get Windows line ends in the Windows archive.
install_text() { sed "s/@VERSION@/$version/" "$root/packaging/$1"; }

name="the-morsello-$version-windows-x64"
mkdir -p "$staging/$name"
cp -r "$windows/VST3/The Morsello.vst3" "$staging/$name/"
install_text install-windows.txt | sed 's/$/\r/' > "$staging/$name/INSTALL.txt"
sed 's/$/\r/' "$root/LICENSE" > "$staging/$name/LICENSE.txt"
rm -f "$dist/$name.zip"
(cd "$staging" && zip -q -r -X "$dist/$name.zip" "$name")

name="the-morsello-$version-linux-x86_64"
mkdir -p "$staging/$name"
cp -r "$linux/VST3/The Morsello.vst3" "$linux/LV2/The Morsello.lv2" "$linux/Standalone/The Morsello" "$staging/$name/"
install_text install-linux.txt > "$staging/$name/INSTALL.txt"
cp "$root/LICENSE" "$staging/$name/LICENSE.txt"
tar -C "$staging" --owner=0 --group=0 --numeric-owner -czf "$dist/$name.tar.gz" "$name"

echo
echo "Release archives:"
for archive in "$dist/the-morsello-$version-windows-x64.zip" "$dist/the-morsello-$version-linux-x86_64.tar.gz"; do
    echo "  $archive ($(stat -c %s "$archive") bytes)"
done
