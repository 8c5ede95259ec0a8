#!/usr/bin/env bash
# lumivar.exe end to end: the real program and kestrix.sys in a fresh Wine
# prefix on a private Xvfb display, driven with xdotool as a user would drive
# it (clicks and keys through the X server).
#
#   1. the driver serves a real dump; the window comes up showing device 1
#   2. clicks on the up-down control's right arrow step through the devices
#   3. a screenshot of the window (always $LUMIVAR_OUT/screenshot.png, and
#      $LUMIVAR_SCREENSHOT too when set)
#   4. Dump-> and PCI Report write through the Save dialog what
#      `lumivar --from DUMP --report FILE [--device N]` writes, but for the
#      time line
#   5. a second copy finds the driver taken, says so and exits with 0, and
#      the first one goes on reading
#   6. Esc, the Exit button and the close box each end a run with exit code 0;
#      Tab moves the focus through the tab stops (Exit, Dump->, PCI Report;
#      the Multi Function box is one too, but disabled), Shift-Tab back, and
#      Enter and Space press the focused button, which has the focus again
#      once the Save dialog is gone
#   7. with the driver stopped the program says so and exits with 0
#   8. with the driver on the host's sysfs (as root) PCI Report equals the
#      native report of this machine, but for the time line
#
# Needs the native build in $LUMIVAR_OUT/native and the MinGW build in
# $LUMIVAR_OUT/win. Exits 0 when every step passes, 1 at the first failure.
# tests/e2e/wine/winspect.c, built here, reads window texts and positions from
# inside Wine; it sends no input.
set -uo pipefail
started=$SECONDS
repo=$(cd "$(dirname "$0")/../.." && pwd)
out=${LUMIVAR_OUT:-$repo/out}
native=$out/native/src/lumivar
names=$out/native/pcidevs.txt
exe=$out/win/src/lumivar.exe
sys=$out/win/driver/kestrix.sys
dump=$repo/samples/via-apollo-pro266-cardbus-multifunction.txt
shot_copy=
if [ -n "${LUMIVAR_SCREENSHOT:-}" ]; then
    case $LUMIVAR_SCREENSHOT in
        /*) shot_copy=$LUMIVAR_SCREENSHOT ;;
        *) shot_copy=$PWD/$LUMIVAR_SCREENSHOT ;;
    esac
fi
test_name=wine
# shellcheck source-path=SCRIPTDIR source=wine/lib.sh
. "$repo/tests/e2e/wine/lib.sh"

need_tools wine wineserver Xvfb xdotool import identify x86_64-w64-mingw32-gcc
for file in "$native" "$names" "$exe" "$sys"; do
    [ -f "$file" ] || fail "missing $file (build lumivar and pcidevs natively, lumivar_exe and kestrix with MinGW)"
done

wine_session

# Clicks the up-down control's right arrow (the right half of the control)
# and waits until the window shows device NUMBER with its vendor id.
step_right() {
    local number=$1 vendor=$2 left top right bottom
    read -r left top right bottom < <(ws rect "$main_hwnd" 200) || fail "no up-down control (id 200)"
    click_at $((left + (right - left) * 3 / 4)) $(((top + bottom) / 2))
    until_ok 10 "after a click on the right arrow the window shows device '@SEEN@', not $number" \
        text_is "$main_hwnd" 324 "$number"
    until_ok 10 "device $number shows vendor id '@SEEN@', not $vendor" \
        text_is "$main_hwnd" 318 "$vendor"
    echo "ok: the right arrow steps to device $number (vendor id $vendor)"
}

# ---------------------------------------------------------------------------
step "the display and the window inspector"
start_display

mkdir -p "$app_dir" "$work/reports" "$work/native"
cp "$exe" "$names" "$app_dir/" || fail "cannot copy lumivar.exe and pcidevs.txt"
functions=$(grep -c '^[0-9a-f][0-9a-f]:[0-9a-f][0-9a-f]\.[0-7] ' "$dump")
"$native" --from "$dump" --names "$names" --report "$work/native/all.txt" ||
    fail "the native report of $dump failed"
[ "$(blocks "$work/native/all.txt")" = "$functions" ] ||
    fail "the native report of $dump has $(blocks "$work/native/all.txt") blocks, not $functions"
mapfile -t vendor < <(vendor_ids "$work/native/all.txt")

# ---------------------------------------------------------------------------
step "1. the driver serves ${dump##*/}; lumivar.exe shows device 1"
"$repo/scripts/install-driver-wine" "$WINEPREFIX" "$dump" "$sys" >"$work/install.log" 2>&1 ||
    fail "the driver did not start: $(cat "$work/install.log")"
