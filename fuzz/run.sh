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

# The mail formatting: stored message texts, names, addresses, subjects (fields separated by zero bytes).
mkdir -p "$work/mail-corpus"
printf 'Dear <NAME>,\n.\n..x\nline\0Invitation\0"N0CALL Net" <n0call@example.org>\0"Bob" <bob@example.org>;x@y\0W4ABC (Bob)\0bob@example.org' \
  >"$work/mail-corpus/seed1"
printf 'caf\xe9 \x80\r\0Pr\xc3\xbcfung\0n0call@example.org\0\0J\xc3\xb6rg\0j@b\xc3\xbccher.example' >"$work/mail-corpus/seed2"
status=0
(
  cd "$work/cwd"
  TMPDIR="$work/tmp" ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/fuzz/fuzz_mail" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=1024 -max_len=8192 \
    -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$work/mail-corpus"
) || status=$?
if [[ $status -ne 0 ]]; then
  echo "fuzz_mail failed (exit $status); the input that did it:" >&2
  ls -l "$work/artifacts" >&2 || true
  mkdir -p "$build/fuzz/artifacts" && cp -r "$work/artifacts/." "$build/fuzz/artifacts/" || true
  exit 1
fi
echo "fuzz_mail: ${seconds} s, no findings"

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
exit $fail
