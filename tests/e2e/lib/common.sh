# Shared by the end-to-end scripts; source it first. It sets
#   top      the repository            native   the native build tree
#   lumivar  the program ($LUMIVAR, else the native build's)
#   work     a scratch folder, removed at the end (with at_end's command)
# fail counts a failure and goes on; finish ends the script with the count.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
out=${LUMIVAR_OUT:-$top/out}
native=$out/native
lumivar=${LUMIVAR:-$native/src/lumivar}
data=$top/tests/data
check_name=$(basename "$0" .sh)
work=$(mktemp -d "${TMPDIR:-/tmp}/lumivar-$check_name.XXXXXX")
at_end() { trap "$*; rm -rf '$work'" EXIT; }
at_end :
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
    return 1
}
finish() {
    [ "$failures" -eq 0 ] || { echo "$check_name: $failures failed"; exit 1; }
    echo "$check_name: ${1:-all passed}"
}

# matches_golden GOT GOLDEN: GOT is the text of GOLDEN, a file in tests/data;
# with LUMIVAR_REBASE=1 it becomes GOLDEN (review it with git diff).
matches_golden() {
    if [ -n "${LUMIVAR_REBASE:-}" ]; then
        cp "$1" "$data/$2"
    else
        diff -u "$data/$2" "$1" || fail "other than $2 (- wanted, + got)"
    fi
}

# same_report GOT WANTED: GOT is a report with CR LF line ends and a time line
# on line 3, and the same text as WANTED but for that line.
same_report() {
    [ "$(grep -c $'\r$' "$1")" = "$(wc -l <"$1")" ] || fail "$1: not every line ends in CR LF" || return
    sed -n 3p "$1" | grep -Eq $'^Local Report Generated [0-2][0-9]:[0-5][0-9]:[0-5][0-9] on [0-9]+/[0-9]+/[0-9]{4}\r$' ||
        fail "$1: line 3 is no time line: $(sed -n 3p "$1")" || return
    local diff
    diff=$(diff -u <(sed 3d "$2" | tr -d '\r') <(sed 3d "$1" | tr -d '\r')) ||
        fail "$1 is another report than $2 (- wanted, + got):"$'\n'"$(head -n 20 <<<"$diff")"
}
