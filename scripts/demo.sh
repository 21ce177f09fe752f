#!/usr/bin/env bash
# Runs KRtp against a local demo host: a loopback FTP + HTTP pair (tools/loopback_host.py) on free
# ports, serving the per-user copy of the demo site. The host stops when the program ends.
#   scripts/demo.sh BUILD_DIR [krtp arguments...]
# KRTP_DEMO_RESET=1 replaces the per-user copy of the demo site with a fresh one.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build="$1"; shift
seed="$here/tools/demo/site"
data_home="${XDG_DATA_HOME:-$HOME/.local/share}"
site="$data_home/KRtp/demo-site"
ftp_user=velmar
ftp_password=tolbek

if [ "${KRTP_DEMO_RESET:-0}" = 1 ]; then
    rm -rf "$site"
fi
# The copy keeps the members' changes between runs; it is made only when absent.
if [ ! -d "$site" ]; then
    mkdir -p "$site.tmp.$$"
    cp -R "$seed/." "$site.tmp.$$/"
    mv "$site.tmp.$$" "$site"
    echo "Demo site copied to $site"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No desktop display found (DISPLAY / WAYLAND_DISPLAY are empty): run this from a desktop session." >&2
    exit 1
fi

# The host watches its standard input and stops when this script (or the program) goes away.
coproc HOST { exec /usr/bin/python3 "$here/tools/loopback_host.py" --root "$site" --user "$ftp_user" \
                   --password "$ftp_password" --stdin-watch; }
host_pid=$HOST_PID
host_out=${HOST[0]}
host_in=${HOST[1]}

stop_host() {
    exec {host_in}>&- 2>/dev/null || true
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        kill -0 "$host_pid" 2>/dev/null || return 0
        sleep 0.2
    done
    kill "$host_pid" 2>/dev/null || true
    wait "$host_pid" 2>/dev/null || true
}
trap stop_host EXIT
trap 'exit 130' INT TERM

if ! read -r -t 20 ports <&"$host_out"; then
    echo "The demo host did not start (is python3-pyftpdlib installed?)" >&2
    exit 1
fi
ftp_port=$(sed -n 's/.*"ftp": *\([0-9]*\).*/\1/p' <<<"$ports")
http_port=$(sed -n 's/.*"http": *\([0-9]*\).*/\1/p' <<<"$ports")
if [ -z "$ftp_port" ] || [ -z "$http_port" ]; then
    echo "The demo host printed no ports: $ports" >&2
    exit 1
fi

export KRTP_FTP_HOST="127.0.0.1:$ftp_port"
export KRTP_BASE_URL="http://127.0.0.1:$http_port/"
export KRTP_FTP_USER="$ftp_user"
export KRTP_FTP_PASSWORD="$ftp_password"
# The demo host is a plain FTP server on this machine only; a real site keeps FtpTls at "require".
export KRTP_FTP_TLS=off
echo "Demo host: ftp://$KRTP_FTP_HOST  $KRTP_BASE_URL  (site files in $site)"
echo "Demo members are listed in README.md (for example Bob / builder)."

status=0
"$build/src/krtp" "$@" {host_in}>&- {host_out}<&- || status=$?
exit "$status"
