#!/usr/bin/env bash
# Builds the plug-in for Linux and for Windows and writes the release files:
#   dist/the-morsello-<version>-windows-x64-setup.exe  the Windows setup program (NSIS)
#   dist/the-morsello-<version>-windows-x64.zip        the Windows VST3 bundle
#   dist/the-morsello-<version>-linux-x86_64.tar.gz    the Linux VST3, LV2, standalone application
#                                                      and morsello-render
#   dist/SHA256SUMS                                    the checksums of the three
# Each archive holds the licence and a short text on installing it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dist="$root/dist"

version="$(sed -n 's/^project *(Morsello VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
[ -n "$version" ] || { echo "no version found in CMakeLists.txt"; exit 1; }

# The Linux build, in the same folder as scripts/build.sh uses.
linux_build="$("$root/scripts/configure.sh" | tail -n 1)"
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
cmake --build "$linux_build" --target Morsello_VST3 Morsello_LV2 Morsello_Standalone morsello-render
linux="$linux_build/Morsello_artefacts/Release"

# The Windows build (installs the cross toolchain, zip and NSIS when missing).
"$root/scripts/build-windows.sh"
windows="${MORSELLO_WINDOWS_BUILD_DIR:-$root/build-windows}/build/Morsello_artefacts/Release"

staging="$(mktemp -d)"
trap 'rm -rf "$staging"' EXIT
mkdir -p "$dist"

# Text files get Windows line ends in the Windows archive.
install_text() { sed "s/@VERSION@/$version/" "$root/packaging/$1"; }

name="the-morsello-$version-windows-x64"
"$root/scripts/make-installer.sh" "$windows/VST3/The Morsello.vst3" "$dist/$name-setup.exe" >/dev/null

mkdir -p "$staging/$name"
cp -r "$windows/VST3/The Morsello.vst3" "$staging/$name/"
install_text install-windows.txt | sed 's/$/\r/' > "$staging/$name/INSTALL.txt"
sed 's/$/\r/' "$root/LICENSE" > "$staging/$name/LICENSE.txt"
rm -f "$dist/$name.zip"
(cd "$staging" && zip -q -r -X "$dist/$name.zip" "$name")

name="the-morsello-$version-linux-x86_64"
mkdir -p "$staging/$name"
cp -r "$linux/VST3/The Morsello.vst3" "$linux/LV2/The Morsello.lv2" "$linux/Standalone/The Morsello" "$staging/$name/"
cp "$linux_build/tools/morsello-render" "$staging/$name/"
# The renderer's manual is its own --help text, so the two cannot disagree.
"$linux_build/tools/morsello-render" --help > "$staging/$name/morsello-render.txt"
install_text install-linux.txt > "$staging/$name/INSTALL.txt"
cp "$root/LICENSE" "$staging/$name/LICENSE.txt"
tar -C "$staging" --owner=0 --group=0 --numeric-owner -czf "$dist/$name.tar.gz" "$name"

files=("the-morsello-$version-windows-x64-setup.exe" "the-morsello-$version-windows-x64.zip"
       "the-morsello-$version-linux-x86_64.tar.gz")
(cd "$dist" && sha256sum "${files[@]}" > SHA256SUMS)

echo
echo "Release files:"
for file in "${files[@]}" SHA256SUMS; do
    echo "  $dist/$file ($(stat -c %s "$dist/$file") bytes)"
done
