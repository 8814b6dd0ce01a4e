#!/usr/bin/env bash
# scripts/run keeps the data outside the build tree: it passes --dir with
# $WAREHOUSE_DIR or ~/warehouse (made on the way) unless the user chose a
# folder. The build is stood in for by a cmake that does nothing and a program
# that writes down its arguments.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

mkdir -p "$tmp/bin" "$tmp/build/src/app" "$tmp/home"
printf '#!/bin/sh\nexit 0\n' > "$tmp/bin/cmake"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" > "%s/args"\n' "$tmp" > "$tmp/build/src/app/warehouse"
chmod +x "$tmp/bin/cmake" "$tmp/build/src/app/warehouse"

failures=0
run() { # expected arguments (one per line), $WAREHOUSE_DIR (- for unset), arguments
  local expected=$1 dir=$2
  shift 2
  rm -f "$tmp/args"
  local unset=(-u WAREHOUSE_DIR)
  [ "$dir" = - ] || unset=(WAREHOUSE_DIR="$dir")
  env "${unset[@]}" PATH="$tmp/bin:$PATH" BUILD_DIR="$tmp/build" HOME="$tmp/home" \
    "$repo/scripts/run" "$@" >/dev/null
  local got
  got=$(cat "$tmp/args")
  if [ "$got" != "$expected" ]; then
    echo "FAIL: scripts/run $* started the program with:"
    echo "$got"
    echo "expected:"
    echo "$expected"
    failures=$((failures + 1))
  fi
}

run "--dir
$tmp/home/warehouse" -
[ -d "$tmp/home/warehouse" ] || { echo "FAIL: ~/warehouse was not made"; failures=$((failures + 1)); }

run "--dir
$tmp/elsewhere" "$tmp/elsewhere"
[ -d "$tmp/elsewhere" ] || { echo "FAIL: \$WAREHOUSE_DIR was not made"; failures=$((failures + 1)); }

rm -rf "$tmp/home/warehouse"
run "--dir
/srv/lager" - --dir /srv/lager
run "--dir=/srv/lager" - --dir=/srv/lager
[ ! -e "$tmp/home/warehouse" ] || { echo "FAIL: ~/warehouse made beside a chosen folder"; failures=$((failures + 1)); }

[ "$failures" -eq 0 ] && echo "scripts/run: all cases passed"
exit "$failures"
