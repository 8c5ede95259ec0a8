#!/usr/bin/env bash
# lumivar's dialog in a real terminal: tmux panes of 80x24 driven by keys.
#
#   1. the window comes up on device 1, named from the --names database,
#      the screen as tests/data/tmux-first-device.txt has it
#   2. the keys: Exit has the focus at the start, Tab moves it to Dump->,
#      which Enter presses, and it still has it once the prompt is gone;
#      Right twice shows device 3, whose Dump-> (its mnemonic d) proposes
#      pci-3.txt in the current directory, and Enter writes the report of
#      device 3 (`lumivar --report - --device 3`) but for the time line;
#      Home and End; F1 and ? list the keys; ESC [ D from a terminal whose
#      description does not know it is Left, not Alt+[ and Dump->
#   3. at 20x5 a notice that fits, and r and Enter write nothing; back at
#      80x24 the window again
#   4. one run a row of the table below, from start to end: the exit status,
#      what the screen shows, the file written or not; and every run leaves
#      the terminal as it found it (canonical mode, echo)
#
# LUMIVAR_REBASE=1 rewrites the golden screen (review it with git diff).
set -uo pipefail
# shellcheck source-path=SCRIPTDIR source=lib/common.sh
. "$(dirname "$0")/lib/common.sh"
dump=$top/samples/this-ci-vm.txt
chmod 755 "$work" # the row run as nobody starts there
names=$work/names.txt
printf 'V\t8086\tIntel Corporation\nD\t0d57\tHost Bridge 0D57h\n' >"$names"
socket=lumivar-e2e-$$
tmux_() { tmux -u -L "$socket" "$@"; }
at_end "tmux -L '$socket' kill-server 2>/dev/null"

