#!/usr/bin/env bash
# Starts the Logwarden window; on a machine without a display it runs under a virtual X server.
set -euo pipefail
exe=$1; shift
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" || -n "${QT_QPA_PLATFORM:-}" ]]; then
  exec "$exe" "$@"
fi
echo "No display found: starting Logwarden under Xvfb (xvfb-run)." >&2
exec xvfb-run -a -s "-screen 0 1600x1000x24" "$exe" "$@"
