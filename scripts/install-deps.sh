#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. As root it runs apt-get; otherwise it
# prints the exact command to run and fails, so nothing half-builds on a machine that lacks them.
set -euo pipefail

packages=(
    build-essential cmake pkg-config ccache git
    juce-modules-source
    zlib1g-dev libpng-dev libjpeg-dev libfreetype-dev libasound2-dev
    libx11-dev libxext-dev libxinerama-dev libxrandr-dev libxcursor-dev
    fonts-dejavu-core
    googletest libgtest-dev libbenchmark-dev
    ngspice
    clang-22 libclang-rt-22-dev llvm-22
    # Standalone application: JACK headers (JUCE opens libjack at run time) and ALSA above.
    libjack-jackd2-dev
    # The third-party host tests: LV2 tools, the LV2 reference host, JACK with its dummy backend,
    # a JACK recorder, and a virtual X display, its window lister and a screenshot tool for the
    # standalone window.
    lilv-utils jalv jackd2 jack-capture xvfb xauth x11-utils imagemagick
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
    echo "Missing Debian packages. Run as root:" >&2
    echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
fi
