#!/usr/bin/env bash
# Installs what building and testing The Morsello needs, from Debian's packages only; package
# names given as arguments are installed too. Runs apt-get directly as root, through sudo
# otherwise; does nothing when all is present.
set -euo pipefail

packages=(
    build-essential cmake ninja-build ccache pkg-config
    juce-modules-source
    libasound2-dev libjack-jackd2-dev libfreetype-dev libfontconfig1-dev
    libx11-dev libxrandr-dev libxinerama-dev libxcursor-dev libxext-dev libxcomposite-dev
    libgl-dev libcurl4-openssl-dev libgtk-3-dev libflac-dev
    libgtest-dev libbenchmark-dev libxsimd-dev libexpat1-dev libcli11-dev libfftw3-dev
    clang-14 libclang-rt-14-dev libfuzzer-14-dev
    libasan8 libubsan1 libtsan2
    lilv-utils liblilv-dev lv2-dev xvfb xauth fonts-dejavu-core
    "$@"
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
    as_root=()
else
    as_root=(sudo)
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q -o DPkg::Lock::Timeout=600 --no-install-recommends "${missing[@]}"
