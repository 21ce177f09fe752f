#!/usr/bin/env bash
# Builds the programs, installs them into a temporary root and runs krtp-cli from there; checks
# that the desktop entry, the icons and the manual pages land where desktops and man look.
#   install_test.sh BUILD_DIR
set -euo pipefail
build="$1"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

cmake --build "$build" --target krtp krtp-cli manpages
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
for f in usr/bin/krtp usr/bin/krtp-cli usr/share/applications/krtp.desktop \
         usr/share/icons/hicolor/scalable/apps/krtp.svg usr/share/icons/hicolor/48x48/apps/krtp.png \
         usr/share/icons/hicolor/256x256/apps/krtp.png usr/share/man/man1/krtp-cli.1.gz \
         usr/share/man/man1/krtp.1.gz; do
    [ -s "$root/$f" ] || fail "$f was not installed"
done
[ -x "$root/usr/bin/krtp" ] && [ -x "$root/usr/bin/krtp-cli" ] || fail "the programs are not executable"

command -v desktop-file-validate >/dev/null || fail "desktop-file-validate is missing (Debian package desktop-file-utils)"
desktop-file-validate "$root/usr/share/applications/krtp.desktop" || fail "the desktop entry is not valid"

# Icon sizes as the theme folders say (PNG header: width and height, big-endian, at bytes 16..23).
for size in 48 256; do
    dims=$(od -An -tx1 -j16 -N8 "$root/usr/share/icons/hicolor/${size}x${size}/apps/krtp.png" | tr -d ' \n')
    [ "$dims" = "$(printf '%08x%08x' "$size" "$size")" ] || fail "the ${size}x${size} icon's header says $dims"
done

zcat "$root/usr/share/man/man1/krtp-cli.1.gz" | grep -q '^\.TH KRTP-CLI 1' || fail "the manual page has no title"

version=$("$root/usr/bin/krtp-cli" --version)
[ "$version" = "krtp-cli 2.0.5" ] || fail "krtp-cli --version printed '$version'"
echo "installed into a temporary root; krtp-cli --version: $version"
