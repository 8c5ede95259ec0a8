#!/usr/bin/env bash
# lumivar started in a real terminal (an 80x24 tmux pane) with inputs that
# the window must take or refuse before it draws:
#   - a dump through a pipe is read once, and the window shows it
#   - this machine's functions that cannot be read (not root): the cause on
#     stderr and exit 1, no window
#   - --report - to a terminal: control bytes of names are shown as '?'
#   - a backslash in the current folder's name stays in the proposed path
#   - what the window's table leaves out is said once the window has gone
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
lumivar=${LUMIVAR_OUT:-$top/out}/native/src/lumivar
dump=$top/tests/data/worked-example.dump
work=$(mktemp -d)
chmod 755 "$work" # the row run as nobody starts there
socket=lumivar-inputs-$$
tmux_() { tmux -u -L "$socket" "$@"; }
trap 'tmux_ kill-server 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

screen() { tmux_ capture-pane -p -J -S - -t "$session"; } # with what scrolled away

# Waits until the screen shows text (a fixed string); false after 10 s.
await() {
    local i
    for i in $(seq 100); do
        screen | grep -qF -- "$1" && return 0
        sleep 0.1
    done
    return 1
}

printf 'V\t1234\tRed\x1b[31mVendor\x07\n' >"$work/ctrl-names.txt"
# sysfs shows other users 64 bytes of each function: as root, be somebody else.
asuser=
[ "$(id -u)" != 0 ] || asuser="runuser -u nobody --"
mkdir "$work/a\\b"
{ cat "$dump"; sed -n '/^00:09.0/,$p' "$dump" | sed '1s/^00:09.0/81:00.0/'; } >"$work/wide.dump"

# name | folder | command | screen shows | keys (each after 0.5 s) | exit status | file made |
# screen shows at the end
rows=0
while IFS='|' read -r name folder command shows keys status made after; do
    [ -n "$name" ] || continue
    rows=$((rows + 1)) session=row$rows # each stays until the end: the server with it
    rm -f "$work/status"
    tmux_ new-session -d -s "$session" -x 80 -y 24 \
        "cd '$folder' && LC_ALL=C.UTF-8 TERM=screen-256color $command; echo \$? >'$work/status'; sleep 30"
    await "$shows" || fail "$name: no '$shows' on the screen: $(screen)"
    for key in $keys; do
        sleep 0.5
        tmux_ send-keys -t "$session" "$key"
    done
    for _ in $(seq 100); do [ -s "$work/status" ] && break; sleep 0.1; done
    got=$(cat "$work/status" 2>/dev/null || echo none)
    [ "$got" = "$status" ] || fail "$name: exit status $got, wanted $status: $(screen)"
    [ -z "$made" ] || [ -f "$made" ] || fail "$name: no $made"
    [ -z "$after" ] || screen | grep -qF -- "$after" || fail "$name: no '$after' at the end: $(screen)"
done <<TABLE
a dump through a pipe|$work|'$lumivar' --from <(cat '$dump') --names /dev/null|Current Device      1|Escape|0|
sysfs without root|$work|$asuser '$lumivar' --names /dev/null|only 64 of 256 bytes: the kernel shows the whole configuration space to root only||1|
names with control bytes|$work|'$lumivar' --from '$dump' --names '$work/ctrl-names.txt' --report -|Vendor ID       Red?[31mVendor?||0|
a backslash in the folder|$work/a\\b|'$lumivar' --from '$dump' --names /dev/null|Current Device      1|r Enter Escape|0|$work/a\\b/pci-info.txt
a function beyond the scan|$work|'$lumivar' --from '$work/wide.dump' --names /dev/null|Total PCI           1|Escape|0||lumivar: 1 function lies outside the scan (bus above 15): 0000:81:00.0
TABLE

if [ "$failures" -ne 0 ]; then
    echo "terminal-inputs: $failures failed"
    exit 1
fi
echo "terminal-inputs: all passed"
