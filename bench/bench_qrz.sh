#!/usr/bin/env bash
# The QRZ database build, measured in one run:
#   (a) logwarden-cli qrz-compile against the sqlite3 shell's .import of the same CSV file into the same
#       table (our own CREATE TABLE) with the same CallSign index, built the same way (after the load);
#       runs alternate, the ratio is taken pair by pair (goal: at most 0.5);
#   (b) the compile's peak memory on the file and on a file twice as large (goal: under 100 MB).
#
#   bash bench/bench_qrz.sh BUILD_DIR            (make bench runs it)
#
# The CSV files are generated on first use by bench/qrz_csv_gen.py into bench/data/ (git-ignored): about
# 90 MB for a million licensees. QRZ_BENCH_ROWS and QRZ_BENCH_PAIRS make a quicker run.
set -euo pipefail
build=$(cd "${1:-build-release}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
data=${QRZ_BENCH_DATA:-$here/data}
rows=${QRZ_BENCH_ROWS:-1000000}
pairs=${QRZ_BENCH_PAIRS:-3}
cli=$build/src/cli/logwarden-cli
schema=$build/bench/qrz_schema_sql

for tool in sqlite3 python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "bench_qrz: $tool is needed" >&2; exit 1; }
done

generate() { # rows file
  if [[ ! -f $2 ]]; then
    echo "generating $1 licensees into $2 ..."
    mkdir -p "$(dirname "$2")"
    python3 "$here/qrz_csv_gen.py" "$1" "$2.part"
    mv "$2.part" "$2"
  fi
}

csv=$data/qrz-$rows.csv
double=$data/qrz-$((rows * 2)).csv
generate "$rows" "$csv"
mkdir -p "$data"
work=$(mktemp -d "$data/run.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The file's lines end with a comma after the fifteenth field, which the shell reads as a sixteenth
# column and ignores (it says so on standard error). The header is skipped; the index comes last.
{
  "$schema" table
  echo ".import --csv --skip 1 $csv QRZ"
  "$schema" index
} >"$work/peer.sql"

# One timed run: prints "seconds peak-kB cpu-seconds".
timed() { # output-db command...
  rm -f "$1"
  shift
  /usr/bin/time -f "%e %M %U %S" -o "$work/time" "$@" >"$work/stdout" 2>"$work/stderr" || {
    cat "$work/stderr" >&2
    return 1
  }
  awk '{print $1, $2, $3 + $4}' "$work/time"
}

ours() { timed "$work/ours.db" "$cli" qrz-compile --input "$1" --output "$work/ours.db"; }
peer() { timed "$work/peer.db" sqlite3 "$work/peer.db" ".read $work/peer.sql"; }

echo "QRZ database build, $rows licensees ($(du -h "$csv" | cut -f1) of CSV), $pairs pairs"
ours "$csv" >/dev/null # warm the page cache for both
: >"$work/pairs"
for ((i = 1; i <= pairs; i++)); do
  read -r a am ac < <(ours "$csv")
  read -r b bm bc < <(peer)
  echo "$a $b $am $bm $ac $bc" >>"$work/pairs"
  printf '  run %d: logwarden %6.2f s  sqlite3 .import %6.2f s  ratio %.3f\n' "$i" "$a" "$b" "$(awk -v a="$a" -v b="$b" 'BEGIN {print a / b}')"
done
median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
ratio=$(awk '{print $1 / $2}' "$work/pairs" | median)
echo "(a) compile, median: logwarden $(awk '{print $1}' "$work/pairs" | median) s, sqlite3 .import" \
  "$(awk '{print $2}' "$work/pairs" | median) s, ratio $(printf %.3f "$ratio")" \
  "(goal <= 0.5: $(awk -v r="$ratio" 'BEGIN {print (r <= 0.5) ? "met" : "MISSED"}'))"
# The processor time tells how much of a difference is the machine's load (runs share two cores).
echo "    processor time, median: logwarden $(awk '{print $5}' "$work/pairs" | median) s, sqlite3" \
  "$(awk '{print $6}' "$work/pairs" | median) s, ratio $(printf %.3f "$(awk '{print $5 / $6}' "$work/pairs" | median)")"
echo "    rows: logwarden $(sqlite3 "$work/ours.db" 'SELECT count(*) FROM QRZ'), sqlite3" \
  "$(sqlite3 "$work/peer.db" 'SELECT count(*) FROM QRZ')"
rm -f "$work/peer.db" "$work/ours.db"

generate "$((rows * 2))" "$double"
read -r d dm _ < <(ours "$double")
peak=$(awk '{print $3}' "$work/pairs" | sort -g | tail -1)
most=$((peak > dm ? peak : dm))
echo "(b) peak memory of the compile: $((peak / 1024)) MB for $rows licensees, $((dm / 1024)) MB for" \
  "$((rows * 2)) licensees ($d s) (goal < 100 MB: $( ((most < 102400)) && echo met || echo MISSED))"
rm -f "$work/ours.db"
