#!/usr/bin/env bash
# The Linux command line: the worked example report byte for byte (but for
# its time line), exit statuses, and the messages that name each failure.
# ctest runs it with LUMIVAR set to the program it built.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
lumivar=${LUMIVAR:-${LUMIVAR_OUT:-$top/out}/native/src/lumivar}
via=$top/samples/via-apollo-pro266-cardbus-multifunction.txt
data=$top/tests/data
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The report on standard output: CR LF line ends, the golden text otherwise.
"$lumivar" --from "$data/worked-example.dump" --names /dev/null --report - >"$work/report.txt" 2>"$work/err.txt" ||
  fail "worked example report exited $?"
[ "$(grep -c $'\r$' "$work/report.txt")" = "$(wc -l <"$work/report.txt")" ] || fail "not every line ends in CR LF"
tr -d '\r' <"$work/report.txt" | sed '3d' >"$work/got.txt"
sed '3d' "$data/worked-example.report" >"$work/want.txt"
diff -u "$work/want.txt" "$work/got.txt" || fail "worked example differs"
sed -n 3p "$work/report.txt" | grep -Eq '^Local Report Generated [0-2][0-9]:[0-5][0-9]:[0-5][0-9] on [0-9]+/[0-9]+/[0-9]{4}'$'\r''$' ||
  fail "time line: $(sed -n 3p "$work/report.txt")"

# A file gets the same bytes as standard output.
"$lumivar" --from "$data/worked-example.dump" --names /dev/null --report "$work/file.txt" --device 1 ||
  fail "report to a file"
cmp -s <(sed 3d "$work/report.txt") <(sed 3d "$work/file.txt") || fail "file and standard output differ"

# Without --names the name database is pcidevs.txt here, else beside lumivar,
# else in ../share/lumivar/ from lumivar's folder (an install, wherever it was
# moved); without any, the report is unnamed and one stderr line says so.
inst=$work/moved-install
mkdir -p "$inst/bin" "$inst/share/lumivar" "$work/here"
cp "$lumivar" "$inst/bin/lumivar"
database_in() {
  case $1 in
    here) echo "$work/here/pcidevs.txt" ;;
    beside) echo "$inst/bin/pcidevs.txt" ;;
    share) echo "$inst/share/lumivar/pcidevs.txt" ;;
  esac
}
# databases present | the vendor named | what stderr says
while IFS='|' read -r places want said; do
  for place in here beside share; do rm -f "$(database_in "$place")"; done
  for place in $places; do printf 'V 1234 Named %s\n' "$place" >"$(database_in "$place")"; done
  got=$(cd "$work/here" && "$inst/bin/lumivar" --from "$data/worked-example.dump" --report - 2>"$work/names-err.txt" |
    sed -n 's/^ *1234h  Vendor ID *//p' | tr -d '\r')
  [ "$got" = "$want" ] || fail "databases in '$places': vendor '$got', wanted '$want'"
  [ "$(cat "$work/names-err.txt")" = "$said" ] ||
    fail "databases in '$places': stderr '$(cat "$work/names-err.txt")', wanted '$said'"
done <<TABLE
share|Named share|
beside share|Named beside|
here beside share|Named here|
|Unknown|lumivar: no pcidevs.txt here, beside lumivar or in ../share/lumivar, so vendors and devices go unnamed (use --names FILE)
TABLE

