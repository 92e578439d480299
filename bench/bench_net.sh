#!/usr/bin/env bash
# The net aids (regulars, summary, year chart) on a log of 1,000,000 check-ins (generated once into bench/data/).
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$here/data"
log="$here/data/log-1m.db"
[[ -f "$log" ]] || python3 "$here/make_log.py" --out "$log" --checkins 1000000
"$build/bench/bench_net" "$log" "${NET_RUNS:-20}"
