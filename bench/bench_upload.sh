#!/usr/bin/env bash
# F5 in auto mode against a club server that takes two seconds to answer: F5's time and the window's
# longest stall, against the upload made on the window's thread.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
"$build/bench/bench_gui_upload" "$here/../tests/support/http_server.py" "${UPLOAD_F5:-40}"
