#!/usr/bin/env bash
# Checks that every C++ source in git is laid out as .clang-format says; names the files that are not.
# Mend them with:  git ls-files '*.cpp' '*.h' | xargs clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."
bad=()
while IFS= read -r -d '' file; do
  if ! clang-format --dry-run --Werror "$file" >/dev/null 2>&1; then
    bad+=("$file")
  fi
done < <(git ls-files -z '*.cpp' '*.h')
if [[ ${#bad[@]} -gt 0 ]]; then
  echo "Not laid out as .clang-format says (run clang-format -i on them):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "Layout of the sources: all $(git ls-files '*.cpp' '*.h' | wc -l) files as .clang-format says"