# run SESSION FOLDER COMMAND: COMMAND in a new 80x24 session, in FOLDER; then
# its exit status goes to $work/SESSION.status and stty's settings to
# $work/SESSION.stty. The session stays until the end, for its screen.
run() {
    session=$1
    tmux_ new-session -d -s "$1" -x 80 -y 24 "cd '$2' && LC_ALL=C.UTF-8 TERM=screen-256color $3;
        echo \$? >'$work/$1.status'; stty -a >'$work/$1.stty'; sleep 60"
}
screen() { tmux_ capture-pane -p "$@" -t "$session"; }
keys() { tmux_ send-keys -t "$session" "$@"; }
# await [!]TEXT: waits until the screen (with what scrolled away) shows TEXT,
# or with ! no longer shows it; false after 10 s.
await() {
    local text=${1#!}
    for _ in $(seq 100); do
        if screen -J -S - | grep -qF -- "$text"; then [ "$text" = "$1" ]; else [ "$text" != "$1" ]; fi && return 0
        sleep 0.1
    done
    return 1
}
# ended STATUS [NAME]: the run of $session ended with STATUS and put the
# terminal back.
ended() {
    local name=${2:-$session}
    for _ in $(seq 100); do [ -s "$work/$session.stty" ] && break; sleep 0.1; done
    [ "$(cat "$work/$session.status" 2>/dev/null)" = "$1" ] ||
        fail "$name: exit status $(cat "$work/$session.status" 2>/dev/null || echo none), wanted $1: $(screen)"
    grep -qE '(^| )icanon( |$)' "$work/$session.stty" && grep -qE '(^| )echo( |$)' "$work/$session.stty" ||
        fail "$name: the terminal was not put back: $(cat "$work/$session.stty" 2>/dev/null)"
}

"$lumivar" --from "$dump" --names "$names" --report "$work/device3.txt" --device 3 || fail "report of device 3"
count=$("$lumivar" --from "$dump" --names /dev/null --report - | grep -c '^PCI Bus #')

# 1. The first device, then keys and what the screen shows after each (! what
# it no longer shows). The window starts with the focus on Exit.
run dialog "$work" "'$lumivar' --from '$dump' --names '$names'"
await "Current Device" || fail "no window: $(screen)"
screen >"$work/first-device.txt"
matches_golden "$work/first-device.txt" tmux-first-device.txt
while IFS='|' read -r key shows; do
    keys "$key"
    await "$shows" || fail "after $key: no '$shows' on the screen: $(screen)"
done <<TABLE
Tab|Current Device      1
Enter|$work/pci-1.txt
Escape|!File name:
Enter|$work/pci-1.txt
Escape|!File name:
Right|Current Device      2
Right|Current Device      3
d|$work/pci-3.txt
Enter|!File name:
End|Current Device      $count
Home|Current Device      1
Right|Current Device      2
F1|Home, End        the first, the last function
Escape|Current Device      2
?|F1 or ?          these keys
Escape|Current Device      2
TABLE
same_report "$work/pci-3.txt" "$work/device3.txt"
tmux_ send-keys -t "$session" -H 1b 5b 44 # ESC [ D: this terminal's Left is ESC O D
await "Current Device      1" || fail "ESC [ D did not step back"
sleep 0.3
screen | grep -qF "File name:" && fail "ESC [ D opened the Save prompt"

# 3. Too small a terminal, and back.
tmux_ resize-window -t "$session" -x 20 -y 5
await "Needs 78x24" || fail "at 20x5 no notice that fits: $(screen)"
keys r Enter
sleep 0.5
[ ! -e "$work/pci-info.txt" ] || fail "r and Enter wrote pci-info.txt unseen"
tmux_ resize-window -t "$session" -x 80 -y 24
await "Latency (PCI" || fail "the window did not come back at 80x24"
keys Escape
ended 0

# 4. Whole runs. sysfs shows other users 64 bytes of each function: as root,
# be somebody else.
asuser=
[ "$(id -u)" != 0 ] || asuser="runuser -u nobody --"
printf 'V\t1234\tRed\x1b[31mVendor\x07\n' >"$work/ctrl-names.txt"
mkdir "$work/a\\b" "$work/bare"
cp "$lumivar" "$work/bare/lumivar"
example=$data/worked-example.dump
{ cat "$example"; sed -n '/^00:09.0/,$p' "$example" | sed '1s/^00:09.0/81:00.0/'; } >"$work/wide.dump"
# name | folder | command | screen shows | keys (each after 0.5 s) | exit status |
# file made (! not made) | screen shows at the end
rows=0
while IFS='|' read -r name folder command shows keys status made after; do
    rows=$((rows + 1))
    run "row$rows" "$folder" "$command"
    await "$shows" || fail "$name: no '$shows' on the screen: $(screen)"
    for key in $keys; do
        sleep 0.5
        keys "$key"
    done
    ended "$status" "$name"
    case $made in
        !*) [ ! -e "${made#!}" ] || fail "$name: ${made#!} was written" ;;
        ?*) [ -f "$made" ] || fail "$name: no $made" ;;
    esac
    [ -z "$after" ] || await "$after" || fail "$name: no '$after' at the end: $(screen)"
done <<TABLE
a dump through a pipe, read once|$work|'$lumivar' --from <(cat '$dump') --names /dev/null|Current Device      1|Escape|0||
Ctrl-C in the Save prompt|$work|'$lumivar' --from '$dump' --names /dev/null|Current Device      1|d C-c|0|!$work/pci-1.txt|
no name database: the Open prompt asks for it|$work/bare|'$work/bare/lumivar' --from '$dump'|name database pcidevs.txt|Escape Escape|0||
TERM=dumb gets the report|$work|TERM=dumb '$lumivar' --from '$dump' --names /dev/null|(TERM=dumb) cannot place the cursor, so the report||0||PCI Bus #0,  PCI Device #5,  Function #0
sysfs without root|$work|$asuser '$lumivar' --names /dev/null|only 64 of 256 bytes: the kernel shows the whole configuration space to root only||1||
names with control bytes to a terminal|$work|'$lumivar' --from '$example' --names '$work/ctrl-names.txt' --report -|Vendor ID       Red?[31mVendor?||0||
a backslash in the folder|$work/a\\b|'$lumivar' --from '$example' --names /dev/null|Current Device      1|r Enter Escape|0|$work/a\\b/pci-info.txt|
a function beyond the scan|$work|'$lumivar' --from '$work/wide.dump' --names /dev/null|Total PCI           1|Escape|0||lumivar: 1 function lies outside the scan (bus above 15): 0000:81:00.0
TABLE
finish
