#!/usr/bin/env bash
# Checks the built LV2 bundle as a Linux host sees it through lilv: the plug-in is listed as a
# delay effect with a mailto: address and sixteen presets, has a stereo pair of audio inputs and
# outputs, and declares its sixteen parameters with their names.
# Usage: check_lv2_bundle.sh <path to "The Morsello.lv2"> <plug-in URI> <LV2 core bundle "core.lv2">
set -euo pipefail
bundle="$1"
uri="$2"
core="$3"

# lilv names a plug-in's class from LV2's core description, as hosts that ship it do; it comes
# from a folder of its own so that no other installed plug-in is read.
core_dir="$(mktemp -d)"
trap 'rm -rf "$core_dir"' EXIT
ln -s "$core" "$core_dir/core.lv2"

export LV2_PATH
LV2_PATH="$(dirname "$bundle"):$core_dir"

fail() { echo "FAIL: $*" >&2; exit 1; }

lv2ls | grep -qxF "$uri" || fail "lv2ls does not list $uri"

info="$(lv2info "$uri")"
grep -q "Name: *The Morsello" <<<"$info" || fail "name is not \"The Morsello\""
grep -q "Class: *Delay Plugin" <<<"$info" || fail "class is not \"Delay Plugin\""
grep -q "Author Email: *mailto:kitchen@morsello.invalid" <<<"$info" || fail "author e-mail is not a mailto: URI"

# The presets follow a "Presets:" line, one label per line, up to the first blank line.
presets="$(awk '/^[[:space:]]*Presets:/ { on = 1; next } on && /^[[:space:]]*$/ { exit } on { n++ } END { print n + 0 }' <<<"$info")"
[ "$presets" -eq 16 ] || fail "expected 16 presets, lv2info lists $presets"

# lilv lists a port's types in no fixed order, so each "Port N:" block is read as a whole.
count_ports() {
    awk -v direction="$1" '
        function finish() { if (audio && flow) ++count; audio = flow = 0 }
        /^[[:space:]]*Port [0-9]+:/ { finish() }
        /lv2core#AudioPort/ { audio = 1 }
        index($0, "lv2core#" direction) { flow = 1 }
        END { finish(); print count + 0 }' <<<"$info"
}
inputs="$(count_ports InputPort)"
outputs="$(count_ports OutputPort)"
if [ "$inputs" -ne 2 ] || [ "$outputs" -ne 2 ]; then
    printf '%s\n' "$info" >&2
    fail "expected 2 audio inputs and 2 audio outputs, found $inputs and $outputs"
fi

# The parameters live in the plug-in's data file, which lilv reports among its data URIs.
data="$bundle/dsp.ttl"
grep -q "dsp.ttl" <<<"$info" || fail "lv2info does not read dsp.ttl"
[ "$(grep -c 'a lv2:Parameter' "$data")" -eq 16 ] || fail "expected 16 parameters"

for label in "Bread type" "Bread mode" "Filling type" left1 left2 left3 right1 right2 right3 \
             fill1 fill2 fill3 fill4 toast bite Output; do
    grep -q "rdfs:label \"$label\"" "$data" || fail "no parameter labelled \"$label\""
done

for id in breadType breadMode fillingType left1 left2 left3 right1 right2 right3 \
          fill1 fill2 fill3 fill4 toast bite output; do
    grep -A20 "patch:writable" "$data" | grep -q "plug:$id\b" || fail "$id is not writable"
done

echo "LV2 bundle OK: $uri, a delay plug-in with 16 presets, 2 inputs, 2 outputs and 16 parameters"
