#!/usr/bin/env bash
# Runs one check of the Windows test host under Wine.
# usage: run_windows_host.sh <host.exe> <bundle> <output folder> <wine prefix> [check ...]
# Exits 77 (reported as skipped) when the Windows build or Wine is missing.
set -euo pipefail
host="$1" bundle="$2" output="$3" prefix="$(realpath -m "$4")"
shift 4

wine=""
for candidate in wine64 /usr/lib/wine/wine64; do
    if command -v "$candidate" >/dev/null 2>&1; then wine="$(command -v "$candidate")"; break; fi
done
if [ -z "$wine" ] || [ ! -f "$host" ] || [ ! -d "$bundle" ]; then
    echo "skipped: needs wine64 and the Windows build (scripts/build-windows.sh)"
    exit 77
fi

# A prefix of its own in the build tree. Wine's .NET and HTML engines are not installed and
# their set-up would ask through a dialog, so both are switched off.
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
mkdir -p "$output"

windows_path() { printf 'Z:%s' "${1//\//\\}"; }

if [ ! -f "$prefix/system.reg" ]; then
    echo "creating the Wine prefix in $prefix"
    "$wine" wineboot --init >/dev/null 2>&1 || true
fi

"$wine" "$host" "$(windows_path "$bundle")" "$(windows_path "$output")" "$@"
