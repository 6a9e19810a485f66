#!/usr/bin/env bash
# Cross-builds the 64-bit Windows VST3 (and the Windows test host) with Debian's MinGW-w64
# toolchain, in build-windows/ (or $MORSELLO_WINDOWS_BUILD_DIR). Installs what is missing first:
# the toolchain, Wine for the tests, NSIS for the setup program, and static MinGW builds of
# libpng, libjpeg and expat made from Debian's own source packages (Debian has no MinGW packages
# of those three).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${MORSELLO_WINDOWS_BUILD_DIR:-$root/build-windows}"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
deps="$out/deps"

if [ "$(id -u)" -eq 0 ]; then as_root=(); else as_root=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
apt_get() { "${as_root[@]}" apt-get -o DPkg::Lock::Timeout=900 -q "$@"; }

"$root/scripts/install-dependencies.sh"

packages=(
    g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev libz-mingw-w64-dev
    wine64 dpkg-dev zip nsis
)
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    apt_get update
    apt_get install -y --no-install-recommends "${missing[@]}"
fi

#-------------------------------------------------------------------------------------------
# Static MinGW libpng, libjpeg and expat, built once into $deps/prefix.
build_image_libraries() {
    # Source packages need deb-src entries; when apt knows no source of libpng even after an
    # update, entries for the system's own Debian archives are added beside them.
    knows_sources() { apt-cache showsrc libpng1.6 2>/dev/null | grep -q '^Version:'; }
    knows_sources || apt_get update
    if ! knows_sources; then
        echo "Adding deb-src entries for Debian's source packages"
        local list=/etc/apt/sources.list.d/morsello-deb-src
        if [ -f /etc/apt/sources.list.d/debian.sources ]; then
            awk 'BEGIN { RS = ""; ORS = "\n\n" } /Types:[^\n]*deb/ { sub (/Types: *deb/, "Types: deb-src"); print }' \
                /etc/apt/sources.list.d/debian.sources | "${as_root[@]}" tee "$list.sources" >/dev/null
        else
            sed -n 's/^deb\s/deb-src /p' /etc/apt/sources.list | "${as_root[@]}" tee "$list.list" >/dev/null
        fi
        apt_get update
    fi

    rm -rf "$deps"
    mkdir -p "$deps/src"
    local package
    for package in libpng1.6 libjpeg-turbo expat; do
        # The newest version first; a mirror may list a security update whose files it lacks.
        local fetched=""
        for version in $(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -V -r -u); do
            if (cd "$deps/src" && apt-get source -q --download-only "$package=$version" >/dev/null 2>&1); then
                fetched="$version"
                break
            fi
        done
        [ -n "$fetched" ] || { echo "could not fetch the source of $package"; exit 1; }
        echo "$package $fetched" >> "$deps/versions"
        (cd "$deps/src" && dpkg-source -x ./"${package}_${fetched#*:}.dsc" "$package" >/dev/null)
    done

    local prefix="$deps/prefix"
    local common=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
                  -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_C_COMPILER_LAUNCHER=ccache -Wno-dev)

    # libjpeg without its SIMD code (that needs nasm) and without the TurboJPEG API.
    cmake -S "$deps/src/libjpeg-turbo" -B "$deps/build-jpeg" "${common[@]}" \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF >/dev/null
    cmake --build "$deps/build-jpeg" --target jpeg-static
    # Installed by hand: the library's install step also wants its command-line programs. The
    # framework defines JPEG_INTERNALS, so jpegint.h is needed beside the public headers.
    # The generated Windows jconfig.h types boolean as unsigned char, as windows.h does, but
    # leaves the typedef out when windows.h came first. The framework includes jpeglib.h inside
    # a namespace of its own after windows.h and then names that namespace's boolean, so the
    # typedef is made unconditional: the same type, declared in that namespace too.
    mkdir -p "$prefix/include" "$prefix/lib"
    cp "$deps/build-jpeg/libjpeg.a" "$prefix/lib/"
    sed -e '/^#ifndef __RPCNDR_H__/d' -e '/^typedef unsigned char boolean;/{n;/^#endif/d}' \
        "$deps/build-jpeg/jconfig.h" > "$prefix/include/jconfig.h"
    grep -q '^typedef unsigned char boolean;' "$prefix/include/jconfig.h"
    (cd "$deps/src/libjpeg-turbo" && cp jpeglib.h jmorecfg.h jerror.h jpegint.h "$prefix/include/")

    cmake -S "$deps/src/libpng1.6" -B "$deps/build-png" "${common[@]}" \
        -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF >/dev/null
    cmake --build "$deps/build-png"
    cmake --install "$deps/build-png" >/dev/null

    # expat, the plug-in's XML reader: the library alone, static.
    cmake -S "$deps/src/expat/expat" -B "$deps/build-expat" "${common[@]}" \
        -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF \
        -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_PKGCONFIG=OFF >/dev/null
    # Debian's security patches test "#if XML_DTD == 1", as its own (autotools) build defines it;
    # the CMake build's configuration header defines XML_DTD empty, so it is given the value 1.
    sed -i 's/^#define XML_DTD$/#define XML_DTD 1/' "$deps/build-expat/expat_config.h"
    grep -q '^#define XML_DTD 1$' "$deps/build-expat/expat_config.h"
    cmake --build "$deps/build-expat"
    cmake --install "$deps/build-expat" >/dev/null
    [ -f "$prefix/lib/libexpat.a" ]

    touch "$deps/prefix/.complete"
}

# A folder made before expat joined the list is made again.
if [ ! -f "$deps/prefix/.complete" ] || [ ! -f "$deps/prefix/lib/libexpat.a" ]; then
    build_image_libraries
fi

#-------------------------------------------------------------------------------------------
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
cmake -S "$root" -B "$out/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DMORSELLO_WINDOWS_DEPS="$deps/prefix" >/dev/null
cmake --build "$out/build" --target Morsello_VST3 morsello_windows_host

bundle="$out/build/Morsello_artefacts/Release/VST3/The Morsello.vst3"
dll="$bundle/Contents/x86_64-win/The Morsello.vst3"
echo
echo "Windows VST3: $bundle"
echo "  DLL: $dll ($(stat -c %s "$dll") bytes)"
echo "  imports: $(x86_64-w64-mingw32-objdump -p "$dll" | sed -n 's/^\s*DLL Name: //p' | sort -u | tr '\n' ' ')"