dress_prefix
start_app main
wait_main main
echo "ok: window \"$title\""
text_is "$main_hwnd" 325 "$functions" || fail "Total PCI Devices shows '$seen', not $functions"
text_is "$main_hwnd" 324 1 || fail "Current Device shows '$seen', not 1"
text_is "$main_hwnd" 318 "${vendor[0]}" || fail "device 1 shows vendor id '$seen', not ${vendor[0]}"
echo "ok: $functions devices, device 1 on display (vendor id ${vendor[0]})"

# ---------------------------------------------------------------------------
step "2. the up-down control steps through the devices"
step_right 2 "${vendor[1]}"
step_right 3 "${vendor[2]}"
device_name=$(ws text "$main_hwnd" 319)
[ -n "$device_name" ] || fail "device 3 shows no device name"

# ---------------------------------------------------------------------------
step "3. screenshot of the window (device 3: $device_name)"
# Wine does not always make the first window of a run the active one; a click
# on its caption does, so that the picture shows it as a user would see it.
if ! ws active "$main_hwnd"; then
    read -r left top right _ < <(ws rect "$main_hwnd") || fail "no window rectangle"
    click_at $(((left + right) / 2)) $((top + 8))
    until_ok 10 "a click on the caption does not make the window active" ws active "$main_hwnd"
    until_ok 10 "the window does not answer after the click" ws idle "$main_hwnd"
    echo "ok: the window made active by a click on its caption"
fi
read -r left top right bottom < <(ws rect "$main_hwnd") || fail "no window rectangle"
import -window "$main_xid" "png:$work/screenshot.png" 2>"$work/import.log" ||
    fail "import failed: $(cat "$work/import.log")"
size=$(identify -format '%w %h' "$work/screenshot.png") || fail "the screenshot is not an image"
[ "$size" = "$((right - left)) $((bottom - top))" ] ||
    fail "the screenshot is $size, the window $((right - left)) $((bottom - top))"
colours=$(identify -format '%k' "$work/screenshot.png")
[ "$colours" -ge 8 ] || fail "the screenshot has only $colours colours: nothing drawn"
cp "$work/screenshot.png" "$out/screenshot.png" || fail "cannot write $out/screenshot.png"
echo "ok: $out/screenshot.png ($size)"
if [ -n "$shot_copy" ]; then
    cp "$work/screenshot.png" "$shot_copy" || fail "cannot write $shot_copy"
    echo "ok: $shot_copy"
fi

# ---------------------------------------------------------------------------
step "4a. Dump-> writes the report of device 3"
save_through_dialog d pci-3.txt "$work/reports/device 3.txt"
"$native" --from "$dump" --names "$names" --report "$work/native/device-3.txt" --device 3 ||
    fail "the native report of device 3 failed"
same_report "$work/reports/device 3.txt" "$work/native/device-3.txt"
echo "ok: the same as lumivar --from ${dump##*/} --report FILE --device 3 but for the time"

step "4b. PCI Report writes the report of all devices"
save_through_dialog r pci-info.txt "$work/reports/all.txt"
same_report "$work/reports/all.txt" "$work/native/all.txt"
echo "ok: the same as lumivar --from ${dump##*/} --report FILE but for the time ($functions devices)"

# ---------------------------------------------------------------------------
step "5. a second copy while the first runs"
first_pid=$main_pid
start_app second
answer_message other_process_says "second copy" "$no_device"
wait_exit second
if ! find_main || [ "$main_pid" != "$first_pid" ]; then
    fail "the first copy's window is gone"
fi
# The first copy still reads through its own handle.
step_right 4 "${vendor[3]}"

# ---------------------------------------------------------------------------
step "6a. Esc ends the run"
focus "$main_xid"
x key Escape
wait_exit main
until_ok 10 "the window stayed after Esc" gone "$main_hwnd"

step "6b. the Exit button ends the run"
start_app exit-button
wait_main exit-button
read -r left top right bottom < <(ws rect "$main_hwnd" 2) || fail "no Exit button (id 2)"
text_is "$main_hwnd" 2 "E&xit" || fail "button 2 reads '$seen', not E&xit"
click_at $(((left + right) / 2)) $(((top + bottom) / 2))
wait_exit exit-button

