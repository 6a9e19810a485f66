#!/usr/bin/env bash
# Builds the Windows setup program from a built Windows VST3 bundle with NSIS (makensis).
# usage: make-installer.sh <The Morsello.vst3> <output setup .exe>
# The version is the one CMakeLists.txt names. Used by scripts/package.sh and by the tests that
# install under Wine (tests/windows/run_installer_checks.sh).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
[ $# -eq 2 ] || { echo "usage: make-installer.sh <The Morsello.vst3> <output setup .exe>" >&2; exit 2; }
bundle="$(realpath "$1")"
output="$(realpath -m "$2")"

version="$(sed -n 's/^project *(Morsello VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
[ -n "$version" ] || { echo "no version found in CMakeLists.txt" >&2; exit 1; }
[ -f "$bundle/Contents/x86_64-win/The Morsello.vst3" ] || { echo "not a Windows VST3 bundle: $bundle" >&2; exit 1; }

staging="$(mktemp -d)"
trap 'rm -rf "$staging"' EXIT
# The licence page shows the text in a Windows control, which wants Windows line ends.
sed 's/$/\r/' "$root/LICENSE" > "$staging/LICENSE.txt"

mkdir -p "$(dirname "$output")"
makensis -V2 -WX -INPUTCHARSET UTF8 \
    -DVERSION="$version" -DBUNDLE="$bundle" -DLICENCE="$staging/LICENSE.txt" -DOUTFILE="$output" \
    "$root/packaging/windows-installer.nsi"
echo "$output"
