#!/usr/bin/env bash
# The include rules of the sources the build does not hold itself: no include by a relative
# path, no modal loop, and no two parts include each other, directly or through others. A part
# is a header with its source file.
set -euo pipefail
source_dir="${1:?usage: check_includes.sh <source folder>}"
cd "$source_dir"

status=0

# The build holds what each library may include (cmake/Dsp.cmake gives the engine its own
# folder and the framework's audio basics alone); an include that climbs out of its folder by a
# relative path would get round that.
sources="$(find . -name '*.h' -o -name '*.cpp' | sed 's|^\./||' | sort)"

if grep -n '#include "\.\./' $sources; then
    echo "an include reaches another folder by a relative path (above)"
    status=1
fi

# The processor stands below the recipes, the editor and the look, and model code opens no window:
# the processor and the recipes include no GUI module (the editor owns the dialogs).
if grep -n -E '#include "(recipes|editor|look|plugin)/' $(find processor -name '*.h' -o -name '*.cpp'); then
    echo "processor/ includes a part above it (above)"
    status=1
fi

if grep -n -E '#include <juce_gui_(basics|extra)/' $(find processor recipes -name '*.h' -o -name '*.cpp'); then
    echo "model code includes a GUI module (above)"
    status=1
fi

# The framework is built with modal loops permitted, for the test hosts. The plug-in runs inside a
# host's event loop and must never start one of its own: only the asynchronous dialogs and menus.
if grep -n -E 'runModalLoop|runDispatchLoop|(AlertWindow|NativeMessageBox)::show(MessageBox|OkCancelBox|YesNoCancelBox) *\(|browseFor[A-Za-z]* *\(|\.show *\( *\)|showMenu *\(' $sources; then
    echo "the plug-in's code starts a modal loop (above)"
    status=1
fi

# Every include between parts as a pair "includer included" for tsort, which reports any loop.
edges="$(for file in $sources; do
    part="${file%.*}"
    { grep -o '#include "[^"]*"' "$file" || true; } | sed 's/#include "\(.*\)"/\1/' | while read -r included; do
        target="${included%.*}"
        if [ -f "$included" ] && [ "$target" != "$part" ]; then
            echo "$part $target"
        fi
    done
done)"

if ! loops="$(echo "$edges" | tsort 2>&1 >/dev/null)" || [ -n "$loops" ]; then
    echo "include cycle among the sources:"
    echo "$loops"
    status=1
fi

exit $status
