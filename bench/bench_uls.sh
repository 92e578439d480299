#!/usr/bin/env bash
# The FCC licence database build, measured in one run:
#   (a) logwarden-cli uls-compile against the sqlite3 shell's .import of the same three files into
#       tables of the same shape (our own CREATE TABLE statements) with the same index, built the same
#       way (the EN index after the load); runs alternate, the ratio is taken pair by pair;
#   (b) the compile's peak memory on the full-size set and on a set twice as large;
#   (c) the latency of the local look-up on the database built.
#
#   bash bench/bench_uls.sh BUILD_DIR            (make bench runs it)
#
# The data is generated on first use by uls_synth.py (../shared/tools beside the repository, or
# $ULS_SYNTH) into bench/data/ (git-ignored): about 450 MB for 1.5 million licences and 900 MB for the
# double set (a few minutes, once). ULS_BENCH_LICENCES and ULS_BENCH_PAIRS make a quicker run.
set -euo pipefail
build=$(cd "${1:-build-release}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
synth=${ULS_SYNTH:-$here/../../shared/tools/uls_synth.py}
data=${ULS_BENCH_DATA:-$here/data}
licences=${ULS_BENCH_LICENCES:-1500000}
pairs=${ULS_BENCH_PAIRS:-3}
cli=$build/src/cli/logwarden-cli
schema=$build/bench/fcc_schema_sql
lookup=$build/bench/bench_lookup

for tool in sqlite3 python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "bench_uls: $tool is needed" >&2; exit 1; }
done
if [[ ! -f $synth ]]; then
  echo "bench_uls: skipped, the data generator uls_synth.py is not at $synth (set ULS_SYNTH)"
  exit 0
fi

generate() { # folder licences [seed]
  if [[ ! -f $1/.complete ]]; then
    echo "generating $2 licences into $1 ..."
    rm -rf "$1"
    python3 "$synth" --out "$1" --licences "$2" --seed "${3:-1}" >/dev/null
    touch "$1/.complete"
  fi
}

full=$data/uls-$licences
double=$data/uls-$((licences * 2))
generate "$full" "$licences"
work=$(mktemp -d "$data/run.XXXXXX")
trap 'rm -rf "$work"' EXIT

{
  "$schema" tables
  echo ".separator |"
  for t in AM EN HD; do echo ".import $full/$t.dat $t"; done
  "$schema" index
} >"$work/peer.sql"

# One timed run: prints "seconds peak-kB".
timed() { # output-db command...
  rm -f "$1"
  shift
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || {
    cat "$work/stderr" >&2
    return 1
  }
  cat "$work/time"
}

ours() { timed "$work/ours.db" "$cli" uls-compile --input "$full" --output "$work/ours.db"; }
# The shell warns once a line that EN and HD carry more fields than our tables: the extras are ignored.
peer() { timed "$work/peer.db" sqlite3 "$work/peer.db" ".read $work/peer.sql"; }

echo "FCC database build, $licences licences ($(du -sh "$full" | cut -f1) of ULS files), $pairs pairs"
ours >/dev/null # warm the page cache for both
: >"$work/pairs"
for ((i = 1; i <= pairs; i++)); do
  read -r a am < <(ours)
  read -r b bm < <(peer)
  echo "$a $b $am $bm" >>"$work/pairs"
  printf '  run %d: logwarden %6.2f s  sqlite3 .import %6.2f s  ratio %.3f\n' "$i" "$a" "$b" "$(awk -v a="$a" -v b="$b" 'BEGIN {print a / b}')"
done
median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
ratio=$(awk '{print $1 / $2}' "$work/pairs" | median)
echo "(a) compile, median: logwarden $(awk '{print $1}' "$work/pairs" | median) s, sqlite3 .import" \
  "$(awk '{print $2}' "$work/pairs" | median) s, ratio $(printf %.3f "$ratio")" \
  "(goal <= 0.5: $(awk -v r="$ratio" 'BEGIN {print (r <= 0.5) ? "met" : "MISSED"}'))"
rows=$(sqlite3 "$work/ours.db" "SELECT (SELECT count(*) FROM AM)||' '||(SELECT count(*) FROM EN)||' '||(SELECT count(*) FROM HD)")
peer_rows=$(sqlite3 "$work/peer.db" "SELECT (SELECT count(*) FROM AM)||' '||(SELECT count(*) FROM EN)||' '||(SELECT count(*) FROM HD)")
echo "    rows AM EN HD: logwarden $rows, sqlite3 $peer_rows"

rm -f "$work/peer.db"
# A program in use has its database in the page cache; read it once so that the figure does not
# depend on what ran before.
cat "$work/ours.db" >/dev/null
echo "(c) local look-up on the built database (FccLookUp, what F7 and logwarden-cli lookup run):"
"$lookup" "$work/ours.db" 2000 | sed 's/^/    /'
"$lookup" "$work/ours.db" 2000 1000 | sed 's/^/    /'
rm -f "$work/ours.db"
if [[ ! -f $double/.complete ]]; then
  # The generator runs out of call signs beyond about two million licences: the double set is the
  # full set followed by a second one (another seed) whose identifiers are moved past the first's.
  generate "$data/uls-$licences-seed2" "$licences" 2
  echo "joining the two sets into $double ..."
  rm -rf "$double"
  python3 - "$full" "$data/uls-$licences-seed2" "$double" <<'PY'
import os, sys
first, second, out = sys.argv[1:4]
os.makedirs(out, exist_ok=True)
for name in ("AM.dat", "EN.dat", "HD.dat"):
    with open(os.path.join(out, name), "wb") as o:
        with open(os.path.join(first, name), "rb") as f:
            for block in iter(lambda: f.read(1 << 22), b""):
                o.write(block)
        with open(os.path.join(second, name), "rb") as f:
            for line in f:
                fields = line.split(b"|", 2)
                fields[1] = b"%d" % (int(fields[1]) + 100000000)
                o.write(b"|".join(fields))
PY
  rm -rf "$data/uls-$licences-seed2"
  touch "$double/.complete"
fi
read -r d dm < <(timed "$work/ours.db" "$cli" uls-compile --input "$double" --output "$work/ours.db")
peak=$(awk '{print $3}' "$work/pairs" | sort -g | tail -1)
most=$((peak > dm ? peak : dm))
echo "(b) peak memory of the compile: $((peak / 1024)) MB for $licences licences, $((dm / 1024)) MB for" \
  "$((licences * 2)) licences ($d s) (goal <= 100 MB: $( ((most <= 102400)) && echo met || echo MISSED))"
rm -f "$work/ours.db"

