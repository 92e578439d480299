#!/usr/bin/env bash
# 'cmake --install' of a build puts exactly the expected files under the prefix, and they pass the
# desktop's own validators: the desktop entry, the AppStream metadata, the icon at every size the
# theme folder names, programs that answer from the installed place.
#
#   check-install.sh BUILD APP_ID VERSION WITH_GUI(0|1)
set -uo pipefail
build=$1 id=$2 version=$3 gui=$4
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failures=0 checks=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { checks=$((checks + 1)); }
check() { local what=$1; shift; if "$@"; then pass; else fail "$what"; fi; }

if ! DESTDIR=$root cmake --install "$build" --prefix /usr >"$root.log" 2>&1; then
  cat "$root.log"; rm -f "$root.log"; echo "FAIL: cmake --install"; exit 1
fi
rm -f "$root.log"
usr=$root/usr

sizes=(16 22 24 32 48 64 128 256)
expected=(bin/logwarden-cli share/man/man1/logwarden-cli.1.gz
          share/doc/logwarden/copyright share/doc/logwarden/changelog.gz)
if [[ $gui == 1 ]]; then
  expected+=(bin/logwarden share/man/man1/logwarden.1.gz share/applications/$id.desktop
             share/metainfo/$id.metainfo.xml share/icons/hicolor/scalable/apps/$id.svg)
  for s in "${sizes[@]}"; do expected+=("share/icons/hicolor/${s}x${s}/apps/$id.png"); done
fi
# Exactly these files: anything else would end up in the package too.
actual=$(cd "$usr" && find . -type f -o -type l | sed 's|^\./||' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
check "installed files differ from the expected ones:
$(diff <(echo "$wanted") <(echo "$actual"))" test "$actual" == "$wanted"

for exe in "$usr"/bin/*; do
  check "$exe is not executable" test -x "$exe"
  # No search path into the build folder may remain in an installed program.
  check "$exe keeps a run path: $(readelf -d "$exe" | grep -E 'RPATH|RUNPATH')" \
    bash -c "! readelf -d '$exe' | grep -qE 'RPATH|RUNPATH'"
done
check "installed logwarden-cli --version" test "$("$usr/bin/logwarden-cli" --version)" == "logwarden-cli $version"
check "changelog does not begin with release $version" \
  bash -c "zcat '$usr/share/doc/logwarden/changelog.gz' | head -n1 | grep -qF 'logwarden ($version)'"

if [[ $gui == 1 ]]; then
  check "installed logwarden --version" \
    bash -c "QT_QPA_PLATFORM=offscreen '$usr/bin/logwarden' --version 2>/dev/null | grep -qx 'Logwarden $version'"

  desktop=$usr/share/applications/$id.desktop
  check "desktop-file-validate: $(desktop-file-validate "$desktop" 2>&1)" \
    bash -c "[[ -z \$(desktop-file-validate '$desktop' 2>&1) ]]"
  key() { sed -n "s/^$1=//p" "$desktop"; }
  check "desktop entry's Icon is not $id" test "$(key Icon)" == "$id"
  exec_name=$(key Exec); exec_name=${exec_name%% *}
  check "desktop entry runs '$exec_name', which is not installed" test -x "$usr/bin/$exec_name"
  for category in HamRadio Network; do
    check "desktop entry is not in category $category" bash -c "[[ ';$(key Categories)' == *';$category;'* ]]"
  done

  metainfo=$usr/share/metainfo/$id.metainfo.xml
  check "appstreamcli validate: $(appstreamcli validate --no-net "$metainfo" 2>&1)" \
    bash -c "appstreamcli validate --no-net '$metainfo' >/dev/null 2>&1"
  # The metadata names the same program, desktop entry and release as the build.
  read -r meta_id launchable newest < <(/usr/bin/python3 - "$metainfo" <<'PY'
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
print(root.findtext("id"), root.findtext("launchable"), root.find("releases/release").get("version"))
PY
  )
  check "metadata id $meta_id is not $id" test "$meta_id" == "$id"
  check "metadata launches $launchable, not $id.desktop" test "$launchable" == "$id.desktop"
  check "newest release of the metadata is $newest, not $version" test "$newest" == "$version"

  # Each picture has the size its theme folder names.
  for s in "${sizes[@]}"; do
    png=$usr/share/icons/hicolor/${s}x${s}/apps/$id.png
    dims=$(/usr/bin/python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print(*struct.unpack(">II", d[16:24])) if d[:8]==b"\x89PNG\r\n\x1a\n" else print("not a PNG")' "$png")
    check "$png is $dims, not $s $s" test "$dims" == "$s $s"
  done
fi

echo "check-install: $checks passed, $failures failed"
[[ $failures -eq 0 ]]
