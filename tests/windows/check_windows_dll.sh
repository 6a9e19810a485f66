#!/usr/bin/env bash
# Checks that the plug-in DLL runs on a bare Windows: it imports only DLLs that come with
# Windows (the GCC, C++ and thread runtimes are linked in), and it exports the three entry
# points a VST3 host calls.
# usage: check_windows_dll.sh <dll>    Exits 77 (skipped) when the DLL or objdump is missing.
set -euo pipefail
dll="$1"
objdump=x86_64-w64-mingw32-objdump
if [ ! -f "$dll" ] || ! command -v "$objdump" >/dev/null; then
    echo "skipped: needs the Windows build (scripts/build-windows.sh)"
    exit 77
fi

dump="$("$objdump" -p "$dll")"
status=0

grep -q "^Magic.*PE32+" <<<"$dump" || { echo "not a 64-bit PE file"; status=1; }

# DLLs every 64-bit Windows has in System32.
system_dlls=(
    kernel32 user32 gdi32 advapi32 shell32 ole32 oleaut32 comdlg32 imm32 shlwapi rpcrt4 winmm
    version wininet ws2_32 wsock32 dxgi d2d1 dwrite d3d11 msvcrt comctl32 uxtheme dwmapi
    opengl32 iphlpapi crypt32 bcrypt secur32 setupapi shcore
)
echo "imports:"
while read -r name; do
    lower="$(tr '[:upper:]' '[:lower:]' <<<"$name")"
    if [[ " ${system_dlls[*]} " == *" ${lower%.dll} "* && "$lower" == *.dll ]] || [[ "$lower" == api-ms-win-* ]]; then
        echo "  $name"
    else
        echo "  $name   <- not a Windows system DLL"
        status=1
    fi
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$dump" | sort -u)

echo "exports:"
for entry in GetPluginFactory InitDll ExitDll; do
    if grep -Eq "\]\s+$entry$" <<<"$dump"; then
        echo "  $entry"
    else
        echo "  $entry   <- missing"
        status=1
    fi
done

exit $status