printf '00:01.0 Bridge\n00: 86 80 zz\n' >"$work/bad.dump"
# Dumps built from the worked example's one function (00:09.0).
example() { sed -n '/^00:09.0/,$p' "$data/worked-example.dump" | sed "1s/^00:09.0/$1/"; }
{ example 00:09.0; example 81:00.0; example 81:00.1; example 0001:00:00.0; } >"$work/wide.dump"
{ example 00:09.0; printf '\x1a\n'; example 02:00.0; } >"$work/ctrl-z.dump"
{ example 00:09.0 | sed '2s/ /\x1a/3'; } >"$work/ctrl-z-in-bytes.dump"
{ printf '\xef\xbb\xbf'; example 00:09.0; } >"$work/bom.dump"
example 00:09.0 | tr ' ' '\t' >"$work/tabs.dump"
mkdir -p "$work/adir"
head -c 5000 /dev/zero | tr '\0' x >"$work/endless-line.txt"
long=$work$(printf '/%0200d' 1 2 3 4 5)
mkdir -p "$long" && cp "$work/bad.dump" "$long/bad.dump"
# ./pcidevs.txt that is there but cannot be read (a folder) is no missing one.
mkdir "$work/pcidevs.txt"
# status | stderr (or stdout) must contain | arguments
while IFS='|' read -r status needle args; do
  [ -n "$status" ] || continue
  eval "set -- $args"
  # Every input ends: a row that hangs fails.
  (cd "$work" && timeout 10 "$lumivar" "$@" >"$work/out.txt" 2>"$work/err.txt")
  got=$?
  [ "$got" = "$status" ] || fail "lumivar $args: exit $got, wanted $status"
  if [ -n "$needle" ] && ! grep -qF -- "$needle" "$work/err.txt" "$work/out.txt"; then
    fail "lumivar $args: no '$needle' in: $(cat "$work/err.txt")"
  fi
done <<TABLE
0|Lumivar V4.04 - PCI Spec V3.0|--version
0|PCI Bus #0,  PCI Device #1,  Function #0|--from "$via" --names /dev/null --report - --device 2
0|PCI Bus #0,  PCI Device #7,  Function #1|--from "$via" --names /dev/null --report - --device 10
0|--save-dump FILE|--help
2|unknown argument '--bogus'|--bogus
2|--report needs a value|--report
2|--device takes a device number from 1 up, not '0'|--report - --device 0
2|not 'x'|--report - --device x
2|--device goes with --report|--device 1
2|separate commands|--report - --save-dump -
1|there is no device 2: 1 functions were found|--from "$data/worked-example.dump" --names /dev/null --report - --device 2
1|cannot open dump $work/missing.dump|--from "$work/missing.dump" --report -
1|$work/bad.dump:2: malformed hex line|--from "$work/bad.dump" --report -
1|cannot open name database '$work/none.txt'|--from "$data/worked-example.dump" --names "$work/none.txt" --report -
1|cannot write '$work/no/such/dir/r.txt'|--from "$data/worked-example.dump" --names /dev/null --report "$work/no/such/dir/r.txt"
1|cannot write '/dev/full': No space left on device|--from "$data/worked-example.dump" --names /dev/null --report /dev/full
1|cannot write '/dev/full'|--from "$data/worked-example.dump" --save-dump /dev/full
0||--from "$data/worked-example.dump" --save-dump "$work/saved.txt"
0|lumivar: 3 functions lie outside the scan (outside domain 0): 0001:00:00.0; (bus above 15): 0000:81:00.0, 0000:81:00.1|--from "$work/wide.dump" --names /dev/null --report -
0|81:00.1 Network Controller:|--from "$work/wide.dump" --save-dump -
0|0001:00:00.0 Network Controller:|--from "$work/wide.dump" --save-dump -
1|cannot open dump /dev/zero: not a regular file or a pipe|--from /dev/zero --report -
1|cannot open name database '/dev/zero': not a regular file or a pipe|--from "$data/worked-example.dump" --names /dev/zero --report -
1|cannot open name database '/dev/zero': not a regular file or a pipe|--from "$data/worked-example.dump" --names /dev/zero
1|$work/endless-line.txt:1: line longer than 1024 characters|--from "$work/endless-line.txt" --report -
1|$work/endless-line.txt:1: line longer than 1024 characters: not a name database|--from "$data/worked-example.dump" --names "$work/endless-line.txt" --report -
0|02:00.0 Network Controller:|--from "$work/ctrl-z.dump" --save-dump -
1|$work/ctrl-z-in-bytes.dump:2: malformed hex line|--from "$work/ctrl-z-in-bytes.dump" --save-dump -
1|cannot open name database '$work/adir': Is a directory|--from "$data/worked-example.dump" --names "$work/adir" --report -
1|cannot open name database 'pcidevs.txt': Is a directory|--from "$data/worked-example.dump" --report -
1|/proc/self/mem:1: cannot read name database: Input/output error|--from "$data/worked-example.dump" --names /proc/self/mem --report -
1|cannot open dump $work/00000000|--from "$long/x.dump" --report -
1|0005/x.dump: No such file or directory|--from "$long/x.dump" --report -
1|0005/bad.dump:2: malformed hex line|--from "$long/bad.dump" --report -
0|00:09.0 Network Controller:|--from "$work/bom.dump" --save-dump -
0|00:09.0 Network Controller:|--from "$work/tabs.dump" --save-dump -
1|cannot open dump $work/adir: Is a directory|--from "$work/adir" --report -
2|--details and --json are commands of their own|--details --json
2|--details and --json are commands of their own|--json --report -
2|-s and -d go with --details or --json|--report - -s 0:1.0
2|'20' is no device (hex, up to 1f): -s takes|--details -s 20.0
2|'8086' has no ':': -d takes [VENDOR]:[DEVICE]|--json -d 8086
2|-s needs a value|--details -s
1|cannot open dump $work/missing.dump|--from "$work/missing.dump" --json
0|"address": "0000:00:09.0"|--from "$data/worked-example.dump" --names /dev/null --json -d 1234:5678
0|has 64 of the 3840 bytes of extended configuration space|--from "$top/tests/driver/data/made-up-machine.txt" --names /dev/null --details
0|[]|--from "$data/worked-example.dump" --names /dev/null --json -s 5:
0|0001:00:00.0 Network Controller|--from "$work/wide.dump" --names /dev/null --details -s 1::
0|"address": "0000:81:00.1"|--from "$work/wide.dump" --names /dev/null --json -s 81:0.1
0|0000:00:09.0 Network Controller: vendor 1234h device 5678h|--from "$data/worked-example.dump" --names /dev/null --details -s 9.0
TABLE

