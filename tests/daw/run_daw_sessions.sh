#!/usr/bin/env bash
# Runs The Morsello in Ardour's headless session tool for both plug-in formats and leaves the
# renders and their case lists in OUT_DIR for the comparison tests.
#
#   run_daw_sessions.sh VST3_BUNDLE LV2_BUNDLE OUT_DIR
#
# Ardour runs with a private HOME that holds only our bundles and the test-signal script, so a
# user's own plug-ins, presets and settings take no part. Its session tool reads VST3 plug-ins
# only from the cache its scanner writes, so the scanner runs first.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
vst3_bundle="$1" lv2_bundle="$2" out_dir="$3"

if ! command -v ardour7-lua >/dev/null; then
    echo "ardour7-lua is missing: scripts/test.sh installs Debian's package ardour" >&2
    exit 1
fi

rm -rf "$out_dir"
mkdir -p "$out_dir/home/.vst3" "$out_dir/home/.lv2" "$out_dir/home/.config/ardour7/scripts"
ln -s "$vst3_bundle" "$out_dir/home/.vst3/"
ln -s "$lv2_bundle" "$out_dir/home/.lv2/"
cp "$here/test_signal.lua" "$out_dir/home/.config/ardour7/scripts/morsello_test_signal.lua"
export HOME="$out_dir/home"
unset LV2_PATH VST3_PATH

# The session tool trusts the scanner's cache only when it is newer than the plug-in's library
# by the clock's second; a library linked a moment ago would be passed over.
library="$(find -L "$vst3_bundle" -name '*.so' | head -n 1)"
if [ $(( $(date +%s) - $(stat -L -c %Y "$library") )) -lt 2 ]; then
    sleep 2
fi
LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst3-scanner -q "$HOME/.vst3/$(basename "$vst3_bundle")"

# Each step in a process of its own: "reopen" must find the session as a fresh DAW would.
for format in vst3 lv2; do
    for action in new reopen; do
        log="$out_dir/$format-$action.log"
        if ! ardour7-lua "$here/daw_session.lua" "$format" "$action" "$out_dir/session-$format" "$out_dir" >"$log" 2>&1 \
            || grep -q '^Error: ' "$log"; then
            echo "Ardour session step '$format $action' failed:" >&2
            grep -v 'in new MIDI buffer of size\|Falling back to Reasonable Synth' "$log" >&2
            exit 1
        fi
    done
done
echo "renders in $out_dir"
