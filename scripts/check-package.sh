#!/usr/bin/env bash
# Checks the Debian package that 'make package' wrote: lintian finds no error, the control fields name
# the version and the dependencies read from the shared libraries, the package installs, its programs
# answer from /usr/bin, and removing it takes away every file it brought.
#
#   scripts/check-package.sh dist/logwarden_VERSION_ARCH.deb
#
# As root it installs and removes the package on this machine (dpkg -i, dpkg -r); it refuses when a
# logwarden package is already installed, so that it never removes one that someone installed for use.
# Otherwise it unpacks the package into a scratch folder and runs the programs from there.
set -uo pipefail
deb=${1:?usage: check-package.sh PACKAGE.deb}
[[ -f $deb ]] || { echo "check-package: no package $deb (run make package)" >&2; exit 2; }
id=io.github.logwarden.Logwarden
failures=0 checks=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; checks=$((checks + 1)); }
check() { local what=$1; shift; if "$@"; then pass "$what"; else fail "$what"; fi; }

version=$(dpkg-deb -f "$deb" Version)
depends=$(dpkg-deb -f "$deb" Depends)
echo "check-package: $deb, version $version"
echo "Depends: $depends"
check "the file name carries the version" bash -c "[[ '$(basename "$deb")' == logwarden_${version}_*.deb ]]"
for lib in libc6 libstdc++6 libqt6core6 libqt6widgets6 libsqlite3-0 libcurl4; do
  check "depends on $lib" bash -c "[[ ', $depends' == *', $lib '* || ', $depends,' == *', $lib,'* ]]"
done
check "no maintainer scripts" \
  bash -c "! dpkg-deb --ctrl-tarfile '$deb' | tar -t | grep -qE '(pre|post)(inst|rm)$'"

# Errors fail the check; warnings are shown for the developer to mend or explain.
lintian_out=$(lintian --fail-on error --display-info "$deb" 2>&1); lintian_rc=$?
[[ -n $lintian_out ]] && echo "$lintian_out"
check "lintian reports no error" test "$lintian_rc" -eq 0

scratch=$(mktemp -d)
installed=0
cleanup() {
  if [[ $installed == 1 ]]; then dpkg -r logwarden >/dev/null 2>&1; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

if [[ $(id -u) -eq 0 ]]; then
  if dpkg-query -W -f='${Status}' logwarden 2>/dev/null | grep -q 'installed'; then
    echo "check-package: a logwarden package is installed already; remove it first (dpkg -r logwarden)" >&2
    exit 2
  fi
  if dpkg -i "$deb" >"$scratch/install.log" 2>&1; then
    installed=1
    pass "dpkg -i installs the package"
  else
    installed=1
    cat "$scratch/install.log"
    fail "dpkg -i installs the package"
  fi
  check "logwarden-cli is found on the PATH in /usr/bin" test "$(command -v logwarden-cli)" == /usr/bin/logwarden-cli
  check "logwarden-cli --version answers from /usr/bin" \
    test "$(/usr/bin/logwarden-cli --version 2>&1)" == "logwarden-cli ${version%%-*}"
  check "logwarden --version answers from /usr/bin" \
    bash -c "QT_QPA_PLATFORM=offscreen /usr/bin/logwarden --version 2>/dev/null | grep -qx 'Logwarden ${version%%-*}'"
  check "the desktop entry is in the menu folder" test -f /usr/share/applications/$id.desktop
  check "the icon is in the hicolor theme" test -f /usr/share/icons/hicolor/48x48/apps/$id.png
  check "man finds logwarden-cli(1)" bash -c "man -w logwarden-cli 2>/dev/null | grep -q '^/usr/share/man/man1/logwarden-cli.1.gz$'"
  check "man finds logwarden(1)" bash -c "man -w logwarden 2>/dev/null | grep -q '^/usr/share/man/man1/logwarden.1.gz$'"

  dpkg -L logwarden >"$scratch/paths"
  files=()
  while IFS= read -r path; do [[ -f $path && ! -d $path ]] && files+=("$path"); done <"$scratch/paths"
  echo "check-package: the package installed ${#files[@]} files"
  check "dpkg -r removes the package" bash -c "dpkg -r logwarden >'$scratch/remove.log' 2>&1"
  installed=0
  left=()
  for f in "${files[@]}"; do [[ -e $f ]] && left+=("$f"); done
  check "no installed file is left after dpkg -r${left:+: ${left[*]}}" test ${#left[@]} -eq 0
  status=$(dpkg-query -W -f='${Status}' logwarden 2>/dev/null || true)
  check "dpkg keeps nothing of the package (status '${status:-none}')" \
    bash -c "[[ -z '$status' || '$status' == *not-installed ]]"
else
  echo "check-package: not root: unpacking into a scratch folder instead of installing"
  dpkg-deb -x "$deb" "$scratch/root"
  check "logwarden-cli --version answers from usr/bin" \
    test "$("$scratch/root/usr/bin/logwarden-cli" --version 2>&1)" == "logwarden-cli ${version%%-*}"
fi

echo "check-package: $checks passed, $failures failed"
[[ $failures -eq 0 ]]
