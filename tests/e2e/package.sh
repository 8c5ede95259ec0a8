#!/usr/bin/env bash
# The Debian package that cpack makes of the native build:
#
#   1. its name and fields; no dependencies, for lumivar is linked statically
#   2. its contents, file by file
#   3. unpacked into a scratch root: the moved lumivar names the functions
#      from its own share/lumivar/, the man page renders without a warning,
#      bash completes the options
#   4. as root, when no lumivar package is installed: dpkg -i, then lumivar
#      names the functions from /tmp and man finds the page; dpkg -r leaves
#      nothing of the package behind
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
native=${LUMIVAR_OUT:-$top/out}/native
sample=$top/samples/this-ci-vm.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

version=$(sed -n 's/^project(Lumivar VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
arch=$(dpkg --print-architecture)
deb=$work/lumivar_${version}_$arch.deb
(cd "$work" && cpack --config "$native/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1) ||
    { tail -n 20 "$work/cpack.log"; fail "cpack failed"; }
[ -f "$deb" ] || { fail "no $(basename "$deb"): $(ls "$work")"; echo "package: $failures failed"; exit 1; }

# 1. Fields: field | what its value must hold (a fixed string).
while IFS='|' read -r field want; do
    got=$(dpkg-deb -f "$deb" "$field")
    grep -qF -- "$want" <<<"$got" || fail "$field is '$got', wanted it to hold '$want'"
done <<TABLE
Package|lumivar
Version|$version
Architecture|$arch
Section|utils
TABLE
depends=$(dpkg-deb -f "$deb" Depends)
[ -z "$depends" ] || fail "Depends is '$depends', wanted none: lumivar is linked statically"

# 2. Contents.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort >"$work/contents.txt"
diff -u - "$work/contents.txt" <<LIST || fail "the package holds other files than these"
./usr/bin/lumivar
./usr/share/bash-completion/completions/lumivar
./usr/share/lumivar/pcidevs.txt
./usr/share/man/man1/lumivar.1
LIST

# Functions named by the installed database: no line saying they go unnamed,
# and the first vendor of the sample named as the build's database names it.
names_found() {
    local lumivar=$1 folder=$2 got want
    got=$(cd "$folder" && "$lumivar" --from "$sample" --report - 2>"$work/names.err" |
        sed -n 's/^ *[0-9A-F]*h  Vendor ID *//p' | head -n 1 | tr -d '\r')
    want=$("$native/src/lumivar" --from "$sample" --names "$native/pcidevs.txt" --report - |
        sed -n 's/^ *[0-9A-F]*h  Vendor ID *//p' | head -n 1 | tr -d '\r')
    [ -n "$want" ] && [ "$got" = "$want" ] && [ ! -s "$work/names.err" ] ||
        { fail "$lumivar from $folder: first vendor '$got' (wanted '$want'); $(cat "$work/names.err")"; return 1; }
}

# 3. A scratch root, moved somewhere else than /usr.
root=$work/root
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x failed"
readelf -d "$root/usr/bin/lumivar" 2>/dev/null | grep -q NEEDED &&
    fail "the packaged lumivar loads shared libraries: $(readelf -d "$root/usr/bin/lumivar" | grep NEEDED)"
mkdir -p "$work/elsewhere"
names_found "$root/usr/bin/lumivar" "$work/elsewhere" && echo "ok: the unpacked lumivar names the functions from its own share/lumivar"
man --warnings -l "$root/usr/share/man/man1/lumivar.1" >/dev/null 2>"$work/man.err"
[ ! -s "$work/man.err" ] || fail "man page warnings: $(cat "$work/man.err")"
MANWIDTH=80 man -l "$root/usr/share/man/man1/lumivar.1" 2>/dev/null | grep -q 'EXIT STATUS' ||
    fail "the man page does not render"
# words typed | what bash offers
while IFS='|' read -r words want; do
    eval "set -- $words"
    got=$(bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _lumivar; echo "${COMPREPLY[*]}"' \
        _ "$root/usr/share/bash-completion/completions/lumivar" "$@")
    [ "$got" = "$want" ] || fail "completing '$words': '$got', wanted '$want'"
done <<'TABLE'
lumivar --rep|--report
lumivar --d|--device --details
lumivar --j|--json
lumivar --json -s ""|
lumivar --device ""|
lumivar --report -|-
lumivar --from /nonexistent/x|
TABLE

# 4. A real install and removal.
if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: dpkg -i needs root"
elif dpkg-query -W -f='${Status}' lumivar 2>/dev/null | grep -q installed; then
    echo "SKIP: a lumivar package is installed already"
else
    dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || fail "dpkg -i: $(tail -n 5 "$work/dpkg.log")"
    dpkg-query -L lumivar >"$work/files.txt" 2>/dev/null
    names_found lumivar /tmp && echo "ok: after dpkg -i, lumivar names the functions from /tmp"
    [ "$(man -w lumivar 2>/dev/null)" = /usr/share/man/man1/lumivar.1 ] ||
        fail "man -w lumivar: $(man -w lumivar 2>&1)"
    dpkg -r lumivar >>"$work/dpkg.log" 2>&1 || fail "dpkg -r: $(tail -n 5 "$work/dpkg.log")"
    status=$(dpkg-query -W -f='${Status}' lumivar 2>/dev/null)
    case $status in
        "" | *not-installed) ;;
        *) fail "after dpkg -r the package is '$status'" ;;
    esac
    while read -r path; do
        case $path in
            */lumivar | */lumivar.1 | */pcidevs.txt | /usr/share/lumivar)
                [ ! -e "$path" ] || fail "$path is left after dpkg -r" ;;
        esac
    done <"$work/files.txt"
    echo "ok: dpkg -i and dpkg -r"
fi

if [ "$failures" -ne 0 ]; then
    echo "package: $failures failed"
    exit 1
fi
echo "package: all passed ($(basename "$deb"))"
