#!/usr/bin/env bash
# The net-log page of a day of 300 check-ins and a pre-net page of 1,000 entries marked against that day.
set -euo pipefail
build=$1
"$build/bench/bench_web" "${WEB_RUNS:-200}"
