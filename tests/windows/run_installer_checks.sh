#!/usr/bin/env bash
# The Windows setup program under Wine, one step per test, in a Wine prefix of its own:
#   build      makes the setup program from the built Windows bundle (scripts/make-installer.sh)
#   install    a fresh prefix; a silent install; the files it added are exactly the bundle (equal
#              to the built one) and the uninstaller; the uninstall entry in the 64-bit registry
#   render     the Windows test host loads the installed bundle from Program Files and renders
#              the recipes (compared with the Linux build by morsello_windows_comparison)
#   upgrade    installing again, and over an older bundle, leaves what one install leaves
#   uninstall  the silent uninstall command from the entry removes everything the setup added
#              and nothing else: the user's recipe files stay
# usage: run_installer_checks.sh <step> <work folder> <built bundle> <host.exe> <version>
# Exits 77 (reported as skipped) when the Windows build, Wine or makensis is missing.
set -euo pipefail
step="$1" work="$(realpath -m "$2")" built="$3" host="$4" version="$5"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

setup="$work/the-morsello-$version-windows-x64-setup.exe"
prefix="$work/prefix"
drive="$prefix/drive_c"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\The Morsello'
common_vst3="$drive/Program Files/Common Files/VST3"
installed="$common_vst3/The Morsello.vst3"
uninstaller_folder="$drive/Program Files/The Morsello"
# Where users keep recipe files: their documents, and (after the install) beside the plug-in
# and the uninstaller.
documents_recipe="$drive/users/morsello/Documents/breakfast.morsellopreset"
vst3_recipe="$common_vst3/lunch.morsellopreset"
uninstaller_recipe="$uninstaller_folder/supper.morsellopreset"

skip() { echo "skipped: $1"; exit 77; }
fail() { echo "FAILED: $1"; exit 1; }

[ -d "$built" ] || skip "needs the Windows build (scripts/build-windows.sh)"

if [ "$step" = build ]; then
    command -v makensis >/dev/null 2>&1 || skip "needs makensis (Debian package nsis)"
    rm -f "$setup"
    "$root/scripts/make-installer.sh" "$built" "$setup"
    exit 0
fi

wine="" wineserver=""
for candidate in wine64 /usr/lib/wine/wine64; do
    if command -v "$candidate" >/dev/null 2>&1; then wine="$(command -v "$candidate")"; break; fi
done
for candidate in wineserver /usr/lib/wine/wineserver; do
    if command -v "$candidate" >/dev/null 2>&1; then wineserver="$(command -v "$candidate")"; break; fi
done
if [ -z "$wine" ] || [ -z "$wineserver" ]; then skip "needs wine64"; fi
[ -f "$setup" ] || skip "no setup program at $setup (needs makensis)"

# A private HOME as well as the prefix: Wine links the prefix's Documents to the home's.
export WINEPREFIX="$prefix" HOME="$work/home" USER=morsello WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT

# Runs a Windows program, bounded, and waits until every process of the prefix has ended (the
# uninstaller hands its work to a copy of itself in the temporary folder and returns at once).
run() {
    local status=0
    timeout 300 "$wine" "$@" || status=$?
    timeout 120 "$wineserver" -w || fail "the prefix's programs did not end"
    return $status
}

# Every path in the prefix's drive C, but the temporary folders, which programs use freely.
paths() { (cd "$drive" && find . \( -path './users/*/Temp' -o -path './windows/temp' \) -prune -o -print | LC_ALL=C sort); }

# What an install leaves: the paths, the installed files' contents and the uninstall entry.
state() {
    paths
    (cd "$drive" && find "./Program Files/Common Files/VST3" "./Program Files/The Morsello" -type f -exec sha256sum {} + | LC_ALL=C sort -k 2)
    "$wine" reg query "$key" /reg:64 | tr -d '\r'
}

expect_same() {
    if ! diff -u "$1" "$2"; then fail "$3"; fi
}

case "$step" in
install)
    "$wineserver" -k >/dev/null 2>&1 || true
    rm -rf "${prefix:?}" "${work:?}/home" "${work:?}/render"
    mkdir -p "$work/home"
    echo "creating a fresh Wine prefix in $prefix"
    run wineboot --init >/dev/null 2>&1 || fail "wineboot could not make the prefix"
    mkdir -p "$(dirname "$documents_recipe")"
    printf 'a recipe the user saved\r\n' > "$documents_recipe"
    paths > "$work/before-install.txt"

    run "$setup" /S || fail "the silent install exited with $?"

    # Added: the bundle's files and folders, the uninstaller and the folders holding them.
    paths > "$work/after-install.txt"
    [ -z "$(LC_ALL=C comm -23 "$work/before-install.txt" "$work/after-install.txt")" ] || fail "the install removed files"
    LC_ALL=C comm -13 "$work/before-install.txt" "$work/after-install.txt" > "$work/added.txt"
    {
        grep -qx './Program Files/Common Files' "$work/before-install.txt" || echo './Program Files/Common Files'
        echo './Program Files/Common Files/VST3'
        (cd "$(dirname "$built")" && find "$(basename "$built")" | sed 's|^|./Program Files/Common Files/VST3/|')
        echo './Program Files/The Morsello'
        echo './Program Files/The Morsello/uninstall.exe'
    } | LC_ALL=C sort > "$work/expected-added.txt"
    echo "Installed:"
    sed 's/^/  /' "$work/added.txt"
    expect_same "$work/expected-added.txt" "$work/added.txt" "the install added other files than the bundle and the uninstaller"
    diff -r "$built" "$installed" || fail "the installed bundle differs from the built one"

    # The uninstall entry, in the 64-bit view only.
    "$wine" reg query "$key" /reg:64 | tr -d '\r' > "$work/entry.txt" || fail "no uninstall entry in the 64-bit registry"
    echo "Uninstall entry:"
    cat "$work/entry.txt"
    if "$wine" reg query "$key" /reg:32 >/dev/null 2>&1; then fail "an uninstall entry in the 32-bit registry"; fi
    bytes=$(( $(find "$installed" -type f -printf '%s\n' | paste -sd+) + $(stat -c %s "$uninstaller_folder/uninstall.exe") ))
    uninstaller='C:\Program Files\The Morsello\uninstall.exe'
    while IFS='|' read -r name type value; do
        line="$(grep -E "^ +$name +" "$work/entry.txt")" || fail "the entry has no $name"
        [ "$line" = "    $name    $type    $value" ] || fail "$name: expected $type $value, got: $line"
    done <<EOF
