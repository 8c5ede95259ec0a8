#!/usr/bin/env bash
# lumivar's dialog in a real terminal: tmux panes driven by keys.
#
#   1. the window comes up at 80x24 on device 1, its fields those of the
#      report of device 1, and the screen equals tests/data/tmux-first-device.txt
#      but for the name fields, which follow the system's pci.ids
#   2. Right twice shows device 3; Dump-> (its mnemonic d) proposes pci-3.txt
#      in the current directory; Enter writes it, and it is the report of
#      device 3 (`lumivar --report - --device 3`) but for the time line
#   3. the keys: Exit has the focus at the start, Tab moves it to Dump->,
#      which Enter presses, and it still has it once the prompt is gone;
#      Home and End; F1 and ? list the keys; ESC [ D from a terminal whose
#      description does not know it is Left, not Alt+[ and Dump->
#   4. the sizes: at 104x32 and 160x50 the window is centred and its labels
#      whole; at 20x5 a notice that fits, and r and Enter write nothing
#   5. Esc ends the program with exit code 0; so does Ctrl-C, with the
#      terminal put back
#   6. TERM=dumb gets the report instead of the dialog, with a notice
#   7. without a name database the Open prompt says it asks for pcidevs.txt
#
# LUMIVAR_REBASE=1 rewrites the golden screen (review it with git diff).
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
native=${LUMIVAR_OUT:-$top/out}/native
lumivar=$native/src/lumivar
names=$native/pcidevs.txt
dump=$top/samples/this-ci-vm.txt
golden=$top/tests/data/tmux-first-device.txt
work=$(mktemp -d)
socket=lumivar-e2e-$$
tmux_() { tmux -u -L "$socket" "$@"; }
trap 'tmux_ kill-server 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

session=lumivar
screen() { tmux_ capture-pane -p -t "$session"; }
keys() { tmux_ send-keys -t "$session" "$@"; }

# Waits until the screen shows text (a fixed string); false after 10 s.
await() {
    local i
    for i in $(seq 100); do
        screen | grep -qF -- "$1" && return 0
        sleep 0.1
    done
    return 1
}
# Waits until the screen no longer shows text; false after 10 s.
await_gone() {
    local i
    for i in $(seq 100); do
        screen | grep -qF -- "$1" || return 0
        sleep 0.1
    done
    return 1
}

# Starts lumivar with ARGS in a new session of COLSxROWS, in FOLDER, with
# TERM; its exit status goes to $work/status, then stty's settings.
start() {
    local cols=$1 rows=$2 folder=$3 term=$4
    shift 4
    rm -f "$work/status" "$work/stty"
    tmux_ kill-session -t "$session" 2>/dev/null
    tmux_ new-session -d -s "$session" -x "$cols" -y "$rows" \
        "cd '$folder' && LC_ALL=C.UTF-8 TERM=$term '$lumivar' $*; echo \$? >'$work/status'; stty -a >'$work/stty'; sleep 60"
}
ended_with() {
    for _ in $(seq 200); do [ -s "$work/status" ] && break; sleep 0.1; done
    [ "$(cat "$work/status" 2>/dev/null)" = "$1" ]
}

# The value of a report line such as "     8086h  Vendor ID       Intel".
field() { sed -n "s/^ *\([0-9A-F]*h\)  $1 *\(.*\)\$/\1|\2/p" "$2" | head -n 1 | tr -d '\r'; }

"$lumivar" --from "$dump" --names "$names" --report "$work/device1.txt" --device 1 ||
    fail "report of device 1"
"$lumivar" --from "$dump" --names "$names" --report "$work/device3.txt" --device 3 ||
    fail "report of device 3"
count=$("$lumivar" --from "$dump" --names /dev/null --report - | grep -c '^PCI Bus #')

start 80 24 "$work" screen-256color --from "'$dump'" --names "'$names'"
await "Current Device" || fail "no window: $(screen)"

