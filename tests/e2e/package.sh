#!/usr/bin/env bash
# The Debian package that cpack makes of the native build:
#
#   1. its name, its fields and its files as tests/data/deb-package.txt has
#      them (LUMIVAR_REBASE=1 rewrites it; review it with git diff): no
#      Depends, for lumivar is linked statically
#   2. unpacked into a scratch root: the moved lumivar names the functions
#      from its own share/lumivar/, the man page renders without a warning,
#      bash completes the options
#   3. as root, when no lumivar package is installed: dpkg -i, then lumivar
#      names the functions from /tmp and man finds the page; dpkg -r leaves
#      nothing of the package behind
set -uo pipefail
# shellcheck source-path=SCRIPTDIR source=lib/common.sh
. "$(dirname "$0")/lib/common.sh"
sample=$top/samples/this-ci-vm.txt

version=$(sed -n 's/^project(Lumivar VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
deb=$work/lumivar_${version}_$(dpkg --print-architecture).deb
(cd "$work" && cpack --config "$native/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1) ||
    { tail -n 20 "$work/cpack.log"; fail "cpack failed"; }
[ -f "$deb" ] || { fail "no $(basename "$deb"): $(ls "$work")"; finish; }

# 1. Fields and files.
{
    dpkg-deb -f "$deb" Package Section Depends
    dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort
} >"$work/package.txt"
matches_golden "$work/package.txt" deb-package.txt

# The first vendor of the sample as lumivar in FOLDER names it, then what it
# says on stderr (that the functions go unnamed, say).
first_vendor() {
    (cd "$2" && "$1" --from "$sample" "${@:3}" --report - 2>"$work/names.err") |
        sed -n 's/^ *[0-9A-F]*h  Vendor ID *//p' | head -n 1 | tr -d '\r'
    cat "$work/names.err"
}
vendor=$(first_vendor "$lumivar" "$work" --names "$native/pcidevs.txt")

# 2. A scratch root, moved somewhere else than /usr.
root=$work/root
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x failed"
readelf -d "$root/usr/bin/lumivar" | grep NEEDED && fail "the packaged lumivar loads shared libraries"
mkdir -p "$work/elsewhere"
[ "$(first_vendor "$root/usr/bin/lumivar" "$work/elsewhere")" = "$vendor" ] ||
    fail "the unpacked lumivar does not name the first vendor '$vendor'"
man --warnings -l "$root/usr/share/man/man1/lumivar.1" 2>&1 >/dev/null | grep . && fail "man page warnings"
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

# 3. A real install and removal.
if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: dpkg -i needs root"
elif dpkg-query -W -f='${Status}' lumivar 2>/dev/null | grep -q installed; then
    echo "SKIP: a lumivar package is installed already"
else
    dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || fail "dpkg -i: $(tail -n 5 "$work/dpkg.log")"
    [ "$(first_vendor lumivar /tmp)" = "$vendor" ] || fail "after dpkg -i lumivar does not name '$vendor'"
    [ "$(man -w lumivar 2>/dev/null)" = /usr/share/man/man1/lumivar.1 ] || fail "man -w lumivar: $(man -w lumivar 2>&1)"
    dpkg -r lumivar >>"$work/dpkg.log" 2>&1 || fail "dpkg -r: $(tail -n 5 "$work/dpkg.log")"
    dpkg-query -W -f='${Status}' lumivar 2>/dev/null | grep -q ' installed' && fail "installed after dpkg -r"
    for path in $(sed -n 's/^\.\//\//p' "$data/deb-package.txt") /usr/share/lumivar; do
        [ ! -e "$path" ] || fail "$path is left after dpkg -r"
    done
fi
finish "$(basename "$deb")"
