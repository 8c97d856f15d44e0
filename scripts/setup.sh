#!/bin/sh
# Installs every build and test dependency from Debian packages. Idempotent
# and quiet: packages already present are not touched.
set -eu

packages="cmake g++ make pkg-config
qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-l10n-tools qt6-translations-l10n qt6-charts-dev qt6-svg-dev libqt6opengl6-dev libgl-dev qt6-wayland fonts-dejavu-core desktop-file-utils
libgtest-dev libgmock-dev libcli11-dev nlohmann-json3-dev libblkid-dev
ffmpeg clang libclang-rt-dev util-linux coreutils e2fsprogs help2man
udisks2 udev polkitd dbus-daemon dbus-bin
debhelper dpkg-dev build-essential lintian"

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || { echo "setup: need root or sudo to install:$missing" >&2; exit 1; }
    sudo="sudo"
fi
echo "setup: installing$missing" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq >/dev/null
# shellcheck disable=SC2086
$sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
