#!/usr/bin/env bash
# Runs every benchmark script bench/bench_*.sh with the release build folder as its argument.
# Each prints its figures and the ratio against the peer it is measured with, in the same run.
set -euo pipefail
build=$(cd "${1:-build-release}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
status=0
for script in "$here"/bench_*.sh; do
  [[ -e "$script" ]] || continue
  echo "=== $(basename "$script" .sh) ==="
  bash "$script" "$build" || status=1
  echo
done
exit $status