# 1. Device 1's fields, as its report has them.
IFS='|' read -r vendor vendorName < <(field 'Vendor ID' "$work/device1.txt")
IFS='|' read -r device deviceName < <(field 'Device ID' "$work/device1.txt")
IFS='|' read -r baseClass className < <(field 'Base Class' "$work/device1.txt")
swapped=$(printf '%s' "${vendor%h}" | sed 's/\(..\)\(..\)/\2\1/') # the dump shows bytes
want=("Ven  $vendor  $vendorName" "Dev  $device  $deviceName" "Base Class        $baseClass"
    "$className" "Total PCI           $count" "Current Device      1"
    "Lumivar V4.04 - PCI Spec V3.0" "00:$swapped")
for text in "${want[@]}"; do
    screen | grep -qF -- "$text" || fail "device 1: no '$text' on the screen"
done

# The golden screen, with the names of the system's pci.ids blanked out.
mask() { LC_ALL=C.UTF-8 sed -E '3,6s/^(.{15}).{62}/\1~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~/'; }
if [ -n "${LUMIVAR_REBASE:-}" ]; then
    screen | mask >"$golden"
else
    diff -u "$golden" <(screen | mask) || fail "first device differs from $(basename "$golden")"
fi

# 2. Two steps right, then Dump-> and the proposed file.
keys Right
await "Current Device      2" || fail "Right did not step to device 2"
keys Right
await "Current Device      3" || fail "Right did not step to device 3"
IFS='|' read -r device3 _ < <(field 'Device ID' "$work/device3.txt")
screen | grep -qF -- "Dev  $device3" || fail "device 3: no 'Dev  $device3' on the screen"
keys d
await "File name:" || fail "Dump-> showed no Save prompt: $(screen)"
screen | grep -qF -- "$work/pci-3.txt" || fail "proposed path is not $work/pci-3.txt: $(screen)"
keys Enter
# Written and closed once the prompt has gone.
await_gone "File name:" || fail "the prompt stayed after Enter"
if [ -f "$work/pci-3.txt" ]; then
    cmp -s <(sed 3d "$work/pci-3.txt") <(sed 3d "$work/device3.txt") ||
        fail "pci-3.txt is not the report of device 3: $(diff <(sed 3d "$work/pci-3.txt") <(sed 3d "$work/device3.txt") | head -n 5)"
    sed -n 3p "$work/pci-3.txt" | grep -Eq '^Local Report Generated [0-9:]{8} on [0-9]+/[0-9]+/[0-9]{4}'$'\r''$' ||
        fail "time line: $(sed -n 3p "$work/pci-3.txt")"
else
    fail "no pci-3.txt written"
fi
screen | grep -qF "Current Device      3" || fail "the window did not come back after the prompt"

# 3. The keys. A fresh window: Exit has the focus, Tab gives it to Dump->.
start 80 24 "$work" screen-256color --from "'$dump'" --names "'$names'"
await "Current Device" || fail "no second window: $(screen)"
keys Tab Enter
await "pci-1.txt" || fail "Tab and Enter did not press Dump->: $(screen)"
keys Escape
await_gone "File name:" || fail "Esc did not close the prompt"
keys Enter
await "pci-1.txt" || fail "Dump-> lost the focus to the prompt: $(screen)"
keys Escape
await_gone "File name:" || fail "Esc did not close the prompt"
# key | what the screen shows then
while IFS='|' read -r key shows; do
    keys "$key"
    await "$shows" || fail "after $key: no '$shows' on the screen"
done <<TABLE
End|Current Device      $count
Home|Current Device      1
Right|Current Device      2
F1|Home, End        the first, the last function
Escape|Current Device      2
?|F1 or ?          these keys
Escape|Current Device      2
TABLE
tmux_ send-keys -t "$session" -H 1b 5b 44 # ESC [ D: this terminal's Left is ESC O D
await "Current Device      1" || fail "ESC [ D did not step back"
sleep 0.3
screen | grep -qF "File name:" && fail "ESC [ D opened the Save prompt"

