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
#   6. Esc, the Exit button and the close box each end a run with exit code 0
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
title="Lumivar V4.04 - PCI Spec V3.0"
no_device='No Device Detected...\nMay be claimed by another application'
shot_copy=
if [ -n "${LUMIVAR_SCREENSHOT:-}" ]; then
    case $LUMIVAR_SCREENSHOT in
        /*) shot_copy=$LUMIVAR_SCREENSHOT ;;
        *) shot_copy=$PWD/$LUMIVAR_SCREENSHOT ;;
    esac
fi

step_name="setting up"
fail() {
    echo "FAIL: wine: $step_name: $*"
    if [ -n "${DISPLAY:-}" ]; then
        echo "windows on screen:"
        ws top KESTRIX | sed 's/^/  /'
        ws top '#32770' | sed 's/^/  /'
        import -window root "png:$out/wine-failure.png" 2>/dev/null &&
            echo "screen at the failure: $out/wine-failure.png"
    fi
    exit 1
}
step() {
    step_name=$*
    echo "--- $step_name"
}

for tool in wine wineserver Xvfb xdotool import identify x86_64-w64-mingw32-gcc; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps)"
done
for file in "$native" "$names" "$exe" "$sys"; do
    [ -f "$file" ] || fail "missing $file (build lumivar and pcidevs natively, lumivar_exe and kestrix with MinGW)"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/lumivar-e2e-wine.XXXXXX")
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
xvfb_pid=
cleanup() {
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null
    [ -z "$xvfb_pid" ] || wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# A host path as Wine sees it through drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# until SECONDS WHAT COMMAND...: runs COMMAND until it succeeds, or fails the
# step with WHAT once SECONDS have passed; @SEEN@ in WHAT becomes what the last
# check saw (text_is keeps it in $seen).
seen=
until_ok() {
    local limit=$1 what=$2
    shift 2
    local end=$((SECONDS + limit))
    until "$@"; do
        [ "$SECONDS" -lt "$end" ] || fail "${what//@SEEN@/$seen}"
        sleep 0.2
    done
}

# The window inspector; its output without CRs, its exit status kept.
ws() { wine "$work/winspect.exe" "$@" 2>/dev/null | tr -d '\r'; }

# X input, never allowed to hang the run.
x() { timeout 10 xdotool "$@" >/dev/null 2>&1 || fail "xdotool $* failed"; }
click_at() { x mousemove "$1" "$2" click 1; }
focus() { x windowfocus --sync "$1"; }

# --- runs of lumivar.exe, each in the background with its exit code kept
start_app() {
    local name=$1
    rm -f "$work/$name.rc"
    (
        cd "$work/app" || exit 1
        wine lumivar.exe >"$work/$name.log" 2>&1
        echo $? >"$work/$name.rc"
    ) &
}
ended() { [ -f "$work/$1.rc" ]; }
exit_code() { cat "$work/$1.rc"; }
wait_exit() {
    local name=$1
    until_ok 20 "lumivar.exe ($name) did not end" ended "$name"
    [ "$(exit_code "$name")" = 0 ] || fail "lumivar.exe ($name) exited with $(exit_code "$name"), not 0"
    echo "ok: the run ended with exit code 0"
}

# Sets main_hwnd, main_xid, main_pid from the visible KESTRIX window, if any.
find_main() {
    local line caption
    line=$(ws top KESTRIX | head -n 1)
    [ -n "$line" ] || return 1
    read -r main_hwnd main_xid main_pid _ caption <<<"$line"
    main_caption=$caption
}
main_window_of() {
    ended "$1" && fail "lumivar.exe ($1) ended with code $(exit_code "$1") before its window showed"
    find_main
}
wait_main() {
    until_ok 30 "no window of class KESTRIX appeared" main_window_of "$1"
    [ "$main_caption" = "$title" ] || fail "caption is '$main_caption', not '$title'"
    [ "$main_xid" != 0x0 ] || fail "the window has no X window"
}

# Sets box_hwnd, box_xid from the first visible message or file dialog that
# FILTER (a command given the line "HWND XID PID TID CAPTION") accepts.
find_dialog() {
    local filter=$1 line
    while read -r line; do
        [ -n "$line" ] || continue
        if "$filter" "$line"; then
            read -r box_hwnd box_xid _ <<<"$line"
            return 0
        fi
    done < <(ws top '#32770')
    return 1
}
# text_is HWND ID|"" TEXT: the control ID of HWND (or HWND itself) shows TEXT.
text_is() {
    seen=$(ws text "$1" ${2:+"$2"})
    [ "$seen" = "$3" ]
}
gone() { ! ws visible "$1"; }
statics_of() { ws statics "$1"; }

# A message box from another process than the main window's, with TEXT.
other_process_says() {
    local hwnd pid
    read -r hwnd _ pid _ <<<"$1"
    [ "$pid" != "${main_pid:-none}" ] && [ "$(statics_of "$hwnd")" = "$wanted_text" ]
}
# A message box with TEXT, from any process.
says() { [ "$(statics_of "${1%% *}")" = "$wanted_text" ]; }
# A dialog owned by the main window.
owned_by_main() { ws owned "$main_hwnd" '#32770' | grep -qF "${1%% *} "; }

# Waits for the message box that says TEXT (FILTER picks it), checks its
# caption, and presses Enter in it.
answer_message() {
    local filter=$1 what=$2
    wanted_text=$3
    until_ok 30 "no message box \"$wanted_text\" ($what)" find_dialog "$filter"
    text_is "$box_hwnd" "" "$title" || fail "the message box's caption is '$seen'"
    echo "ok: message box \"$wanted_text\" with caption \"$title\""
    focus "$box_xid"
    x key Return
    until_ok 10 "the message box stayed after Enter" gone "$box_hwnd"
}

# The id of the file name box in the Save dialog (cmb13).
FILE_NAME_BOX=1148

# save_through_dialog KEY PROPOSED HOSTPATH: presses Alt+KEY in the main
# window, checks the file name the Save dialog proposes, types HOSTPATH as a
# Windows path and confirms with Enter; returns once the file is written.
save_through_dialog() {
    local key=$1 proposed=$2 target=$3 typed
    typed=$(windows_path "$target")
    focus "$main_xid"
    x key "alt+$key"
    until_ok 20 "Alt+$key opened no Save dialog" find_dialog owned_by_main
    local dialog=$box_hwnd dialog_xid=$box_xid
    text_is "$dialog" "" "$title" || fail "the Save dialog's caption is '$seen'"
    until_ok 10 "the Save dialog proposes '@SEEN@', not '$proposed'" \
        text_is "$dialog" $FILE_NAME_BOX "$proposed"
    echo "ok: Alt+$key opens the Save dialog, which proposes $proposed"
    focus "$dialog_xid"
    x key End shift+Home
    x type --delay 15 "$typed"
    until_ok 10 "the file name box holds '@SEEN@' after typing '$typed'" \
        text_is "$dialog" $FILE_NAME_BOX "$typed"
    x key Return
    until_ok 20 "the Save dialog stayed after Enter" gone "$dialog"
    # The report is written on the window's thread: once it answers a
    # message again, the file is complete.
    until_ok 20 "the window does not answer after saving" ws idle "$main_hwnd"
    if find_dialog owned_by_main; then
        fail "a message after saving: $(statics_of "$box_hwnd")"
    fi
    [ -s "$target" ] || fail "nothing written to $typed"
}

# same_report GOT WANTED: CR LF text, the same bytes but for line 3.
same_report() {
    local got=$1 wanted=$2
    [ "$(grep -c $'\r$' "$got")" = "$(wc -l <"$got")" ] || fail "$got: not every line ends in CR LF"
    sed -n 3p "$got" | grep -Eq $'^Local Report Generated [0-2][0-9]:[0-5][0-9]:[0-5][0-9] on [0-9]+/[0-9]+/[0-9]{4}\r$' ||
        fail "$got: line 3 is not a time line: $(sed -n 3p "$got")"
    if ! cmp -s <(sed 3d "$got") <(sed 3d "$wanted"); then
        diff <(sed 3d "$wanted" | tr -d '\r') <(sed 3d "$got" | tr -d '\r') | head -n 20
        cp "$got" "$out/wine-failure-lumivar.exe.txt"
        cp "$wanted" "$out/wine-failure-native.txt"
        fail "lumivar.exe wrote another report than the native build (diff: native < > lumivar.exe;" \
            "both kept as $out/wine-failure-*.txt)"
    fi
}

# The Vendor ID of each block of a native report, in order.
vendor_ids() { tr -d '\r' <"$1" | awk '/  Vendor ID  / {print $1}'; }
blocks() { grep -c '^PCI Bus #' "$1"; }

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
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
# Xvfb picks a free display and writes its number once it takes clients.
display_known() {
    [ -s "$work/display" ] && return 0
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb ended: $(cat "$work/xvfb.log")"
    return 1
}
until_ok 10 "Xvfb did not say its display" display_known
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY
echo "Xvfb on $DISPLAY"
x86_64-w64-mingw32-gcc -std=c11 -O1 -Wall -Wextra -Werror -o "$work/winspect.exe" \
    "$repo/tests/e2e/wine/winspect.c" -luser32 || fail "winspect.c does not build"

mkdir -p "$work/app" "$work/reports" "$work/native"
cp "$exe" "$names" "$work/app/" || fail "cannot copy lumivar.exe and pcidevs.txt"
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
# Debian's Wine does not look in fonts-wine's folder by itself: without its
# faces the dialog is set in a stand-in for MS Sans Serif and the caption
# buttons show letters instead of Marlett's symbols.
if compgen -G "/usr/share/wine/fonts/*.ttf" >/dev/null; then
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" || fail "cannot copy fonts-wine's fonts"
else
    echo "note: fonts-wine is not installed; the dialog is drawn with stand-in fonts"
fi
# Wine draws the frames itself (there is no window manager): a close box.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 ||
    fail "cannot set the X11 driver's Managed value"
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
