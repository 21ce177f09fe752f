#!/usr/bin/env bash
# Makes the Debian package with CPack and checks it: the dependencies come from the linked shared
# libraries, and the unpacked krtp-cli runs.
#   deb_test.sh BUILD_DIR
set -euo pipefail
build="$1"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --build "$build" --target krtp krtp-cli manpages
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/krtp_*.deb)
[ -f "$deb" ] || fail "no package was made"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libcurl4 libqt6core6 libqt6widgets6 libqt6gui6; do
    grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib"
done
[ "$(dpkg-deb -f "$deb" Version)" = 2.0.5 ] || fail "the package version is not 2.0.5"
contents=$(dpkg-deb -c "$deb")
for f in usr/bin/krtp usr/bin/krtp-cli usr/share/applications/krtp.desktop usr/share/icons/hicolor/scalable/apps/krtp.svg \
         usr/share/man/man1/krtp-cli.1.gz; do
    grep -q "\./$f\$" <<<"$contents" || fail "$f is not in the package"
done

dpkg-deb -x "$deb" "$out/root"
version=$("$out/root/usr/bin/krtp-cli" --version)
[ "$version" = "krtp-cli 2.0.5" ] || fail "krtp-cli --version printed '$version'"
echo "$(basename "$deb"): $(du -k "$deb" | cut -f1) KB"
