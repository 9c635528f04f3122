#!/usr/bin/env bash
# Builds the Debian package from this build, as `make package` does, and
# looks at it as a user's machine would: its control fields, lintian's
# verdict, the files it puts down, and the program it carries.
# Usage: package_check.sh CPACK BUILD_DIR VERSION APP_ID
# Exit 77 (skipped) where there is no dpkg-deb, i.e. not on Debian.
set -euo pipefail
cpack=$1 build=$2 version=$3 id=$4

if ! command -v dpkg-deb >/dev/null 2>&1; then
  echo "SKIPPED: dpkg-deb is missing, so no Debian package can be built or checked here"
  exit 77
fi
for tool in dpkg-shlibdeps lintian; do
  command -v $tool >/dev/null 2>&1 || { echo "$tool is missing (scripts/setup.sh test installs it)"; exit 1; }
done

tmp=$(mktemp -d "$build/package-test.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

if ! (cd "$build" && "$cpack" -G DEB --config CPackConfig.cmake -B "$tmp/out") >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log"; fail "cpack did not build the package"
fi
deb="$tmp/out/tumbilder_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$tmp/out"; fail "no $(basename "$deb")"; }

# Control fields. Depends comes from dpkg-shlibdeps, so it names the very
# packages of the libraries the program links.
dpkg-deb --info "$deb"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = tumbilder ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Section)" = graphics ] || fail "Section: $(field Section)"
[[ "$(field Maintainer)" =~ ^.+\ \<.+@.+\>$ ]] || fail "Maintainer: $(field Maintainer)"
depends=$(field Depends)
for package in libqt6core6 libqt6gui6 libqt6widgets6 libimagequant0 libgif7 libpng16-16 libwebp7 libwebpdemux2 \
               libheif1 libtiff6 libavformat59 libavcodec59 libswscale6 libavutil57; do
  [[ ",$depends," =~ [,\ ]$package[\ ,] ]] || fail "Depends lacks $package: $depends"
done

# Errors fail; warnings are shown.
echo "== lintian"
if ! lintian --fail-on error --tag-display-limit 0 "$deb" >"$tmp/lintian.log" 2>&1; then
  cat "$tmp/lintian.log"; fail "lintian reports errors"
fi
cat "$tmp/lintian.log"

# What it puts down.
dpkg-deb -x "$deb" "$tmp/root"
files=(usr/bin/tumbilder
       "usr/share/applications/$id.desktop"
       "usr/share/metainfo/$id.metainfo.xml"
       "usr/share/icons/hicolor/scalable/apps/$id.svg"
       usr/share/man/man1/tumbilder.1.gz
       usr/share/doc/tumbilder/copyright
       usr/share/doc/tumbilder/changelog.gz)
for size in 16 22 24 32 48 64 128 256; do
  files+=("usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
done
for f in "${files[@]}"; do
  [ -f "$tmp/root/$f" ] || fail "the package lacks /$f"
done
[ -x "$tmp/root/usr/bin/tumbilder" ] || fail "/usr/bin/tumbilder is not executable"

# The program in the package runs, with no display, and knows its version;
# the changelog and the metainfo name the same version as their newest.
shown=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$tmp/root/usr/bin/tumbilder" --version)
[ "$shown" = "Tumbilder $version" ] || fail "the packaged program says '$shown'"
newest=$(zcat "$tmp/root/usr/share/doc/tumbilder/changelog.gz" | head -n 1)
[[ "$newest" == "tumbilder ($version) "* ]] || fail "the changelog's newest entry is '$newest'"
release=$(grep -o -m 1 '<release version="[^"]*"' "$tmp/root/usr/share/metainfo/$id.metainfo.xml")
[ "$release" = "<release version=\"$version\"" ] || fail "the metainfo's newest release is $release"
zcat "$tmp/root/usr/share/man/man1/tumbilder.1.gz" | grep -q "^\.TH TUMBILDER 1 .*\"Tumbilder $version\"" \
  || fail "the manual page names another version"

echo "package $(basename "$deb") checked"
