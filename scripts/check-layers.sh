#!/usr/bin/env bash
# Fails when a file under src/ includes a header from a higher floor. The floors, lowest first:
#   platform < ui < shredder < cleaning < shell < window < app
# The generated text/TextIds.h (the string table's ids by name) is on the ui floor.
# Within window/, the Qt and the Win32 layers never include each other.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root/src"

floor() {
  case "$1" in
    platform) echo 0 ;; ui | text) echo 1 ;; shredder) echo 2 ;; cleaning) echo 3 ;;
    shell) echo 4 ;; window) echo 5 ;; app) echo 6 ;; *) echo -1 ;;
  esac
}

bad=0
while IFS= read -r file; do
  from=${file%%/*}
  from_floor=$(floor "$from")
  if [ "$from_floor" -lt 0 ]; then
    echo "$file: folder '$from' is on no floor (add it to scripts/check-layers.sh)"
    bad=1
    continue
  fi
  while IFS= read -r inc; do
    to=${inc%%/*}
    to_floor=$(floor "$to")
    [ "$to_floor" -lt 0 ] && continue  # a header of the same folder or a generated one
    if [ "$to_floor" -gt "$from_floor" ]; then
      echo "$file includes \"$inc\": $from may not depend on $to"
      bad=1
    elif [ "$from" = window ] && [ "$to" = window ]; then
      a=$(echo "$file" | cut -d/ -f2)
      b=$(echo "$inc" | cut -d/ -f2)
      if [ "$a" != "$b" ]; then
        echo "$file includes \"$inc\": window/$a may not depend on window/$b"
        bad=1
      fi
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find . -type f \( -name '*.h' -o -name '*.cpp' \) | sed 's#^\./##' | sort)

if [ "$bad" -ne 0 ]; then
  echo "Layering check failed: an include may only point to the same or a lower floor."
  exit 1
fi
echo "Layering check passed."
