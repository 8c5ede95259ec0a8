#!/usr/bin/env bash
# This machine's functions read through sysfs, through a dump we saved of
# them, and through lspci's own -xxx dump give the same table and bytes.
set -uo pipefail
# shellcheck source-path=SCRIPTDIR source=lib/common.sh
. "$(dirname "$0")/lib/common.sh"
if ! "$lumivar" --save-dump "$work/sysfs.txt" 2>"$work/why.txt"; then
    echo "sysfs-vs-dump: skipped, sysfs cannot be read here: $(cat "$work/why.txt")"
    exit 0
fi
"$lumivar" --from "$work/sysfs.txt" --save-dump "$work/ours.txt" || fail "reading the saved dump"
cmp "$work/sysfs.txt" "$work/ours.txt" || fail "sysfs and our dump differ"

# Every function that lspci shows, all domains and buses, with the same bytes:
# the header lines cut to their address (with its domain), the hex lines whole.
functions() {
    tr -d '\r' | grep -E '^([0-9a-f]{4,}:)?[0-9a-f]{2}:[0-9a-f]{2}\.[0-7]( |$)|^[0-9a-f]{2,3}: ' |
        sed -E 's/^([0-9a-f]{2}:[0-9a-f]{2}\.[0-7])( |$)/0000:\1 /; s/^([0-9a-f]{4,}:[0-9a-f]{2}:[0-9a-f]{2}\.[0-7]) .*/\1/'
}
lspci -D -xxx | functions >"$work/lspci-functions.txt"
functions <"$work/sysfs.txt" >"$work/our-functions.txt"
[ -s "$work/our-functions.txt" ] || fail "no functions compared"
diff "$work/lspci-functions.txt" "$work/our-functions.txt" | head -n 5 | grep . && fail "--save-dump and lspci -xxx differ"

lspci -xxx >"$work/lspci.txt"
"$lumivar" --from "$work/lspci.txt" --save-dump "$work/theirs.txt" || fail "reading lspci -xxx output"
cmp "$work/sysfs.txt" "$work/theirs.txt" || fail "sysfs and lspci's dump differ"

"$lumivar" --names /dev/null --report "$work/sysfs-report.txt" || fail "report from sysfs"
"$lumivar" --from "$work/sysfs.txt" --names /dev/null --report "$work/dump-report.txt" || fail "report from the dump"
diff <(sed 3d "$work/sysfs-report.txt") <(sed 3d "$work/dump-report.txt") || fail "reports differ"
finish "$(grep -c '^[0-9a-f][0-9a-f]:[0-9a-f][0-9a-f]\.' "$work/sysfs.txt") functions agree"
