#!/usr/bin/env bash
# "bash scripts/dev.sh run" builds only the programs it starts, never the tests: runs a copy of
# dev.sh with cmake, dpkg-query and demo.sh standing in, and checks what it asked cmake to build.
#   devrun_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src="$1"
real_build="$2"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$tmp/tree/scripts" "$tmp/bin" "$tmp/build"
cp "$src/scripts/dev.sh" "$tmp/tree/scripts/dev.sh"
touch "$tmp/build/CMakeCache.txt"
printf '#!/bin/sh\necho "$*" >> "%s/cmake.log"\n' "$tmp" > "$tmp/bin/cmake"
# Every package counts as installed.
cat > "$tmp/bin/dpkg-query" <<'STUB'
#!/bin/sh
shift 2
for p in "$@"; do echo "$p install ok installed"; done
STUB
printf '#!/bin/sh\necho "$*" > "%s/demo.log"\n' "$tmp" > "$tmp/tree/scripts/demo.sh"
chmod +x "$tmp/bin/cmake" "$tmp/bin/dpkg-query" "$tmp/tree/scripts/demo.sh"

PATH="$tmp/bin:$PATH" KRTP_BUILD_DIR="$tmp/build" bash "$tmp/tree/scripts/dev.sh" run --extra
[ -f "$tmp/demo.log" ] || fail "dev.sh run did not start the demo"
[ "$(cat "$tmp/demo.log")" = "$tmp/build --extra" ] || fail "demo.sh got: $(cat "$tmp/demo.log")"
builds=$(grep -c -- '--build' "$tmp/cmake.log" || true)
[ "$builds" = 1 ] || fail "expected one build, cmake was called with: $(cat "$tmp/cmake.log")"
line=$(grep -- '--build' "$tmp/cmake.log")
targets=$(sed -n 's/.*--target \(.*\)$/\1/p' <<<"$line")
[ "$targets" = "krtp krtp-cli" ] || fail "dev.sh run builds '$line'"

# The targets it names exist in the real build and are the programs, not tests.
if [ -f "$real_build/CMakeCache.txt" ]; then
    known=$(cmake --build "$real_build" --target help | sed -n 's/^\.\.\. \([^ ]*\).*/\1/p')
    for t in $targets; do
        grep -qx "$t" <<<"$known" || fail "the build has no target $t"
        case "$t" in tst_*|bench_*) fail "$t is a test" ;; esac
    done
fi

# "test" still builds everything.
rm -f "$tmp/cmake.log"
PATH="$tmp/bin:$PATH" KRTP_BUILD_DIR="$tmp/build" bash "$tmp/tree/scripts/dev.sh" build
grep -q -- '--build' "$tmp/cmake.log" && ! grep -q -- '--target' "$tmp/cmake.log" \
    || fail "dev.sh build did not build everything: $(cat "$tmp/cmake.log")"
echo "dev.sh run builds: $targets"
