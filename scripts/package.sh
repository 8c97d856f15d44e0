#!/bin/sh
# Builds the Debian package tscard_<version>_amd64.deb with Debian's own
# tools (debian/, dpkg-buildpackage) and checks it with lintian, which must
# find no errors. The source is copied to build-deb/work first, since
# dpkg-buildpackage writes beside the source tree.
# Usage: package.sh [OUTDIR]   (default: build-deb/ in the source tree)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-"$root/build-deb"}
"$root/scripts/setup.sh"

version=$(sed -n 's/^project(tscard VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
packaged=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
if [ "$version" != "$packaged" ]; then
    echo "package: CMakeLists.txt says $version, debian/changelog $packaged: add a changelog entry" >&2
    exit 1
fi
arch=$(dpkg-architecture -q DEB_HOST_ARCH)
deb="tscard_${version}_${arch}.deb"

# A fixed folder in the tree (ignored by git), so that the compiler cache
# knows the sources again on the next run; one run at a time uses it.
work="$root/build-deb/work"
mkdir -p "$work"
exec 9>"$root/build-deb/.lock"
flock 9
src="$work/tscard-$version"
rm -rf "$src" "$work"/*.deb "$work"/*.buildinfo "$work"/*.changes
mkdir "$src"
# What git knows of (committed or not yet), nothing the builds left.
(cd "$root" && git ls-files -z --cached --others --exclude-standard | xargs -0 tar -cf - --) | tar -xf - -C "$src"

# The compiler cache lives where it always does, whatever HOME the build has.
if command -v ccache >/dev/null 2>&1; then
    CCACHE_DIR=${CCACHE_DIR:-$(ccache -k cache_dir)}
    export CCACHE_DIR
fi
export DEB_BUILD_OPTIONS="parallel=$(nproc) ${DEB_BUILD_OPTIONS:-}"
(cd "$src" && dpkg-buildpackage -us -uc -b >"$work/build.log" 2>&1) || {
    tail -n 60 "$work/build.log" >&2
    echo "package: dpkg-buildpackage failed (the end of its log is above)" >&2
    exit 1
}

mkdir -p "$out"
cp "$work/$deb" "$out/"
echo "package: $out/$deb" >&2
if command -v lintian >/dev/null 2>&1; then
    lintian --fail-on error "$out/$deb" >&2 || {
        echo "package: lintian found errors in $deb" >&2
        exit 1
    }
    echo "package: lintian found no errors" >&2
fi
