#!/usr/bin/env bash
# lumivar.exe end to end: the real program and kestrix.sys in a fresh Wine
# prefix on a private Xvfb display, driven with xdotool as a user would drive
# it (clicks and keys through the X server), one step after the other:
# device 1 on a dump the driver serves, clicks on the arrows, a screenshot
# ($LUMIVAR_OUT/screenshot.png, and $LUMIVAR_SCREENSHOT too when set), the
# reports the Save dialog writes against the native build's, the tab stops
# and the keys, and as root the driver on this machine's sysfs.
#
# Shown elsewhere: that a second opener is refused while the first reads on
# (kestrix_driver_test), lumivar.exe's message without a driver
# (win-release.sh), the close box (the dialog's style, which draws it in
# screen-first-device-80x24.txt, and WM_CLOSE in dialog_test.cpp).
#
# Needs the native build in $LUMIVAR_OUT/native and the MinGW build in
# $LUMIVAR_OUT/win. Exits 0 when every step passes, 1 at the first failure.
# tests/e2e/wine/winspect.c, built here, reads window texts and positions from
# inside Wine; it sends no input.
set -uo pipefail
# A private X server for the clicks and keys, which wine uses too.
[ -n "${LUMIVAR_XVFB:-}" ] || LUMIVAR_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$0" "$@"
# shellcheck source-path=SCRIPTDIR source=lib/common.sh
. "$(dirname "$0")/lib/common.sh"
# shellcheck source-path=SCRIPTDIR source=wine/lib.sh
. "$top/tests/e2e/wine/lib.sh"
names=$native/pcidevs.txt
exe=$out/win/src/lumivar.exe
sys=$out/win/driver/kestrix.sys
dump=$top/samples/via-apollo-pro266-cardbus-multifunction.txt
shot_copy=${LUMIVAR_SCREENSHOT:+$(realpath -m "$LUMIVAR_SCREENSHOT")}

need_tools wine wineserver xdotool import identify x86_64-w64-mingw32-gcc
for file in "$lumivar" "$names" "$exe" "$sys"; do
    [ -f "$file" ] || fail "missing $file (build lumivar and pcidevs natively, lumivar_exe and kestrix with MinGW)"
done
wine_session

# The focused control of the main window is ID (0: the window itself).
focus_is() {
    seen=$(ws focus "$main_hwnd")
    [ "$seen" = "$1" ]
}

# ---------------------------------------------------------------------------
step "the reports of the native build"
mkdir -p "$app_dir" "$work/reports" "$work/native"
cp "$exe" "$names" "$app_dir/" || fail "cannot copy lumivar.exe and pcidevs.txt"
functions=$(grep -c '^[0-9a-f][0-9a-f]:[0-9a-f][0-9a-f]\.[0-7] ' "$dump")
"$lumivar" --from "$dump" --names "$names" --report "$work/native/all.txt" || fail "the native report of $dump failed"
"$lumivar" --from "$dump" --names "$names" --report "$work/native/device-3.txt" --device 3 ||
    fail "the native report of device 3 failed"

# ---------------------------------------------------------------------------
step "1. the driver serves ${dump##*/}; lumivar.exe shows device 1"
"$top/scripts/install-driver-wine" "$WINEPREFIX" "$dump" "$sys" >"$work/install.log" 2>&1 ||
    fail "the driver did not start: $(cat "$work/install.log")"
dress_prefix
start_app main
wait_main main
text_is "$main_hwnd" 325 "$functions" || fail "Total PCI Devices shows '$seen', not $functions"
text_is "$main_hwnd" 324 1 || fail "Current Device shows '$seen', not 1"
echo "ok: $functions devices, device 1 on display"

# ---------------------------------------------------------------------------
step "2. clicks on the up-down control's right arrow step to device 3"
read -r x0 y0 x1 y1 < <(ws rect "$main_hwnd" 200) || fail "no up-down control (id 200)"
for number in 2 3; do
    click_at $((x0 + (x1 - x0) * 3 / 4)) $(((y0 + y1) / 2)) # the right half
    until_ok 10 "after a click on the right arrow the window shows device '@SEEN@', not $number" \
        text_is "$main_hwnd" 324 "$number"
done

