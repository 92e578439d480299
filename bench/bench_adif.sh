#!/usr/bin/env bash
# ADIF export and import, each against the sqlite3 shell moving the same rows as CSV, alternating in one run:
#   (a) logwarden-cli adif-export of a log of 1,000,000 check-ins against sqlite3 writing the table with
#       .mode csv (goal: ratio <= 1.5);
#   (b) logwarden-cli adif-import of 100,000 records into an empty log against sqlite3 .import of the same
#       rows as CSV into a table of the same shape with the same indexes (goal: ratio <= 2);
#   (c) peak memory of both of ours (goal: < 64 MB).
#   bash bench/bench_adif.sh RELEASE_BUILD_DIR [PAIRS]
# The logs are made once into bench/data/ (git-ignored) by make_log.py: 200,000 check-ins, then copied
# four times ten years further back for the million.
set -euo pipefail
build=$(cd "$1" && pwd)
pairs=${2:-${ADIF_BENCH_PAIRS:-3}}
here=$(cd "$(dirname "$0")" && pwd)
cli=$build/src/cli/logwarden-cli
for tool in sqlite3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "bench_adif: $tool is needed" >&2; exit 1; }
done
mkdir -p "$here/data"
small=$here/data/log-100k.db
big=$here/data/log-1m.db
[[ -f $small ]] || /usr/bin/python3 "$here/make_log.py" --out "$small" --checkins 100000 >/dev/null
if [[ ! -f $big ]]; then
  /usr/bin/python3 "$here/make_log.py" --out "$big.part" --checkins 200000 >/dev/null
  cols='CallSign, Name, Street, Location, Comment, "Date", HasComments, HasTraffic, Acknowledged, Class, YourGrid, eMailAddr'
  for years in 10 20 30 40; do
    sqlite3 "$big.part" "INSERT INTO LogwardenTab ($cols) SELECT CallSign, Name, Street, Location, Comment,
      datetime(\"Date\", '-$years years'), HasComments, HasTraffic, Acknowledged, Class, YourGrid, eMailAddr
      FROM LogwardenTab WHERE ID <= 200000"
  done
  mv "$big.part" "$big"
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/logwarden-bench-adif.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config LOGWARDEN_DATA_DIR=$work/data TZ=America/New_York

# One timed run: prints "seconds peak-kB".
timed() {
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || { cat "$work/stderr" >&2; return 1; }
  cat "$work/time"
}
median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }

# (a) Export.
export_ours() { timed "$cli" adif-export --log "$big" --all --out "$work/ours.adi"; }
export_peer() { timed sqlite3 -csv "$big" ".output $work/peer.csv" "SELECT * FROM LogwardenTab ORDER BY ID"; }
# (b) Import: the 100,000 check-ins as ADIF, and the same rows as CSV.
"$cli" adif-export --log "$small" --all --out "$work/in.adi" 2>/dev/null
sqlite3 -csv "$small" ".output $work/in.csv" "SELECT * FROM LogwardenTab ORDER BY ID"
schema=$(sqlite3 "$small" .schema | grep -v sqlite_sequence)
import_ours() { rm -f "$work/new.db"; timed "$cli" adif-import --log "$work/new.db" --in "$work/in.adi"; }
import_peer() {
  rm -f "$work/peer.db"
  sqlite3 "$work/peer.db" "$schema"
  timed sqlite3 "$work/peer.db" ".mode csv" ".import $work/in.csv LogwardenTab"
}

cat "$big" "$small" >/dev/null # both in the page cache
export_ours >/dev/null
: >"$work/export" ; : >"$work/import"
for ((i = 1; i <= pairs; i++)); do
  read -r a am < <(export_ours)
  read -r b bm < <(export_peer)
  echo "$a $b $am $bm" >>"$work/export"
  read -r c cm < <(import_ours)
  read -r d dm < <(import_peer)
  echo "$c $d $cm $dm" >>"$work/import"
  printf '  run %d: export %6.2f s (sqlite3 %6.2f s), import %6.2f s (sqlite3 %6.2f s)\n' "$i" "$a" "$b" "$c" "$d"
done
rows=$(sqlite3 "$work/new.db" "SELECT count(*) FROM LogwardenTab")
peer_rows=$(sqlite3 "$work/peer.db" "SELECT count(*) FROM LogwardenTab")
records=$(grep -c '<EOR>' "$work/ours.adi")
status=0
report() { # label file goal
  local ratio
  ratio=$(awk '{print $1 / $2}' "$2" | median)
  local met
  met=$(awk -v r="$ratio" -v g="$3" 'BEGIN {print (r <= g) ? "met" : "MISSED"}')
  [[ $met == met ]] || status=1
  echo "$1, median: logwarden $(awk '{print $1}' "$2" | median) s, sqlite3 $(awk '{print $2}' "$2" | median) s," \
    "ratio $(printf %.3f "$ratio") (goal <= $3: $met)"
}
report "(a) export of 1,000,000 check-ins ($records records)" "$work/export" 1.5
report "(b) import of 100,000 records ($rows check-ins; sqlite3 $peer_rows rows)" "$work/import" 2
peak=$(cat "$work/export" "$work/import" | awk '{print $3}' | sort -g | tail -1)
memory=$( ((peak < 65536)) && echo met || echo MISSED)
[[ $memory == met ]] || status=1
echo "(c) peak memory: export $(($(awk '{print $3}' "$work/export" | sort -g | tail -1) / 1024)) MB," \
  "import $(($(awk '{print $3}' "$work/import" | sort -g | tail -1) / 1024)) MB (goal < 64 MB: $memory)"
exit $status
