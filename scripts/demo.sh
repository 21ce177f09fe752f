#!/usr/bin/env bash
# Starts the program. Replaced by the demo-host runner once the demo site exists.
set -euo pipefail
build="$1"; shift
exec "$build/src/krtp" "$@"