# 4. The sizes: cols rows | the column where the window's frame starts | a label
frame_column() { screen | grep -m1 '┌' | LC_ALL=C.UTF-8 sed 's/┌.*//' | LC_ALL=C.UTF-8 awk '{print length}'; }
while IFS='|' read -r cols rows frame label; do
    tmux_ resize-window -t "$session" -x "$cols" -y "$rows"
    for _ in $(seq 50); do [ "$(frame_column)" = "$frame" ] && break; sleep 0.1; done
    [ "$(frame_column)" = "$frame" ] || fail "at ${cols}x$rows the frame starts at column $(frame_column), not $frame"
    screen | grep -qF -- "$label" || fail "at ${cols}x$rows no '$label': $(screen)"
done <<TABLE
104|32|1|Latency (PCI clks)
160|50|4|Interrupt Line (d)
80|24|2|Latency (PCI
TABLE
tmux_ resize-window -t "$session" -x 20 -y 5
await "Needs 78x24" || fail "at 20x5 no notice that fits: $(screen)"
keys r Enter
sleep 0.5
[ ! -e "$work/pci-info.txt" ] || fail "r and Enter wrote pci-info.txt unseen"
tmux_ resize-window -t "$session" -x 80 -y 24
await "Current Device" || fail "the window did not come back at 80x24"

# 5. Esc ends it with 0; Ctrl-C too, the terminal put back.
keys Escape
ended_with 0 || fail "exit code after Esc: $(cat "$work/status" 2>/dev/null || echo none)"
start 80 24 "$work" screen-256color --from "'$dump'" --names "'$names'"
await "Current Device" || fail "no window for Ctrl-C"
keys d
await "File name:" || fail "no prompt for Ctrl-C"
keys C-c
ended_with 0 || fail "exit code after Ctrl-C: $(cat "$work/status" 2>/dev/null || echo none)"
for _ in $(seq 20); do [ -s "$work/stty" ] && break; sleep 0.1; done
grep -qE '(^| )icanon( |$)' "$work/stty" && grep -qE '(^| )echo( |$)' "$work/stty" ||
    fail "the terminal was not put back: $(cat "$work/stty")"
[ ! -e "$work/pci-1.txt" ] || fail "Ctrl-C in the prompt wrote pci-1.txt"

# 6. A terminal that cannot place the cursor.
start 80 24 "$work" dumb --from "'$dump'" --names "'$names'"
ended_with 0 || fail "TERM=dumb: exit code $(cat "$work/status" 2>/dev/null || echo none)"
history=$(tmux_ capture-pane -p -J -S - -t "$session")
grep -qF "this terminal (TERM=dumb) cannot place the cursor, so the report" <<<"$history" ||
    fail "TERM=dumb: no notice: $(head -n 3 <<<"$history")"
[ "$(grep -c '^PCI Bus #' <<<"$history")" = "$count" ] || fail "TERM=dumb: not the report of $count functions"

# 7. No name database anywhere: the Open prompt says what it is for.
mkdir -p "$work/bare"
cp "$lumivar" "$work/bare/lumivar"
lumivar=$work/bare/lumivar
start 80 24 "$work/bare" screen-256color --from "'$dump'"
await "File name:" || fail "no Open prompt without a name database: $(screen)"
screen | tr -d '\n' | tr -s ' ║' ' ' | grep -qF "name database pcidevs.txt" ||
    fail "the Open prompt does not say it asks for the name database pcidevs.txt: $(screen)"
keys Escape
await "Current Device" || fail "Esc in the Open prompt did not go on to the window"
keys Escape
ended_with 0 || fail "exit code after the Open prompt: $(cat "$work/status" 2>/dev/null || echo none)"

if [ "$failures" -ne 0 ]; then
    echo "tmux: $failures failed"
    exit 1
fi
echo "tmux: all passed"
