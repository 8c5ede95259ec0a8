#!/usr/bin/env bash
# lumivar's dialog in a real terminal: an 80x24 tmux pane driven by keys.
#
#   1. the window comes up on device 1, its fields those of the report of
#      device 1, and the screen equals tests/data/tmux-first-device.txt but
#      for the name fields, which follow the system's pci.ids
#   2. Right twice shows device 3; Dump-> (its mnemonic d) proposes pci-3.txt
#      in the current directory; Enter writes it, and it is the report of
#      device 3 (`lumivar --report - --device 3`) but for the time line
#   3. Esc ends the program with exit code 0
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

screen() { tmux_ capture-pane -p -t lumivar; }

# Waits until the screen shows text (a fixed string); false after 10 s.
await() {
    local i
    for i in $(seq 100); do
        screen | grep -qF -- "$1" && return 0
        sleep 0.1
    done
    return 1
}

# The value of a report line such as "     8086h  Vendor ID       Intel".
field() { sed -n "s/^ *\([0-9A-F]*h\)  $1 *\(.*\)\$/\1|\2/p" "$2" | head -n 1 | tr -d '\r'; }

"$lumivar" --from "$dump" --names "$names" --report "$work/device1.txt" --device 1 ||
    fail "report of device 1"
"$lumivar" --from "$dump" --names "$names" --report "$work/device3.txt" --device 3 ||
    fail "report of device 3"

tmux_ new-session -d -s lumivar -x 80 -y 24 \
    "cd '$work' && LC_ALL=C.UTF-8 TERM=screen-256color '$lumivar' --from '$dump' --names '$names'; echo \$? >'$work/status'; sleep 30"
await "Current Device" || fail "no window: $(screen)"

# 1. Device 1's fields, as its report has them.
IFS='|' read -r vendor vendorName < <(field 'Vendor ID' "$work/device1.txt")
IFS='|' read -r device deviceName < <(field 'Device ID' "$work/device1.txt")
IFS='|' read -r baseClass className < <(field 'Base Class' "$work/device1.txt")
count=$("$lumivar" --from "$dump" --names /dev/null --report - | grep -c '^PCI Bus #')
swapped=$(printf '%s' "${vendor%h}" | sed 's/\(..\)\(..\)/\2\1/') # the dump shows bytes
want=("Ven  $vendor  $vendorName" "Dev  $device  $deviceName" "Base Class        $baseClass"
    "$className" "Total PCI           $count" "Current Device      1"
    "Lumivar V4.04 - PCI Spec V3.0" "00:$swapped")
for text in "${want[@]}"; do
    screen | grep -qF -- "$text" || fail "device 1: no '$text' on the screen"
done

# The golden screen, with the names of the system's pci.ids blanked out.
mask() { LC_ALL=C.UTF-8 sed -E '3,6s/^(.{14}).{62}/\1~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~/'; }
if [ -n "${LUMIVAR_REBASE:-}" ]; then
    screen | mask >"$golden"
else
    diff -u "$golden" <(screen | mask) || fail "first device differs from $(basename "$golden")"
fi

# 2. Two steps right, then Dump-> and the proposed file.
tmux_ send-keys -t lumivar Right
await "Current Device      2" || fail "Right did not step to device 2"
tmux_ send-keys -t lumivar Right
await "Current Device      3" || fail "Right did not step to device 3"
IFS='|' read -r device3 _ < <(field 'Device ID' "$work/device3.txt")
screen | grep -qF -- "Dev  $device3" || fail "device 3: no 'Dev  $device3' on the screen"
tmux_ send-keys -t lumivar d
await "File name:" || fail "Dump-> showed no Save prompt: $(screen)"
screen | grep -qF -- "$work/pci-3.txt" || fail "proposed path is not $work/pci-3.txt: $(screen)"
tmux_ send-keys -t lumivar Enter
# Written and closed once the prompt has gone.
for _ in $(seq 100); do screen | grep -qF "File name:" || break; sleep 0.1; done
if [ -f "$work/pci-3.txt" ]; then
    cmp -s <(sed 3d "$work/pci-3.txt") <(sed 3d "$work/device3.txt") ||
        fail "pci-3.txt is not the report of device 3: $(diff <(sed 3d "$work/pci-3.txt") <(sed 3d "$work/device3.txt") | head -n 5)"
    sed -n 3p "$work/pci-3.txt" | grep -Eq '^Local Report Generated [0-9:]{8} on [0-9]+/[0-9]+/[0-9]{4}'$'\r''$' ||
        fail "time line: $(sed -n 3p "$work/pci-3.txt")"
else
    fail "no pci-3.txt written"
fi
screen | grep -qF "Current Device      3" || fail "the window did not come back after the prompt"

# 3. Esc ends it, with exit code 0.
tmux_ send-keys -t lumivar Escape
for _ in $(seq 50); do [ -s "$work/status" ] && break; sleep 0.1; done
[ "$(cat "$work/status" 2>/dev/null)" = 0 ] || fail "exit code after Esc: $(cat "$work/status" 2>/dev/null || echo none)"

if [ "$failures" -ne 0 ]; then
    echo "tmux: $failures failed"
    exit 1
fi
echo "tmux: all passed"
