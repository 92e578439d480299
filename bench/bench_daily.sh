#!/usr/bin/env bash
# One daily ULS file applied to a full FCC licence database, measured in one run against a full rebuild:
#   (a) logwarden-cli uls-update of one day (3,000 changed licences of 1.5 million: the download from a
#       server on 127.0.0.1, the extraction and the day's transaction) against logwarden-cli uls-compile of
#       the weekly it applies to; pairs alternate, the ratio is taken pair by pair (goal <= 0.1);
#   (b) the local look-up (F7) while the day is applied, back to back and as an operator's (goal p99 < 1 ms).
#
#   bash bench/bench_daily.sh BUILD_DIR            (make bench runs it)
#
# The data (a weekly and the day after it) is generated on first use by uls_synth.py --dailies into
# bench/data/ (git-ignored), about 450 MB. ULS_BENCH_LICENCES and ULS_BENCH_PAIRS make a quicker run.
set -euo pipefail
build=$(cd "${1:-build-release}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
synth=${ULS_SYNTH:-$here/../../shared/tools/uls_synth.py}
data=${ULS_BENCH_DATA:-$here/data}
licences=${ULS_BENCH_LICENCES:-1500000}
pairs=${ULS_BENCH_PAIRS:-3}
cli=$build/src/cli/logwarden-cli
during=$build/bench/bench_lookup_during

for tool in python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "bench_daily: $tool is needed" >&2; exit 1; }
done
if [[ ! -f $synth ]]; then
  echo "bench_daily: skipped, the data generator uls_synth.py is not at $synth (set ULS_SYNTH)"
  exit 0
fi

set_dir=$data/uls-daily-$licences
rate=$(awk -v n="$licences" 'BEGIN {print 3000 / n}')
if [[ ! -f $set_dir/.complete ]]; then
  echo "generating $licences licences and the day after them into $set_dir ..."
  rm -rf "$set_dir"
  python3 "$synth" --out "$set_dir" --licences "$licences" --dailies 1 --daily-rate "$rate" >/dev/null
  touch "$set_dir/.complete"
fi
# The weekly's files carry the time the archive was made, as extraction leaves them: the day after it
# is the one to apply.
touch -d "2025-06-01 12:01:24" "$set_dir/AM.dat" "$set_dir/EN.dat" "$set_dir/HD.dat"
changed=$(wc -l <"$set_dir/daily/1-mon/HD.dat")

work=$(mktemp -d "$data/daily.XXXXXX")
server=
cleanup() {
  [[ -n $server ]] && kill "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
python3 -c '
import http.server, os, sys
os.chdir(sys.argv[1])
s = http.server.ThreadingHTTPServer(("127.0.0.1", 0), http.server.SimpleHTTPRequestHandler)
print(s.server_address[1], flush=True)
s.serve_forever()' "$set_dir/daily" >"$work/port" 2>/dev/null &
server=$!
for _ in $(seq 50); do [[ -s $work/port ]] && break; sleep 0.1; done
url=http://127.0.0.1:$(cat "$work/port")

timed() { # command...: prints seconds
  /usr/bin/time -f "%e" -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || {
    cat "$work/stderr" >&2
    return 1
  }
  cat "$work/time"
}
rebuild() { rm -f "$work/fcc.db"; timed "$cli" uls-compile --input "$set_dir" --output "$work/fcc.db"; }
update() { rm -rf "$work/dl"; timed "$cli" uls-update --fcc "$work/fcc.db" --dir "$work/dl" --url-base "$url" --until 2025-06-02; }

echo "One daily of $changed licences applied to $licences licences, against a full rebuild; $pairs pairs"
rebuild >/dev/null # warm the page cache
: >"$work/pairs"
for ((i = 1; i <= pairs; i++)); do
  r=$(rebuild)
  d=$(update)
  echo "$d $r" >>"$work/pairs"
  printf '  run %d: uls-update %6.2f s  uls-compile %6.2f s  ratio %.3f\n' "$i" "$d" "$r" "$(awk -v a="$d" -v b="$r" 'BEGIN {print a / b}')"
done
median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
ratio=$(awk '{print $1 / $2}' "$work/pairs" | median)
echo "(a) one day, median: uls-update $(awk '{print $1}' "$work/pairs" | median) s, uls-compile" \
  "$(awk '{print $2}' "$work/pairs" | median) s, ratio $(printf %.3f "$ratio")" \
  "(goal <= 0.1: $(awk -v r="$ratio" 'BEGIN {print (r <= 0.1) ? "met" : "MISSED"}'))"

echo "(b) the local look-up while the day is applied, and on the same database left alone as long:"
rebuild >/dev/null
cp "$work/fcc.db" "$work/weekly.db"
seconds=$(awk '{print $1}' "$work/pairs" | median)
for pause in 0 1000; do
  [[ $pause == 0 ]] && label="back to back" || label="${pause} us apart"
  # A copy put in place by hand: the last run's write-ahead log must not be played into it.
  rm -f "$work/fcc.db-wal" "$work/fcc.db-shm"
  cp "$work/weekly.db" "$work/fcc.db"
  cat "$work/fcc.db" >/dev/null
  rm -rf "$work/dl"
  "$during" "$work/fcc.db" "$set_dir/daily/1-mon/EN.dat" "$pause" -- sleep "$seconds" >"$work/quiet"
  "$during" "$work/fcc.db" "$set_dir/daily/1-mon/EN.dat" "$pause" -- \
    "$cli" uls-update --fcc "$work/fcc.db" --dir "$work/dl" --url-base "$url" --until 2025-06-02 >"$work/busy"
  quiet=$(awk '/^p99/ {print $2}' "$work/quiet")
  busy=$(awk '/^p99/ {print $2}' "$work/busy")
  echo "    $label, quiet:   $(sed -n 1p "$work/quiet" | cut -d';' -f2-)"
  echo "      $(sed -n 2p "$work/quiet")"
  echo "    $label, updating: $(sed -n 1p "$work/busy")"
  echo "      $(sed -n 2p "$work/busy")"
  echo "      $(sed -n 3p "$work/busy")"
  echo "    goal p99 < 1 ms while the day is applied: $busy ms ($(awk -v b="$busy" -v q="$quiet" 'BEGIN {
    if (b < 1.0) print "met"; else if (q >= 1.0) print "MISSED, as on the quiet database (" q " ms): the machine is loaded"; else print "MISSED" }'))"
done
