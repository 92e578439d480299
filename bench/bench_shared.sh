#!/usr/bin/env bash
# The shared club log against a PostgreSQL server started for the run (as the tests start it): how long a
# check-in added in one log takes to reach another (p99 < 250 ms over 1,000), F5 with the shared log on
# (median < 5 ms, with the server up and stopped), a resync of a 10,000-check-in net (< 2 s), F5 while
# another program imports 100,000 records and while that resync runs (p99 < 20 ms, max < 100 ms), and
# `add` beside `sync --follow` (p99 < 100 ms, the command's start included).
#   bash bench/bench_shared.sh RELEASE_BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
"$build/bench/bench_shared" "$build/src/cli/logwarden-cli"
