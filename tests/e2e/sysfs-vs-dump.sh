#!/usr/bin/env bash
# This machine's functions read through sysfs, through a dump we saved of
# them, and through lspci's own -xxx dump give the same table and bytes.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
lumivar=${LUMIVAR_OUT:-$top/out}/native/src/lumivar
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! "$lumivar" --save-dump "$work/sysfs.txt" 2>"$work/why.txt"; then
  echo "sysfs-vs-dump: skipped, sysfs cannot be read here: $(cat "$work/why.txt")"
  exit 0
fi
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

"$lumivar" --from "$work/sysfs.txt" --save-dump "$work/ours.txt" || fail "reading the saved dump"
cmp "$work/sysfs.txt" "$work/ours.txt" || fail "sysfs and our dump differ"

lspci -xxx >"$work/lspci.txt"
"$lumivar" --from "$work/lspci.txt" --save-dump "$work/theirs.txt" || fail "reading lspci -xxx output"
cmp "$work/sysfs.txt" "$work/theirs.txt" || fail "sysfs and lspci's dump differ"

"$lumivar" --names /dev/null --report "$work/sysfs-report.txt" || fail "report from sysfs"
"$lumivar" --from "$work/sysfs.txt" --names /dev/null --report "$work/dump-report.txt" || fail "report from the dump"
diff <(sed 3d "$work/sysfs-report.txt") <(sed 3d "$work/dump-report.txt") || fail "reports differ"

[ "$(lspci -F "$work/sysfs.txt" | wc -l)" = "$(grep -c '^[0-9a-f][0-9a-f]:[0-9a-f][0-9a-f]\.' "$work/sysfs.txt")" ] ||
  fail "lspci -F lists a different number of functions"

if [ "$failures" -ne 0 ]; then
  echo "sysfs-vs-dump: $failures failed"
  exit 1
fi
echo "sysfs-vs-dump: $(grep -c "^[0-9a-f][0-9a-f]:[0-9a-f][0-9a-f]\." "$work/sysfs.txt") functions agree"