# Endless pipes end at their bound, with the cause.
for case in "--from|the dump goes on past 128 MiB" "--names|larger than 64 MiB: not a name database"; do
  option=${case%%|*} needle=${case#*|}
  rm -f "$work/endless" && mkfifo "$work/endless"
  yes 2>/dev/null >"$work/endless" &
  writer=$!
  timeout 10 "$lumivar" --from "$data/worked-example.dump" "$option" "$work/endless" --report /dev/null 2>"$work/err.txt"
  got=$?
  kill "$writer" 2>/dev/null; wait "$writer" 2>/dev/null
  [ "$got" = 1 ] && grep -qF -- "$needle" "$work/err.txt" ||
    fail "$option from an endless pipe: exit $got, $(cat "$work/err.txt")"
done

# A report file keeps the bytes of the names as they are, control bytes too.
printf 'V\t1234\tRed\x1b[31mVendor\x07\n' >"$work/ctrl-names.txt"
"$lumivar" --from "$data/worked-example.dump" --names "$work/ctrl-names.txt" --report "$work/ctrl.txt" ||
  fail "report with control bytes in names"
grep -qF $'Red\x1b[31mVendor\x07' "$work/ctrl.txt" || fail "the report file lost the bytes of a name"

# What --save-dump wrote reads back, and pciutils reads it too.
"$lumivar" --from "$work/saved.txt" --save-dump "$work/again.txt" || fail "reading our own dump"
cmp -s "$work/saved.txt" "$work/again.txt" || fail "dump round trip changed bytes"
lspci -F "$work/saved.txt" | grep -q '^00:09.0 ' || fail "lspci -F does not read our dump"

if [ "$failures" -ne 0 ]; then
  echo "cli: $failures failed"
  exit 1
fi
echo "cli: all passed"
