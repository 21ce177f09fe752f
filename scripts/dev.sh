#!/usr/bin/env bash
# Set up, build and run KRtp on Debian 12.
#   bash scripts/dev.sh run    start the program against a local demo host
#   bash scripts/dev.sh test   run every test (ctest, without the bench and screens labels; the interop
#                              label runs against vsftpd and OpenSSH's sshd when they are installed, else it
#                              is skipped with a line)
#   bash scripts/dev.sh build  only install what is missing and build
#   bash scripts/dev.sh fuzz   build the libFuzzer targets with clang (build-fuzz/) and run each for a while
#   bash scripts/dev.sh screens  render every window to docs/screens/*.png (the pictures in README.md)
# "run" builds only the programs; "test" and "build" build everything, tests included.
# Labels left out of "test": bench (speed measurements), screens (window pictures), package
# (install and .deb; "cd build && ctest -L package"), fuzz (only in build-fuzz/) and keyring (a real
# gnome-keyring on a private bus; "cd build && ctest -L keyring").
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build="${KRTP_BUILD_DIR:-$here/build}"
packages=(cmake g++ make ccache qt6-base-dev qt6-webengine-dev libcurl4-openssl-dev python3-pyftpdlib
          xvfb xauth tinyproxy curl libgl-dev fonts-dejavu-core clang-format python3-openssl vsftpd
          desktop-file-utils dpkg-dev qtkeychain-qt6-dev libsecret-1-0 libdtl-dev openssh-server)

# Window pictures kept in docs/screens for README.md.
guide_screens=(frmLogin frmMainMenu frmFileList frmOptions frmExplorer frmEdit frmPostNews frmUsers-Velmar frmHistory)

install_missing() {
    local missing=() installed
    # One query for all: the run command should reach the program quickly.
    installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null || true)
    for p in "${packages[@]}"; do
        grep -q "^$p install ok installed$" <<<"$installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    # A package's own service (vsftpd, sshd) must not start listening: the tests start their own instance
    # on 127.0.0.1 and stop it.
    local policy=/usr/sbin/policy-rc.d added_policy=""
    if [ ! -e "$policy" ]; then
        printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
        $sudo chmod 755 "$policy"
        added_policy=1
    fi
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get -y -q install --no-install-recommends "${missing[@]}"
    [ -z "$added_policy" ] || $sudo rm -f "$policy"
    if [ -d /run/systemd/system ] && command -v systemctl >/dev/null; then
        $sudo systemctl disable --now vsftpd.service >/dev/null 2>&1 || true
        # Only an SSH server this set-up installed: one already serving the machine stays as it is.
        if [[ " ${missing[*]} " == *" openssh-server "* ]]; then
            $sudo systemctl disable --now ssh.service >/dev/null 2>&1 || true
        fi
    fi
}

# Paths below the checkout are hashed relative to it, so a fresh clone elsewhere reuses the compiler cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$here}"

configure() {
    if [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    fi
}

cmd="${1:-test}"
case "$cmd" in
    run|test|build|screens|fuzz) ;;
    *)
        echo "usage: $0 run|test|build|screens|fuzz" >&2
        exit 2
        ;;
esac
if [ "$cmd" = fuzz ]; then
    packages+=(clang libclang-rt-14-dev)
fi
install_missing
if [ "$cmd" = run ]; then
    # Only what the demo starts: on a built tree this takes about a second.
    configure
    cmake --build "$build" -j "$(nproc)" --target krtp krtp-cli
elif [ "$cmd" != fuzz ]; then
    configure
    cmake --build "$build" -j "$(nproc)"
fi
case "$cmd" in
    build) ;;
    test)
        cd "$build"
        labels='bench|screens|package|fuzz|keyring'
        if [ ! -x /usr/sbin/vsftpd ]; then
            echo "Skipping the interop tests: vsftpd is not installed (bash scripts/dev.sh build installs it)."
            labels='bench|screens|package|fuzz|keyring|interop'
        fi
        ctest --output-on-failure -LE "$labels" --timeout 600
        ;;
    screens)
        # The windows the guide shows; the screens label renders them all into build/screens.
        (cd "$build" && ctest -L screens --output-on-failure)
        mkdir -p "$here/docs/screens"
        for name in "${guide_screens[@]}"; do
            cp "$build/screens/$name.png" "$here/docs/screens/$name.png"
        done
        echo "Copied ${#guide_screens[@]} pictures to docs/screens"
        ;;
    fuzz)
        fuzz_build="${KRTP_FUZZ_BUILD_DIR:-$here/build-fuzz}"
        if [ ! -f "$fuzz_build/CMakeCache.txt" ]; then
            cmake -S "$here" -B "$fuzz_build" -DKRTP_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
                  -DCMAKE_BUILD_TYPE=RelWithDebInfo
        fi
        cmake --build "$fuzz_build" -j "$(nproc)"
        cd "$fuzz_build"
        ctest -L fuzz --output-on-failure
        ;;
    run)
        shift || true
        exec "$here/scripts/demo.sh" "$build" "$@"
        ;;
esac
