#!/usr/bin/env bash
# Makes the 36 built-in sounds res/sounds/0.wav ... 9.wav and A.wav ... Z.wav (each digit its number,
# each letter its phonetic word) with espeak-ng and sox: PCM 44,100 Hz, 16 bit, mono, silence trimmed,
# each under half a second, faded in and out over 5 ms (a sound cut off mid-wave clicks), with the plain
# 44-byte WAV header.
#   bash scripts/make-sounds.sh            (needs: apt-get install espeak-ng sox)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out="$here/../res/sounds"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Spoken as they are said on the air; the phonetic line on the form shows the program's own spelling.
declare -A say=(
  [0]=zero [1]=one [2]=two [3]=three [4]=four [5]=five [6]=six [7]=seven [8]=eight [9]=nine
  [A]=alpha [B]=bravo [C]=charlie [D]=delta [E]=echo [F]=foxtrot [G]=golf [H]=hotel [I]=india
  [J]=juliet [K]=kilo [L]=lima [M]=mike [N]=november [O]=oscar [P]=papa [Q]=kebeck [R]=romeo
  [S]=sierra [T]=tango [U]=uniform [V]=victor [W]=whiskey [X]=x-ray [Y]=yankee [Z]=zulu
)
limit=0.46

for key in "${!say[@]}"; do
  espeak-ng -v en-us -s 230 -w "$work/raw.wav" "${say[$key]}"
  # 44.1 kHz, silence off both ends, loudness to just below full scale.
  sox "$work/raw.wav" -r 44100 -b 16 -c 1 -e signed-integer "$work/trim.wav" \
      silence 1 0.005 0.5% reverse silence 1 0.005 0.5% reverse gain -n -1
  length=$(soxi -D "$work/trim.wav")
  if awk -v l="$length" -v m="$limit" 'BEGIN { exit !(l > m) }'; then
    factor=$(awk -v l="$length" -v m="$limit" 'BEGIN { printf "%.4f", l / m }')
    sox "$work/trim.wav" "$work/fit.wav" tempo -s "$factor"
    sox "$work/fit.wav" -r 44100 -b 16 -c 1 "$work/trim.wav" trim 0 "$limit"
  fi
  # Start and end at silence: 5 ms half-sine fades, the end at the last sample.
  sox "$work/trim.wav" "$work/faded.wav" fade h 0.005 -0 0.005
  mv "$work/faded.wav" "$work/trim.wav"
  # The plain 44-byte header, whatever sox chose to write.
  /usr/bin/python3 - "$work/trim.wav" "$out/$key.wav" <<'PY'
import sys, wave
with wave.open(sys.argv[1]) as r:
    assert (r.getnchannels(), r.getsampwidth(), r.getframerate()) == (1, 2, 44100)
    frames = r.readframes(r.getnframes())
with wave.open(sys.argv[2], "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(44100); w.writeframes(frames)
PY
  printf '%s %-9s %.3f s\n' "$key" "${say[$key]}" "$(soxi -D "$out/$key.wav")"
done | sort
