#!/usr/bin/env bash
# Installs what the build and the tests need and is missing: Debian packages
# and the locked npm packages. Quick when everything is already there.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev clang-format nodejs npm
  qt6-webengine-dev qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools libgl-dev
  qt6-webchannel-dev libqt6sql6-sqlite libpaho-mqtt-dev libprotobuf-dev protobuf-compiler libsodium-dev openssl qt6-multimedia-dev
  qt6-translations-l10n dpkg-dev desktop-file-utils appstream mosquitto
  xvfb xauth fonts-dejavu-core chromium imagemagick x11-utils xdotool python3
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# Node.js and npm may come from elsewhere than Debian; only install them when absent.
command -v node >/dev/null && missing=("${missing[@]/nodejs}")
command -v npm >/dev/null && missing=("${missing[@]/npm}")
read -r -a missing <<<"${missing[*]}"
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

# npm ci only when the lock file changed since the last install.
stamp=node_modules/.package-lock.json
if [ ! -f "$stamp" ] || [ package-lock.json -nt "$stamp" ]; then
  npm ci --no-audit --no-fund
fi
