#!/usr/bin/env bash
# Runs the fuzz targets for the given number of seconds each (make fuzz), then checks that nothing was
# written outside the run's temporary folder.
#   bash fuzz/run.sh BUILD_DIR [SECONDS]
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
# Every input is written to a file and extracted: on a RAM disk that runs many times faster.
base=${TMPDIR:-/tmp}
if [[ -z "${TMPDIR:-}" && -d /dev/shm && -w /dev/shm ]]; then
  base=/dev/shm
fi
work=$(mktemp -d "$base/logwarden-fuzz-run.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tmp" "$work/corpus" "$work/artifacts" "$work/cwd"

# Seeds: small archives of every shape the reader knows.
python3 - "$here/seeds.json" "$work/corpus" "$repo/tests/support/zipmaker.py" <<'PY'
import json, subprocess, sys
seeds, corpus, maker = sys.argv[1:]
for i, recipe in enumerate(json.load(open(seeds))):
    recipe["out"] = "%s/seed%02d.zip" % (corpus, i)
    subprocess.run([sys.executable, maker], input=json.dumps(recipe).encode(), check=True)
PY

touch "$work/marker"
sleep 1 # file times have a granularity; keep the marker strictly older than anything the run writes
status=0
(
  cd "$work/cwd"
  TMPDIR="$work/tmp" ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/fuzz/fuzz_zip" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=1024 -max_len=16384 \
    -artifact_prefix="$work/artifacts/" -dict="$here/zip.dict" -print_final_stats=1 "$work/corpus"
) || status=$?
if [[ $status -ne 0 ]]; then
  echo "fuzz_zip failed (exit $status); the input that did it:" >&2
  ls -l "$work/artifacts" >&2 || true
  mkdir -p "$build/fuzz/artifacts" && cp -r "$work/artifacts/." "$build/fuzz/artifacts/" || true
  exit 1
fi

# The QRZ readers (callbook reply and FCC page; CSV line), seeded from fuzz/qrz.
for target in fuzz_qrzreply fuzz_qrzcsv; do
  mkdir -p "$work/corpus-$target"
  cp "$here"/qrz/* "$work/corpus-$target/"
  (
    cd "$work/cwd"
    TMPDIR="$work/tmp" ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "$build/fuzz/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=1024 -max_len=8192 \
      -artifact_prefix="$work/artifacts/" -dict="$here/qrz.dict" -print_final_stats=1 "$work/corpus-$target"
  ) || {
    echo "$target failed; the input that did it:" >&2
    ls -l "$work/artifacts" >&2 || true
    mkdir -p "$build/fuzz/artifacts" && cp -r "$work/artifacts/." "$build/fuzz/artifacts/" || true
    exit 1
  }
done
# The club server's pages: seeds of every shape the pre-net and EchoLink readers know.
mkdir -p "$work/corpus-web"
pad=$(head -c 1400 /dev/zero | tr '\0' '.')
printf '<html><head><!--%s--></head><body><form></form><ol><li>W4ABC, John+Smith, Springfield</li>\n<li>K4XYZ, Mary</li><li>N4Q</li></ol></body></html>' "$pad" \
  > "$work/corpus-web/prenet"
printf '<html><!--%s--><li>W4ABC,Al,Macon, GA<li> , x<li>' "$pad" > "$work/corpus-web/prenet-open"
printf '<html><body>W1AW-R K1ABC-L N0CALL </body></html>' > "$work/corpus-web/echolink"
printf '<body> A  B C</body>' > "$work/corpus-web/echolink-odd"
web_status=0
(
  cd "$work/cwd"
  TMPDIR="$work/tmp" ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/fuzz/fuzz_web" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=1024 -max_len=8192 \
    -artifact_prefix="$work/artifacts/" -dict="$here/web.dict" -print_final_stats=1 "$work/corpus-web"
) || web_status=$?
if [[ $web_status -ne 0 ]]; then
  echo "fuzz_web failed (exit $web_status); the input that did it:" >&2
  ls -l "$work/artifacts" >&2 || true
  mkdir -p "$build/fuzz/artifacts" && cp -r "$work/artifacts/." "$build/fuzz/artifacts/" || true
  exit 1
fi
echo "fuzz_web: ${seconds} s, no findings"

# The net preamble's RTF reader, seeded with the sample preamble; the ULS line reader, seeded with a line of
# each table (the first byte picks the table).
run_simple() { # target corpus [dict]
  local target=$1 corpus=$2 dict=${3:-}
  (
    cd "$work/cwd"
    TMPDIR="$work/tmp" ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "$build/fuzz/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=1024 -max_len=16384 \
      -artifact_prefix="$work/artifacts/" ${dict:+-dict="$dict"} -print_final_stats=1 "$corpus"
  ) || {
    echo "$target failed; the input that did it:" >&2
    ls -l "$work/artifacts" >&2 || true
    mkdir -p "$build/fuzz/artifacts" && cp -r "$work/artifacts/." "$build/fuzz/artifacts/" || true
    exit 1
  }
  echo "$target: ${seconds} s, no findings"
}
mkdir -p "$work/corpus-rtf" "$work/corpus-uls"
cp "$repo/res/preamble.rtf" "$work/corpus-rtf/sample.rtf"
python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
seeds = {
    "corpus-rtf/small.rtf": b"{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;}"
                            b"\\qc\\b Net\\b0 \\cf1 K1\\u8364?\\'e9\\par}",
    "corpus-uls/am": b"\x00AM|123|||W1AW|E|||||||||||||\r\nAM|124|||K1A|T|\n",
    "corpus-uls/en": b"\x01EN|123|||W1AW|L|L1|DOE, J|J||DOE||||||CITY|CT|06001|||||||\r\n",
    "corpus-uls/hd": b"\x02HD|123|||W1AW|A|HA|01/23/2023|01/23/2033|||",
}
for name, data in seeds.items():
    open("%s/%s" % (work, name), "wb").write(data)
PY
run_simple fuzz_rtf "$work/corpus-rtf"
run_simple fuzz_uls "$work/corpus-uls"

# Nothing outside the temporary folder: the working directory stays empty, the target's own folder
# holds only its jail, and nothing in the source tree changed.
fail=0
if [[ -n "$(find "$work/cwd" -mindepth 1 -print -quit)" ]]; then
  echo "fuzz_zip wrote into its working directory:" >&2; find "$work/cwd" -mindepth 1 >&2; fail=1
fi
for root in "$work"/tmp/*; do
  [[ -e "$root" ]] || continue
  extra=$(find "$root" -mindepth 1 ! -path "$root/jail" ! -path "$root/jail/in.zip" ! -path "$root/jail/out" \
               ! -path "$root/jail/out/AM.dat" -print)
  if [[ -n "$extra" ]]; then
    echo "fuzz_zip left files outside its target folder:" >&2; echo "$extra" >&2; fail=1
  fi
done
changed=$(find "$repo" \( -path "$repo/.git" -o -path "$repo/build*" \) -prune -o -newer "$work/marker" -print)
if [[ -n "$changed" ]]; then
  echo "files in the source tree changed during the fuzz run:" >&2; echo "$changed" >&2; fail=1
fi
[[ $fail -eq 0 ]] && echo "fuzz_zip: ${seconds} s, no findings, nothing written outside its folder"

# The WAV readers. Seeds: the start of a built-in sound and a WAV with a LIST chunk and a longer format.
mkdir -p "$work/wave-corpus" "$work/wave-artifacts"
head -c 4096 "$repo/res/sounds/A.wav" >"$work/wave-corpus/own.wav"
/usr/bin/python3 - "$work/wave-corpus/user.wav" <<'PY'
import struct, sys
fmt = struct.pack("<HHIIHHH", 1, 2, 22050, 88200, 4, 16, 0)
data = bytes(range(256)) * 4
body = b"WAVE" + b"LIST" + struct.pack("<I", 8) + b"INFOabcd" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
body += b"data" + struct.pack("<I", len(data)) + data
open(sys.argv[1], "wb").write(b"RIFF" + struct.pack("<I", len(body)) + body)
PY
(
  cd "$work/cwd"
  TMPDIR="$work/tmp" ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/fuzz/fuzz_wave" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=512 -malloc_limit_mb=64 \
    -max_len=8192 -artifact_prefix="$work/wave-artifacts/" -dict="$here/wave.dict" -print_final_stats=1 \
    "$work/wave-corpus"
) || {
  echo "fuzz_wave failed; the input that did it:" >&2
  ls -l "$work/wave-artifacts" >&2 || true
  mkdir -p "$build/fuzz/artifacts" && cp -r "$work/wave-artifacts/." "$build/fuzz/artifacts/" || true
  fail=1
}
[[ $fail -eq 0 ]] && echo "fuzz_wave: ${seconds} s, no findings"
exit $fail
