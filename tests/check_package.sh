#!/bin/sh
# The Debian package: scripts/package.sh builds it (lintian finds no
# errors there), and its files unpack where a Debian system looks for them:
# both programs (which run from there), the man page, the desktop entry,
# the icon; its dependencies come from the libraries the programs use, and
# it recommends udisks2.
# Usage: check_package.sh OUTDIR
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=$1
for tool in dpkg-buildpackage dpkg-deb lintian; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool missing (scripts/setup.sh installs it)"; exit 77; }
done
timeout 1500 "$root/scripts/package.sh" "$out"
version=$(sed -n 's/^project(tscard VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
deb="$out/tscard_${version}_$(dpkg-architecture -q DEB_HOST_ARCH).deb"
[ -f "$deb" ] || { echo "no $deb"; exit 1; }

unpacked=$(mktemp -d /tmp/tscard-unpacked-XXXXXX)
trap 'rm -rf "$unpacked"' EXIT
dpkg -x "$deb" "$unpacked"
bad=0
for file in usr/bin/tscard usr/bin/tscard-cli usr/share/man/man1/tscard-cli.1.gz \
    usr/share/applications/tscard.desktop usr/share/icons/hicolor/scalable/apps/tscard.svg \
    usr/share/doc/tscard/copyright usr/share/doc/tscard/changelog.gz \
    "usr/lib/$(dpkg-architecture -q DEB_HOST_MULTIARCH)/tscard/tscard-cli-qt.so"; do
    [ -f "$unpacked/$file" ] || { echo "missing: /$file"; bad=1; }
done
for program in tscard tscard-cli; do
    [ -x "$unpacked/usr/bin/$program" ] || { echo "not executable: /usr/bin/$program"; bad=1; }
done
got=$(timeout 10 "$unpacked/usr/bin/tscard-cli" --version) || got="(failed)"
[ "$got" = "tscard-cli $version" ] || { echo "tscard-cli --version from the package says: $got"; bad=1; }

depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6core6 libqt6dbus6 libqt6widgets6 libqt6network6 libblkid1 libc6 libstdc++6; do
    case "$depends" in *"$library"*) ;; *) echo "Depends lacks $library: $depends"; bad=1 ;; esac
done
[ "$(dpkg-deb -f "$deb" Recommends)" = "udisks2" ] || { echo "Recommends: $(dpkg-deb -f "$deb" Recommends)"; bad=1; }
lintian --fail-on error "$deb" || { echo "lintian found errors"; bad=1; }
exit $bad