step "6c. the close box ends the run"
start_app close-box
wait_main close-box
point=$(ws closebox "$main_hwnd") || fail "the window has no close box"
# shellcheck disable=SC2086 # "X Y"
click_at $point
wait_exit close-box

# ---------------------------------------------------------------------------
# The focused control of the main window is ID (0: the window itself).
focus_is() {
    seen=$(ws focus "$main_hwnd")
    [ "$seen" = "$1" ]
}
# KEY in the main window opens the Save dialog proposing PROPOSED; Esc closes it.
save_dialog_from_key() {
    local key=$1 proposed=$2
    focus "$main_xid"
    x key "$key"
    until_ok 20 "$key opened no Save dialog" find_dialog owned_by_main
    until_ok 10 "$key: the Save dialog proposes '@SEEN@', not '$proposed'" \
        text_is "$box_hwnd" $FILE_NAME_BOX "$proposed"
    focus "$box_xid"
    x key Escape
    until_ok 10 "the Save dialog stayed after Esc" gone "$box_hwnd"
    echo "ok: $key pressed the button with the focus (the Save dialog proposed $proposed)"
}
tab_keys() {
    step "6d. Tab, Shift-Tab, Enter and Space"
    start_app tab
    wait_main tab
    focus "$main_xid"
    until_ok 10 "at the start the focus is on '@SEEN@', not Exit (2)" focus_is 2
    local id
    for id in 201 202 2 201; do
        x key Tab
        until_ok 10 "Tab moved the focus to '@SEEN@', not $id" focus_is "$id"
    done
    echo "ok: Tab moves the focus from Exit through 201, 202 and round to 2, 201"
    save_dialog_from_key Return pci-1.txt
    until_ok 10 "after the Save dialog the focus is on '@SEEN@', not Dump-> (201)" focus_is 201
    x key Tab
    until_ok 10 "Tab moved the focus to '@SEEN@', not PCI Report (202)" focus_is 202
    save_dialog_from_key space pci-info.txt
    until_ok 10 "after the Save dialog the focus is on '@SEEN@', not PCI Report (202)" focus_is 202
    for id in 201 2; do
        x key shift+Tab
        until_ok 10 "Shift-Tab moved the focus to '@SEEN@', not $id" focus_is "$id"
    done
    echo "ok: Shift-Tab moves it back"
    x key Return
    wait_exit tab
}
tab_keys

# ---------------------------------------------------------------------------
step "7. the driver stopped"
wine net stop kestrix >/dev/null 2>&1 || fail "net stop kestrix failed"
state=$(wine sc query kestrix 2>/dev/null | tr -d '\r' | awk '/STATE/ {print $4}')
[ "$state" = STOPPED ] || fail "the service is $state after net stop"
main_pid=
start_app no-driver
answer_message says "driver stopped" "$no_device"
wait_exit no-driver

# ---------------------------------------------------------------------------
step "8. the driver on this machine's sysfs"
if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: the host's sysfs shows all 256 bytes only to root"
elif ! compgen -G "/sys/bus/pci/devices/*" >/dev/null; then
    echo "SKIP: this machine has no /sys/bus/pci/devices"
else
    "$native" --names "$names" --report "$work/native/sysfs.txt" 2>"$work/native/sysfs.err" ||
        fail "the native report of this machine failed: $(cat "$work/native/sysfs.err")"
    host_functions=$(blocks "$work/native/sysfs.txt")
    "$repo/scripts/install-driver-wine" "$WINEPREFIX" unix-sysfs "$sys" >"$work/install.log" 2>&1 ||
        fail "the driver did not start on unix-sysfs: $(cat "$work/install.log")"
    start_app sysfs
    wait_main sysfs
    text_is "$main_hwnd" 325 "$host_functions" ||
        fail "Total PCI Devices shows '$seen', the native report has $host_functions"
    save_through_dialog r pci-info.txt "$work/reports/sysfs.txt"
    same_report "$work/reports/sysfs.txt" "$work/native/sysfs.txt"
    echo "ok: the same as lumivar --report FILE on this machine but for the time ($host_functions devices)"
    focus "$main_xid"
    x key Escape
    wait_exit sysfs
fi

echo "wine: all steps passed in $((SECONDS - started)) s"
