#!/usr/bin/env bash
# The history dialog's whole-log view on a log of 200,000 check-ins (generated once into bench/data/).
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$here/data"
log="$here/data/log-200k.db"
[[ -f "$log" ]] || python3 "$here/make_log.py" --out "$log"
"$build/bench/bench_gui_history" "$log" "${HISTORY_RUNS:-20}"
