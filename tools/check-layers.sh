#!/usr/bin/env bash
# Includes run one way: plugin/ on top, the subsystems in the middle, and
# formula/, log/, common/ and formats/ below. A subsystem reaches another
# only through the header that one offers (<subsystem>/<subsystem>.h), never
# through plugin/ or another subsystem's internals. Prints every include that
# breaks this and exits 1 when there is any.
set -u
src=${1:-$(dirname "$0")/../src}
cd "$src" || exit 2

subsystems=" assistant state store blocks screening net diagnostics startup "
# What each bottom folder may include besides itself.
declare -A below=(
  [formats]=""
  [common]="formats"
  [log]="common formats"
  [formula]="log common formats"
)

bad=0
complain() { echo "layering: $1 includes \"$2\" ($3)"; bad=1; }

while IFS= read -r file; do
  from=${file%%/*}
  while IFS= read -r inc; do
    to=${inc%%/*}
    [ "$to" = "$inc" ] && continue        # not a project include
    [ "$to" = "$from" ] && continue
    [ -d "$to" ] || continue
    if [ "$from" = plugin ]; then continue; fi
    if [ "$to" = plugin ]; then complain "$file" "$inc" "only the exports may include plugin/"; continue; fi
    if [ -n "${below[$from]+x}" ]; then
      case " ${below[$from]} " in
        *" $to "*) ;;
        *) complain "$file" "$inc" "$from/ sits below $to/" ;;
      esac
      continue
    fi
    if [[ $subsystems == *" $to "* ]] && [ "$inc" != "$to/$to.h" ]; then
      complain "$file" "$inc" "use $to/$to.h, the header $to/ offers"
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
  if [ "$from" = formats ] && grep -q -i -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*<windows\.h>' "$file"; then
    echo "layering: $file includes <windows.h>: formats are plain bytes"
    bad=1
  fi
done < <(find . -type f \( -name '*.h' -o -name '*.cpp' \) | sed 's|^\./||' | sort)

[ $bad -eq 0 ] && echo "layering: every include runs downward"
exit $bad
