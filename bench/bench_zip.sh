#!/usr/bin/env bash
# Extracting HD.dat, EN.dat and AM.dat from a full-size l_amat.zip (about 162 MB, made by
# ../shared/tools/uls_synth.py --zip): logwarden-cli uls-extract against unzip -o of the same three
# entries, alternating in one run. Prints the median wall time and peak memory of each and the ratio.
# Goal: ours at most 0.75 of unzip's time, peak memory under 32 MB.
#   bash bench/bench_zip.sh RELEASE_BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-5}
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
cli="$build/src/cli/logwarden-cli"
synth="$repo/../shared/tools/uls_synth.py"
data="$here/data/uls"
archive="$data/l_amat.zip"

if [[ ! -f "$archive" ]]; then
  if [[ ! -f "$synth" ]]; then
    echo "skipped: $synth not found (it makes the test archive)"
    exit 0
  fi
  echo "making a full-size l_amat.zip (about a minute) ..."
  mkdir -p "$data"
  python3 "$synth" --out "$data" --zip >/dev/null
  find "$data" -maxdepth 1 -type f ! -name l_amat.zip -delete
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/logwarden-bench-zip.XXXXXX")
trap 'rm -rf "$work"' EXIT

# One timed run: wall seconds and peak resident kB appended to $1.
timed() {
  local out=$1; shift
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || {
    cat "$work/stderr" >&2; return 1; }
  cat "$work/time" >>"$out"
}

ours() { rm -rf "$work/ours"; timed "$work/ours.txt" "$cli" uls-extract --archive "$archive" --dir "$work/ours"; }
peer() { rm -rf "$work/unzip"; timed "$work/unzip.txt" unzip -o -q "$archive" HD.dat EN.dat AM.dat -d "$work/unzip"; }

# Warm-up (the archive into the page cache), and the outputs must agree.
ours; peer
for f in AM.dat EN.dat HD.dat; do
  cmp -s "$work/ours/$f" "$work/unzip/$f" || { echo "FAIL: $f differs from unzip's"; exit 1; }
done
: >"$work/ours.txt"; : >"$work/unzip.txt"
for ((i = 0; i < runs; i++)); do
  ours; peer
done

python3 - "$work/ours.txt" "$work/unzip.txt" "$(nproc)" <<'PY'
import statistics, sys
def load(path):
    rows = [line.split() for line in open(path) if line.strip()]
    return [float(r[0]) for r in rows], [int(r[1]) for r in rows]
ot, om = load(sys.argv[1])
ut, um = load(sys.argv[2])
o, u = statistics.median(ot), statistics.median(ut)
ratios = [a / b for a, b in zip(ot, ut)]
ratio = statistics.median(ratios)
mem = max(om) / 1024
print("l_amat.zip, 3 entries, %d runs each, %s cores" % (len(ot), sys.argv[3]))
print("  logwarden-cli uls-extract  median %.2f s  (min %.2f, max %.2f)  peak memory %.1f MB"
      % (o, min(ot), max(ot), mem))
print("  unzip -o                   median %.2f s  (min %.2f, max %.2f)  peak memory %.1f MB"
      % (u, min(ut), max(ut), max(um) / 1024))
print("  ratio ours/unzip (median of pairs) %.2f   goal <= 0.75: %s" % (ratio, "met" if ratio <= 0.75 else "MISSED"))
print("  peak memory %.1f MB   goal < 32 MB: %s" % (mem, "met" if mem < 32 else "MISSED"))
PY
