#!/usr/bin/env bash
# Installs the Debian packages the client, its stand-in server and its tests
# need. Skips apt entirely when everything is there already.
set -euo pipefail
packages=(
  cmake g++ make pkg-config clang-format clang-tidy
  libgtk-3-dev libgtk-layer-shell-dev libwebkit2gtk-4.1-dev libsoup-3.0-dev nlohmann-json3-dev
  libayatana-appindicator3-dev libcanberra-dev libx11-dev libsqlite3-dev
  libgtest-dev libgmock-dev
  libsodium-dev clang-14 libclang-rt-14-dev
  xvfb xauth xdotool openbox dbus dbus-x11 x11-apps x11-utils imagemagick
  fonts-dejavu-core curl python3 python3-dbus python3-gi
  libglib2.0-bin
  sway grim wtype xdg-desktop-portal
  librsvg2-bin dpkg-dev file man-db lintian desktop-file-utils appstream
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get -o DPkg::Lock::Timeout=600 update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get -o DPkg::Lock::Timeout=600 install -y -qq "${missing[@]}"
fi
