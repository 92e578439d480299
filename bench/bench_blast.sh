#!/usr/bin/env bash
# The blast e-mail: 100 stations, a 5 MB attachment, no pause, to a local SMTP sink (bench/smtp_sink.py,
# which reads the data in large blocks so that the clients, not the server, set the pace). logwarden-cli
# blast against sending the same 100 composed messages with curl --upload-file (one session each, as the
# blast does), alternating in one run. Prints the median wall time and peak memory of each and the ratio.
# Goal: ours at most 1.2 times curl's time, peak memory under 64 MB.
#   bash bench/bench_blast.sh RELEASE_BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-3}
here=$(cd "$(dirname "$0")" && pwd)
cli="$build/src/cli/logwarden-cli"
py=/usr/bin/python3
[[ -x $py ]] || py=python3

work=$(mktemp -d "${TMPDIR:-/tmp}/logwarden-bench-blast.XXXXXX")
server_pid=
cleanup() {
  [[ -n "$server_pid" ]] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$build/bench/bench_blast_prepare" "$work" 100 5
mkdir -p "$work/config" "$work/data"
mkfifo "$work/server-in"
"$py" "$here/smtp_sink.py" "$work/received.log" <"$work/server-in" >"$work/server-out" &
server_pid=$!
exec 7>"$work/server-in" # keeps the server's standard input open
for _ in $(seq 100); do grep -q PORT "$work/server-out" 2>/dev/null && break; sleep 0.1; done
port=$(awk '/PORT/ {print $2}' "$work/server-out")

export XDG_CONFIG_HOME="$work/config" LOGWARDEN_DATA_DIR="$work/data"

# One timed run: wall seconds and peak resident kB appended to $1; the server must have all 100.
timed() {
  local out=$1; shift
  : >"$work/received.log"
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || {
    cat "$work/stderr" >&2; return 1; }
  local got
  got=$(wc -l <"$work/received.log")
  [[ $got -eq 100 ]] || { echo "FAIL: the server received $got messages, not 100" >&2; return 1; }
  cat "$work/time" >>"$out"
}

ours() {
  timed "$work/ours.txt" "$cli" blast --log "$work/Logwarden-97.db" --day 2024-03-07 \
    --server "smtp://127.0.0.1:$port" --from '"N0CALL Net" <n0call@example.org>' \
    --subject 'Invitation: Check-in to the net' --message "$work/invite.msg" --attach "$work/agenda.bin" --pause 0
}
peer() {
  timed "$work/curl.txt" bash -c '
    for f in "$1"/msg/*.eml; do
      curl -sS --url "smtp://127.0.0.1:$2" --mail-from n0call@example.org --mail-rcpt "$(cat "${f%.eml}.rcpt")" \
        --upload-file "$f" || exit 1
    done' _ "$work" "$port"
}

ours; peer # warm-up
: >"$work/ours.txt"; : >"$work/curl.txt"
for ((i = 0; i < runs; i++)); do
  ours; peer
done

python3 - "$work/ours.txt" "$work/curl.txt" "$(nproc)" <<'PY'
import statistics, sys
def load(path):
    rows = [line.split() for line in open(path) if line.strip()]
    return [float(r[0]) for r in rows], [int(r[1]) for r in rows]
ot, om = load(sys.argv[1])
ct, cm = load(sys.argv[2])
o, c = statistics.median(ot), statistics.median(ct)
ratio = statistics.median([a / b for a, b in zip(ot, ct)])
mem = max(om) / 1024
print("blast of 100 messages with a 5 MB attachment, %d runs each, %s cores" % (len(ot), sys.argv[3]))
print("  logwarden-cli blast      median %.2f s  (min %.2f, max %.2f)  peak memory %.1f MB"
      % (o, min(ot), max(ot), mem))
print("  curl --upload-file x100  median %.2f s  (min %.2f, max %.2f)  peak memory %.1f MB"
      % (c, min(ct), max(ct), max(cm) / 1024))
print("  ratio ours/curl (median of pairs) %.2f   goal <= 1.2: %s" % (ratio, "met" if ratio <= 1.2 else "MISSED"))
print("  peak memory %.1f MB   goal < 64 MB: %s" % (mem, "met" if mem < 64 else "MISSED"))
PY