# ---------------------------------------------------------------------------
step "3. screenshot of the window"
# Wine does not always make the first window of a run the active one; a click
# on its caption does, so that the picture shows it as a user would see it.
read -r x0 y0 x1 y1 < <(ws rect "$main_hwnd") || fail "no window rectangle"
click_at $(((x0 + x1) / 2)) $((y0 + 8))
until_ok 10 "the window does not answer after the click" answers "$main_hwnd"
import -window "$main_xid" "png:$out/screenshot.png" 2>"$work/import.log" ||
    fail "import failed: $(cat "$work/import.log")"
size=$(identify -format '%w %h' "$out/screenshot.png") || fail "the screenshot is not an image"
[ "$size" = "$((x1 - x0)) $((y1 - y0))" ] || fail "the screenshot is $size, the window $((x1 - x0)) $((y1 - y0))"
[ "$(identify -format '%k' "$out/screenshot.png")" -ge 8 ] || fail "the screenshot has fewer than 8 colours"
[ -z "$shot_copy" ] || cp "$out/screenshot.png" "$shot_copy" || fail "cannot write $shot_copy"
echo "ok: $out/screenshot.png ($size) ${shot_copy:+and $shot_copy}"

# ---------------------------------------------------------------------------
step "4. Dump-> writes the report of device 3, PCI Report that of all; a click on Exit"
save_through_dialog d pci-3.txt "$work/reports/device 3.txt"
same_report "$work/reports/device 3.txt" "$work/native/device-3.txt"
save_through_dialog r pci-info.txt "$work/reports/all.txt"
same_report "$work/reports/all.txt" "$work/native/all.txt"
echo "ok: the same as lumivar --from ${dump##*/} --report FILE [--device 3] but for the time"
text_is "$main_hwnd" 2 "E&xit" || fail "button 2 reads '$seen', not E&xit"
read -r x0 y0 x1 y1 < <(ws rect "$main_hwnd" 2) || fail "no Exit button"
click_at $(((x0 + x1) / 2)) $(((y0 + y1) / 2))
wait_exit main

# ---------------------------------------------------------------------------
step "5. Tab, Shift-Tab, Enter, Space and Esc"
start_app tab
wait_main tab
focus "$main_xid"
# key | the control with the focus then (2 Exit, 201 Dump->, 202 PCI Report;
# the Multi Function box is a tab stop too, but disabled) | the file name the
# Save dialog proposes (the key pressed the focused button), closed with Esc
while IFS='|' read -r key id proposed; do
    if [ -n "$proposed" ]; then
        save_dialog "$key" "$proposed"
        x key Escape
        until_ok 10 "the Save dialog stayed after Esc" gone "$box_hwnd"
    elif [ -n "$key" ]; then
        x key "$key"
    fi
    until_ok 10 "after '$key' the focus is on '@SEEN@', not $id" focus_is "$id"
done <<'TABLE'
|2|
Tab|201|
Tab|202|
Tab|2|
Tab|201|
Return|201|pci-1.txt
Tab|202|
space|202|pci-info.txt
shift+Tab|201|
shift+Tab|2|
TABLE
echo "ok: the focus goes Exit, Dump->, PCI Report and round, back with Shift-Tab; Enter and Space press"
x key Escape
wait_exit tab

# ---------------------------------------------------------------------------
step "6. the driver on this machine's sysfs"
if [ "$(id -u)" -ne 0 ] || ! compgen -G "/sys/bus/pci/devices/*" >/dev/null; then
    echo "SKIP: the host's sysfs shows all 256 bytes only to root, and only where there is one"
else
    "$lumivar" --names "$names" --report "$work/native/sysfs.txt" 2>"$work/native/sysfs.err" ||
        fail "the native report of this machine failed: $(cat "$work/native/sysfs.err")"
    "$top/scripts/install-driver-wine" "$WINEPREFIX" unix-sysfs "$sys" >"$work/install.log" 2>&1 ||
        fail "the driver did not start on unix-sysfs: $(cat "$work/install.log")"
    start_app sysfs
    wait_main sysfs
    save_through_dialog r pci-info.txt "$work/reports/sysfs.txt"
    same_report "$work/reports/sysfs.txt" "$work/native/sysfs.txt"
    echo "ok: the same as lumivar --report FILE on this machine but for the time"
    focus "$main_xid"
    x key Escape
    wait_exit sysfs
fi
finish
