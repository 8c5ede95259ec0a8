#!/usr/bin/env bash
# The Linux command line: the worked example report byte for byte (but for
# its time line), where the name database is found, and the exit status and
# message of each run in tests/data/cli-cases.txt.
# ctest runs it with LUMIVAR set to the program it built.
set -uo pipefail
# shellcheck source-path=SCRIPTDIR source=lib/common.sh
. "$(dirname "$0")/lib/common.sh"
# shellcheck disable=SC2034 # the cases name it
via=$top/samples/via-apollo-pro266-cardbus-multifunction.txt

# The report on standard output and in a file: the golden text but for the time.
"$lumivar" --from "$data/worked-example.dump" --names /dev/null --report - >"$work/report.txt" ||
    fail "worked example report exited $?"
same_report "$work/report.txt" "$data/worked-example.report"
"$lumivar" --from "$data/worked-example.dump" --names /dev/null --report "$work/file.txt" --device 1 ||
    fail "report to a file"
same_report "$work/file.txt" "$data/worked-example.report"

# Without --names the name database is pcidevs.txt here, else beside lumivar,
# else in ../share/lumivar/ from lumivar's folder (an install, wherever it was
# moved); without any, the report is unnamed and one stderr line says so.
inst=$work/moved-install
mkdir -p "$inst/bin" "$inst/share/lumivar" "$work/here"
cp "$lumivar" "$inst/bin/lumivar"
declare -A database=([here]=$work/here [beside]=$inst/bin [share]=$inst/share/lumivar)
# databases present | the vendor named | what stderr says
while IFS='|' read -r places want said; do
    for place in here beside share; do rm -f "${database[$place]}/pcidevs.txt"; done
    for place in $places; do printf 'V 1234 Named %s\n' "$place" >"${database[$place]}/pcidevs.txt"; done
    got=$(cd "$work/here" && "$inst/bin/lumivar" --from "$data/worked-example.dump" --report - 2>"$work/err.txt" |
        sed -n 's/^ *1234h  Vendor ID *//p' | tr -d '\r')
    [ "$got|$(cat "$work/err.txt")" = "$want|$said" ] ||
        fail "databases in '$places': vendor '$got', stderr '$(cat "$work/err.txt")'; wanted '$want', '$said'"
done <<TABLE
share|Named share|
beside share|Named beside|
here beside share|Named here|
|Unknown|lumivar: no pcidevs.txt here, beside lumivar or in ../share/lumivar, so vendors and devices go unnamed (use --names FILE)
TABLE

# The files the cases name.
printf '00:01.0 Bridge\n00: 86 80 zz\n' >"$work/bad.dump"
example() { sed -n '/^00:09.0/,$p' "$data/worked-example.dump" | sed "1s/^00:09.0/$1/"; }
{ example 00:09.0; example 81:00.0; example 81:00.1; example 0001:00:00.0; } >"$work/wide.dump"
head -c 5000 /dev/zero | tr '\0' x >"$work/endless-line.txt"
long=$work$(printf '/%0200d' 1 2 3 4 5) # longer than a path buffer of 1 KiB
mkdir -p "$long" && cp "$work/bad.dump" "$long/bad.dump"
mkdir "$work/pcidevs.txt" # there, but no file: no missing database
while IFS='|' read -r status needle args; do
    case $status in '#'* | '') continue ;; esac
    needle=${needle//'$work'/$work}
    # Every input ends: a row that hangs fails. <(yes) is an endless pipe.
    (cd "$work" && eval "timeout 10 \"\$lumivar\" $args" >"$work/out.txt" 2>"$work/err.txt")
    got=$?
    [ "$got" = "$status" ] || fail "lumivar $args: exit $got, wanted $status"
    grep -qF -- "$needle" "$work/err.txt" "$work/out.txt" || fail "lumivar $args: no '$needle' in: $(cat "$work/err.txt")"
done <"$data/cli-cases.txt"

# A report file keeps the bytes of the names as they are, control bytes too.
printf 'V\t1234\tRed\x1b[31mVendor\x07\n' >"$work/ctrl-names.txt"
"$lumivar" --from "$data/worked-example.dump" --names "$work/ctrl-names.txt" --report "$work/ctrl.txt" &&
    grep -qF $'Red\x1b[31mVendor\x07' "$work/ctrl.txt" || fail "the report file lost the bytes of a name"

# What --save-dump wrote reads back to the same bytes, and lspci -F reads it
# as it reads the dump it came from, every function.
"$lumivar" --from "$via" --save-dump "$work/saved.txt" &&
    "$lumivar" --from "$work/saved.txt" --save-dump "$work/again.txt" &&
    cmp -s "$work/saved.txt" "$work/again.txt" || fail "a dump saved and read back changed"
if command -v lspci >/dev/null; then
    cmp -s <(lspci -F "$via" -xxx) <(lspci -F "$work/saved.txt" -xxx) ||
        fail "lspci -F reads the saved dump otherwise than the dump it came from"
fi
finish
