#!/usr/bin/env bash
# Recording 60 s of audio fed through ALSA's file plugin (a test .asoundrc in a scratch HOME):
# logwarden-cli record against arecord recording the same input into a WAV file, alternating in one run.
# Prints CPU time and peak memory of each, ours at 10 s and at 60 s (memory must stay flat), and the
# ratio. Goals: peak memory under 32 MB and less than 1 MB more at 60 s than at 10 s; CPU time under 2 %
# of the 60 s recorded (the feed runs as fast as it is read, so the CPU time is all the work there is).
#   bash bench/bench_record.sh RELEASE_BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-3}
cli="$build/src/cli/logwarden-cli"
command -v arecord >/dev/null || { echo "skipped: arecord not found (apt-get install alsa-utils)"; exit 0; }

work=$(mktemp -d "${TMPDIR:-/tmp}/logwarden-bench-record.XXXXXX")
trap 'rm -rf "$work"' EXIT
# 60 s of a tone and a counter, 16-bit mono.
/usr/bin/python3 - "$work/in.raw" <<'PY'
import array, math, sys
a = array.array("h", (int(9000 * math.sin(i * 0.031)) + i % 97 for i in range(44100 * 60)))
open(sys.argv[1], "wb").write(a.tobytes())
PY
cat >"$work/.asoundrc" <<EOF2
pcm.feed {
  type file
  slave.pcm "null"
  file "/dev/null"
  infile "$work/in.raw"
  format "raw"
}
EOF2
export HOME="$work" XDG_CONFIG_HOME="$work/config" LOGWARDEN_DATA_DIR="$work/data"

# One timed run: user+system CPU seconds (to the microsecond, from wait4) and peak resident kB (from
# /usr/bin/time, whose own start is small) appended to $1.
timed() {
  local out=$1; shift
  /usr/bin/python3 - "$out" "$work/peak" "$@" <<'PY'
import os, subprocess, sys
out, peak, cmd = sys.argv[1], sys.argv[2], sys.argv[3:]
p = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", peak] + cmd,
                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
_, status, usage = os.wait4(p.pid, 0)
if status != 0:
    sys.stderr.write(p.stderr.read().decode()); sys.exit(1)
with open(out, "a") as f:
    f.write("%.6f %.6f %s\n" % (usage.ru_utime, usage.ru_stime, open(peak).read().split()[-1]))
PY
}
ours() { rm -f "$work/ours.wav"; timed "$work/ours$1.txt" "$cli" record --out "$work/ours.wav" --seconds "$1" --device feed; }
peer() { rm -f "$work/arecord.wav"; timed "$work/arecord.txt" arecord -q -D feed -f S16_LE -r 44100 -c 1 -d 60 -t wav "$work/arecord.wav"; }

ours 60; peer
cmp -s <(tail -c +45 "$work/ours.wav") "$work/in.raw" || { echo "FAIL: the recording differs from the input"; exit 1; }
: >"$work/ours60.txt"; : >"$work/ours10.txt"; : >"$work/arecord.txt"
for ((i = 0; i < runs; i++)); do
  ours 10; ours 60; peer
done

/usr/bin/python3 - "$work" <<'PY'
import statistics, sys
w = sys.argv[1]
def load(name):
    rows = [l.split() for l in open("%s/%s" % (w, name)) if l.strip()]
    return [float(r[0]) + float(r[1]) for r in rows], [int(r[2]) / 1024 for r in rows]
o60, m60 = load("ours60.txt")
o10, m10 = load("ours10.txt")
a, am = load("arecord.txt")
cpu, peer = statistics.median(o60), statistics.median(a)
growth = max(m60) - max(m10)
share = cpu / 60 * 100
print("60 s of 44.1 kHz 16-bit mono through ALSA's file plugin, %d runs each" % len(o60))
print("  logwarden-cli record  CPU median %.3f s  peak memory %.1f MB (%.1f MB at 10 s)" % (cpu, max(m60), max(m10)))
print("  arecord               CPU median %.3f s  peak memory %.1f MB" % (peer, max(am)))
print("  ratio CPU ours/arecord %.2f" % (cpu / peer if peer > 0 else float("nan")))
print("  CPU %.2f %% of one core over the 60 s recorded   goal < 2 %%: %s" % (share, "met" if share < 2 else "MISSED"))
print("  peak memory %.1f MB   goal < 32 MB: %s" % (max(m60), "met" if max(m60) < 32 else "MISSED"))
print("  growth 10 s -> 60 s %.2f MB   goal < 1 MB: %s" % (growth, "met" if growth < 1 else "MISSED"))
PY
