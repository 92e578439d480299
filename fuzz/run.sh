#!/usr/bin/env bash
# Runs every fuzz target for the given number of seconds each (make fuzz), each on seeds of the shapes its
# reader knows, then checks that nothing was written outside the run's temporary folder.
#   bash fuzz/run.sh BUILD_DIR [SECONDS]
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-30}
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
# Every ZIP input is written to a file and extracted: on a RAM disk that runs many times faster.
base=${TMPDIR:-/tmp}
if [[ -z "${TMPDIR:-}" && -d /dev/shm && -w /dev/shm ]]; then
  base=/dev/shm
fi
work=$(mktemp -d "$base/logwarden-fuzz-run.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tmp" "$work/artifacts" "$work/cwd"
for target in zip wave qrzreply qrzcsv web mail rtf uls adif; do
  mkdir -p "$work/corpus-$target"
done

# --- Seeds ------------------------------------------------------------------------------------------------
# ZIP: small archives of every shape the reader knows.
python3 - "$here/seeds.json" "$work/corpus-zip" "$repo/tests/support/zipmaker.py" <<'PY'
import json, subprocess, sys
seeds, corpus, maker = sys.argv[1:]
for i, recipe in enumerate(json.load(open(seeds))):
    recipe["out"] = "%s/seed%02d.zip" % (corpus, i)
    subprocess.run([sys.executable, maker], input=json.dumps(recipe).encode(), check=True)
PY
# WAV: the start of a built-in sound; QRZ: fuzz/qrz; the rest written here.
head -c 4096 "$repo/res/sounds/A.wav" >"$work/corpus-wave/own.wav"
cp "$here"/qrz/* "$work/corpus-qrzreply/"
cp "$here"/qrz/* "$work/corpus-qrzcsv/"
cp "$repo/res/preamble.rtf" "$work/corpus-rtf/sample.rtf"
python3 - "$work" <<'PY'
import struct, sys
work = sys.argv[1]
pad = b"." * 1400
fmt = struct.pack("<HHIIHHH", 1, 2, 22050, 88200, 4, 16, 0)
data = bytes(range(256)) * 4
wave = b"WAVE" + b"LIST" + struct.pack("<I", 8) + b"INFOabcd" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
wave += b"data" + struct.pack("<I", len(data)) + data
seeds = {
    # A user's WAV with a LIST chunk and a longer format chunk.
    "wave/user.wav": b"RIFF" + struct.pack("<I", len(wave)) + wave,
    # The club server's pre-net and EchoLink pages.
    "web/prenet": b"<html><head><!--" + pad + b"--></head><body><form></form><ol><li>W4ABC, John+Smith, "
                  b"Springfield</li>\n<li>K4XYZ, Mary</li><li>N4Q</li></ol></body></html>",
    "web/prenet-open": b"<html><!--" + pad + b"--><li>W4ABC,Al,Macon, GA<li> , x<li>",
    "web/prenet-tags": b"<html><!--" + pad + b"--><form></form><UL><li><b>W1AW</b>, Smith &amp; Sons, "
                       b"Mac&#111;n&#x0a;GA</li><LI class=x>K1&lt;X, A&#43;B<!-- c, d --></ul><p>x, y</p>",
    "web/echolink": b"<html><body>W1AW-R K1ABC-L N0CALL </body></html>",
    "web/echolink-odd": b"<body> A  B C</body>",
    # Mail: stored message text, subject, sender, recipients, name, address (separated by zero bytes).
    "mail/seed1": b'Dear <NAME>,\n.\n..x\nline\0Invitation\0"N0CALL Net" <n0call@example.org>\0'
                  b'"Bob" <bob@example.org>;x@y\0W4ABC (Bob)\0bob@example.org',
    "mail/seed2": b"caf\xe9 \x80\r\0Pr\xc3\xbcfung\0n0call@example.org\0\0J\xc3\xb6rg\0j@b\xc3\xbccher.example",
    # RTF as a word processor writes it.
    "rtf/small.rtf": b"{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;}"
                     b"\\qc\\b Net\\b0 \\cf1 K1\\u8364?\\'e9\\par}",
    # ULS lines; the first byte picks the table.
    "uls/am": b"\x00AM|123|||W1AW|E|||||||||||||\r\nAM|124|||K1A|T|\n",
    "uls/en": b"\x01EN|123|||W1AW|L|L1|DOE, J|J||DOE||||||CITY|CT|06001|||||||\r\n",
    "uls/hd": b"\x02HD|123|||W1AW|A|HA|01/23/2023|01/23/2033|||",
    # ADIF as loggers write it: ADI with a header, lengths in bytes and in characters, Latin-1; ADX.
    "adif/header.adi": b"\xef\xbb\xbfLog\r\n<ADIF_VER:5>3.1.4<PROGRAMID:9>Logwarden<EOH>\r\n<CALL:4>W1AW "
                       b"<QSO_DATE:8>20240307 <TIME_ON:6>190000 <NAME:4>Jos\xc3\xa9 <ADDRESS:9>1 A St\r\nX<EOR>\r\n",
    "adif/bytes.adi": b"<call:4>K1AB<name:5>Jos\xc3\xa9<qth:4>Pr\xe9s<app_x_y:1:B>Y<eor>",
    "adif/tie.adi": b"<NAME:4>Jos\xc3\xa9<COMMENT:3>\xc3\xa9< <EOR><CALL:4>K1",
    "adif/records.adx": b"<?xml version=\"1.0\"?><ADX><HEADER><ADIF_VER>3.1.4</ADIF_VER></HEADER><RECORDS>"
                        b"<RECORD><CALL>W1AW</CALL><NAME_INTL>Zo\xc3\xab</NAME_INTL><APP PROGRAMID=\"LOGWARDEN\" "
                        b"FIELDNAME=\"ACK\" TYPE=\"B\">Y</APP><ADDRESS>a&#xD;\nb</ADDRESS></RECORD></RECORDS></ADX>",
}
for name, content in seeds.items():
    folder, file = name.split("/")
    open("%s/corpus-%s/%s" % (work, folder, file), "wb").write(content)
PY

touch "$work/marker"
sleep 1 # file times have a granularity; keep the marker strictly older than anything the run writes

# --- Runs -------------------------------------------------------------------------------------------------
run() { # target dictionary|"" max_len [libFuzzer options...]
  local name=$1 dict=$2 maxlen=$3
  shift 3
  local status=0
  (
    cd "$work/cwd"
    TMPDIR="$work/tmp" ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=1024 -max_len="$maxlen" \
      -artifact_prefix="$work/artifacts/" ${dict:+-dict="$here/$dict"} -print_final_stats=1 "$@" \
      "$work/corpus-$name" >"$work/$name.log" 2>&1
  ) || status=$?
  if [[ $status -ne 0 ]]; then
    tail -n 40 "$work/$name.log" >&2
    echo "fuzz_$name failed (exit $status); the input that did it:" >&2
    ls -l "$work/artifacts" >&2 || true
    mkdir -p "$build/fuzz/artifacts" && cp -r "$work/artifacts/." "$build/fuzz/artifacts/" || true
    exit 1
  fi
  echo "fuzz_$name: ${seconds} s, $(grep -o 'Done [0-9]* runs' "$work/$name.log" | tail -n1), no findings"
}
run zip zip.dict 16384
run wave wave.dict 8192 -malloc_limit_mb=64
run qrzreply qrz.dict 8192
run qrzcsv qrz.dict 8192
run web web.dict 8192
run mail "" 8192
run rtf "" 16384
run uls "" 4096
run adif adif.dict 8192

# --- Nothing outside the temporary folder -----------------------------------------------------------------
# The working directory stays empty, the ZIP target's own folders hold only its jail, and nothing in the
# source tree changed.
fail=0
if [[ -n "$(find "$work/cwd" -mindepth 1 -print -quit)" ]]; then
  echo "a fuzz target wrote into its working directory:" >&2; find "$work/cwd" -mindepth 1 >&2; fail=1
fi
for root in "$work"/tmp/*; do
  [[ -d "$root" ]] || continue
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
[[ $fail -eq 0 ]] && echo "nothing written outside the run's folder"
exit $fail
