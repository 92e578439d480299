#!/usr/bin/env bash
# The manual pages render without a warning from groff, logwarden-cli.1 names every command that
# 'logwarden-cli --help' lists together with every option of the command's usage, and logwarden.1 names
# every option that 'logwarden --help' shows.
#
#   check-manpages.sh MANDIR CLI [GUI]     (MANDIR holds logwarden-cli.1.gz and logwarden.1.gz)
set -uo pipefail
mandir=$1 cli=$2 gui=${3:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0 checks=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { checks=$((checks + 1)); }

# What a reader sees, as lintian renders it; any message from groff is a fault of the page.
render() {
  local page=$1 out=$2
  LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" >"$out" 2>"$out.err"
  if [[ $? -ne 0 || -s $out.err ]]; then
    fail "$(basename "$page") does not render cleanly: $(cat "$out.err")"
  else
    pass
  fi
  # Minus signs and hyphens as a terminal user types them, lines joined so that a name broken over
  # two lines is still found.
  sed -i -e 's/\xe2\x88\x92/-/g; s/\xe2\x80\x90/-/g' "$out"
  tr -s ' \n' ' ' <"$out" >"$out.flat"
}

# The option names (--name, -x) in a piece of text, one a line.
options_in() { grep -oE '(^|[^[:alnum:]-])--?[[:alnum:]][[:alnum:]-]*' | sed -E 's/^[^-]*//' | sort -u; }

render "$mandir/logwarden-cli.1.gz" "$scratch/cli.txt"
commands=$("$cli" --help | awk '/^Commands:/ { on = 1; next } on && /^  [^ ]/ { print $1 } on && /^[^ ]/ { on = 0 }')
[[ -n $commands ]] || fail "'logwarden-cli --help' lists no commands"
for name in $commands; do
  # Each command has a heading of its own.
  if grep -qxE "   $name" "$scratch/cli.txt"; then pass; else fail "logwarden-cli.1 has no section for '$name'"; fi
  usage=$("$cli" "$name" --help | head -n1)
  [[ $usage == "Usage: logwarden-cli $name"* ]] || fail "'logwarden-cli $name --help' shows no usage: $usage"
  for option in $(options_in <<<"$usage"); do
    if grep -qF -- "logwarden-cli $name" "$scratch/cli.txt.flat" && grep -qF -- "$option" "$scratch/cli.txt.flat"; then
      pass
    else
      fail "logwarden-cli.1 does not name option $option of '$name'"
    fi
  done
done
for option in --help --version; do
  if grep -qF -- "$option" "$scratch/cli.txt.flat"; then pass; else fail "logwarden-cli.1 does not name $option"; fi
done

if [[ -n $gui ]]; then
  render "$mandir/logwarden.1.gz" "$scratch/gui.txt"
  help=$(QT_QPA_PLATFORM=offscreen "$gui" --help)
  [[ -n $help ]] || fail "'logwarden --help' printed nothing"
  for option in $(options_in <<<"$help"); do
    if grep -qE -- "(^|[^[:alnum:]-])$option([^[:alnum:]-]|$)" "$scratch/gui.txt.flat"; then
      pass
    else
      fail "logwarden.1 does not name option $option that 'logwarden --help' shows"
    fi
  done
fi

echo "check-manpages: $checks passed, $failures failed"
[[ $failures -eq 0 ]]
