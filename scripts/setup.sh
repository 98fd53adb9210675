#!/usr/bin/env bash
# Installs the Debian packages Pregonal needs (only those missing) and builds it into build/.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-multimedia-dev qt6-serialport-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins
    libsndfile1-dev libgl-dev libsystemd-dev libpulse-dev
    libudev-dev libgpiod-dev libhamlib-dev libhamlib-utils libebur128-dev
    pulseaudio pulseaudio-utils pipewire pipewire-pulse wireplumber dbus-daemon xvfb xauth
    libqt6dbus6
    desktop-file-utils appstream dpkg-dev x11-utils xdotool
    python3-serial sox espeak-ng
    qt6-translations-l10n lintian
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Instalando: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
