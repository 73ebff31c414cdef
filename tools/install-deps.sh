#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing the player need, and nothing
# when they are all there already. Usage: tools/install-deps.sh
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config git
    qt6-base-dev libsdl2-dev libmpg123-dev libtag1-dev libuchardet-dev
    librubberband-dev libmp3lame-dev
    libqt6sql6-sqlite qt6-httpserver-dev qt6-websockets-dev
    libqrencode-dev libebur128-dev libzip-dev
    chromium chromium-driver python3-selenium
    dbus-daemon
    desktop-file-utils shared-mime-info
    fonts-liberation2 fonts-noto-cjk
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    [ "$status" = installed ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
