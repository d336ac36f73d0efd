#!/usr/bin/env bash
# Fails when a file under src/ includes a header from a higher floor. The floors, lowest first:
#   platform < ui < shredder < cleaning < shell < window | cli < app
# The generated text/TextIds.h (the string table's ids by name) is on the ui floor.
# The console program (cli/) stands beside the windows: it and window/ never include each other.
# Within window/, the Qt and the Win32 layers never include each other.
# Within cleaning/, the file formats come first, then what the browsers share (the report, the
# browser cache base), then one folder per browser family and one for the desktop's traces,
# which never include each other, and the run at the top of cleaning/ itself:
#   cleaning/formats < cleaning/common < cleaning/{firefox,chromium,desktop} < cleaning/
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root/src"

floor() {
  case "$1" in
    platform) echo 0 ;; ui | text) echo 1 ;; shredder) echo 2 ;; cleaning) echo 3 ;;
    shell) echo 4 ;; window | cli) echo 5 ;; app) echo 6 ;; *) echo -1 ;;
  esac
}

# The floor of a path inside cleaning/, or -1 for a sub-folder no floor names.
subfloor() {
  case "$1" in
    cleaning/formats/*) echo 0 ;; cleaning/common/*) echo 1 ;;
    cleaning/firefox/* | cleaning/chromium/* | cleaning/desktop/*) echo 2 ;;
    cleaning/*/*) echo -1 ;; cleaning/*) echo 3 ;;
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
    elif [ "$from" = cleaning ] && [ "$to" = cleaning ]; then
      a=$(subfloor "$file")
      b=$(subfloor "$inc")
      if [ "$a" -lt 0 ] || [ "$b" -lt 0 ]; then
        echo "$file includes \"$inc\": a folder of cleaning/ on no floor (add it to scripts/check-layers.sh)"
        bad=1
      elif [ "$b" -gt "$a" ]; then
        echo "$file includes \"$inc\": $(dirname "$file") may not depend on $(dirname "$inc")"
        bad=1
      elif [ "$a" -eq 2 ] && [ "$b" -eq 2 ] && [ "$(dirname "$file")" != "$(dirname "$inc")" ]; then
        echo "$file includes \"$inc\": one browser's folder may not depend on another's"
        bad=1
      fi
    elif [ "$from_floor" -eq 5 ] && [ "$to_floor" -eq 5 ] && [ "$from" != "$to" ]; then
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