DisplayName|REG_SZ|The Morsello
Publisher|REG_SZ|Morsello Kitchen
DisplayVersion|REG_SZ|$version
EstimatedSize|REG_DWORD|$(printf '0x%x' $(( (bytes + 1023) / 1024 )))
UninstallString|REG_SZ|"$uninstaller"
QuietUninstallString|REG_SZ|"$uninstaller" /S
InstallLocation|REG_SZ|C:\Program Files\The Morsello
EOF
    state > "$work/one-install.txt"
    ;;

render)
    [ -f "$host" ] || skip "needs the Windows test host (scripts/build-windows.sh)"
    [ -d "$installed" ] || fail "nothing installed at $installed"
    rm -rf "$work/render"
    # The bundle by its Windows path, where a Windows host finds it.
    run "$host" 'C:\Program Files\Common Files\VST3\The Morsello.vst3' "Z:${work//\//\\}\\render" render \
        || fail "the Windows test host failed on the installed bundle"
    ;;

upgrade)
    [ -f "$work/one-install.txt" ] || fail "no installed state to compare with (the install step did not run)"
    run "$setup" /S || fail "installing a second time exited with $?"
    state > "$work/two-installs.txt"
    expect_same "$work/one-install.txt" "$work/two-installs.txt" "installing twice left something else than one install"

    # An older version: a file the new bundle no longer has, a different DLL, an older entry.
    mkdir -p "$installed/Contents/Resources"
    echo "only in an older version" > "$installed/Contents/Resources/older.txt"
    echo "an older DLL" > "$installed/Contents/x86_64-win/The Morsello.vst3"
    "$wine" reg add "$key" /v DisplayVersion /d 0.9.0 /f /reg:64 >/dev/null
    run "$setup" /S || fail "installing over an older version exited with $?"
    state > "$work/over-older.txt"
    expect_same "$work/one-install.txt" "$work/over-older.txt" "installing over an older version left something else than one install"
    ;;

uninstall)
    [ -f "$work/before-install.txt" ] || fail "no state from before the install (the install step did not run)"
    printf 'a recipe kept beside the plug-in\r\n' > "$vst3_recipe"
    printf 'a recipe kept beside the uninstaller\r\n' > "$uninstaller_recipe"

    # The command Windows runs for a quiet uninstall, as the entry gives it.
    command="$("$wine" reg query "$key" /v QuietUninstallString /reg:64 | tr -d '\r' | sed -n 's/^ *QuietUninstallString *REG_SZ *//p')"
    program="$(sed -n 's/^"\([^"]*\)".*/\1/p' <<< "$command")"
    arguments="${command#\""$program"\"}"
    [ -n "$program" ] || fail "no quiet uninstall command in the entry"
    # shellcheck disable=SC2086 # the arguments are split as Windows splits them: at spaces
    run "$program" $arguments || fail "the silent uninstall exited with $?"

    if "$wine" reg query "$key" /reg:64 >/dev/null 2>&1; then fail "the uninstall entry is still there"; fi
    # Left: what was there before the install, and the user's files with their folders.
    paths > "$work/after-uninstall.txt"
    {
        cat "$work/before-install.txt"
        for file in "$vst3_recipe" "$uninstaller_recipe"; do
            relative="./${file#"$drive/"}"
            while [ "$relative" != . ]; do echo "$relative"; relative="$(dirname "$relative")"; done
        done
    } | LC_ALL=C sort -u > "$work/expected-after-uninstall.txt"
    expect_same "$work/expected-after-uninstall.txt" "$work/after-uninstall.txt" "the uninstall left something else than before the install and the user's files"
    [ "$(cat "$documents_recipe")" = $'a recipe the user saved\r' ] || fail "the recipe in Documents changed"
    [ "$(cat "$vst3_recipe")" = $'a recipe kept beside the plug-in\r' ] || fail "the recipe beside the plug-in changed"
    [ "$(cat "$uninstaller_recipe")" = $'a recipe kept beside the uninstaller\r' ] || fail "the recipe beside the uninstaller changed"
    # The prefix takes about 700 MB; it goes once the last step has passed (the lists of paths
    # each step compared stay in the work folder).
    "$wineserver" -k >/dev/null 2>&1 || true
    rm -rf "${prefix:?}" "${work:?}/home"
    ;;

*)
    echo "unknown step: $step"
    exit 2
    ;;
esac
echo "ok: $step"
