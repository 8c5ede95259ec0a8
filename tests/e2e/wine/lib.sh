# Shared by the end-to-end scripts that drive lumivar.exe under Wine with
# xdotool, each on a private Xvfb display it starts itself with
#   [ -n "${LUMIVAR_XVFB:-}" ] || LUMIVAR_XVFB=1 exec xvfb-run -a ... "$0"
# Source it after lib/common.sh, then call wine_session (a fresh prefix in
# $work and the window inspector). Here a failure ends the script: each step
# stands on the ones before it.
# start_app runs lumivar.exe in $app_dir (default $work/app).

title="Lumivar V4.04 - PCI Spec V3.0"
no_device='No Device Detected...\nMay be claimed by another application'

step_name="setting up"
fail() {
    echo "FAIL: $check_name: $step_name: $*"
    if [ -n "${DISPLAY:-}" ]; then
        echo "windows on screen:"
        ws top KESTRIX | sed 's/^/  /'
        ws top '#32770' | sed 's/^/  /'
        import -window root "png:$out/$check_name-failure.png" 2>/dev/null &&
            echo "screen at the failure: $out/$check_name-failure.png"
    fi
    exit 1
}
step() {
    step_name=$*
    echo "--- $step_name"
}

# Fails unless every TOOL is installed.
need_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps)"
    done
}

# A fresh Wine prefix in $work, its server ended at the end; the window
# inspector built.
wine_session() {
    app_dir=${app_dir:-$work/app}
    export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    at_end 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null'
    trap 'exit 1' INT TERM
    x86_64-w64-mingw32-gcc -std=c11 -O1 -Wall -Wextra -Werror -o "$work/winspect.exe" \
        "$top/tests/e2e/wine/winspect.c" -luser32 || fail "winspect.c does not build"
}

# until_ok SECONDS WHAT COMMAND...: runs COMMAND until it succeeds, or fails
# the step with WHAT once SECONDS have passed; @SEEN@ in WHAT becomes what the
# last check saw (text_is keeps it in $seen).
seen=
until_ok() {
    local end=$((SECONDS + $1)) what=$2
    shift 2
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
    rm -f "$work/$1.rc"
    (cd "$app_dir" && wine lumivar.exe >"$work/$1.log" 2>&1; echo $? >"$work/$1.rc") &
}
ended() { [ -f "$work/$1.rc" ]; }
wait_exit() {
    until_ok 20 "lumivar.exe ($1) did not end" ended "$1"
    [ "$(cat "$work/$1.rc")" = 0 ] || fail "lumivar.exe ($1) exited with $(cat "$work/$1.rc"), not 0"
    echo "ok: the run ended with exit code 0"
}

# Sets main_hwnd, main_xid from the visible KESTRIX window of run NAME.
main_window_of() {
    ended "$1" && fail "lumivar.exe ($1) ended with code $(cat "$work/$1.rc") before its window showed"
    read -r main_hwnd main_xid main_caption < <(ws top KESTRIX)
}
wait_main() {
    until_ok 30 "no window of class KESTRIX appeared" main_window_of "$1"
    [ "$main_caption" = "$title" ] || fail "caption is '$main_caption', not '$title'"
    [ "$main_xid" != 0x0 ] || fail "the window has no X window"
}

# Sets box_hwnd, box_xid from the first visible message or file dialog.
find_dialog() { read -r box_hwnd box_xid _ < <(ws top '#32770'); }
# text_is HWND ID|"" TEXT: the control ID of HWND (or HWND itself) shows TEXT.
text_is() {
    seen=$(ws text "$1" ${2:+"$2"})
    [ "$seen" = "$3" ]
}
# HWND's thread answers; it does not once HWND is destroyed.
answers() { ws text "$1" >/dev/null; }
gone() { ! answers "$1"; }
# The text of a message box, in its control 0xFFFF.
says() { find_dialog && text_is "$box_hwnd" 65535 "$wanted_text"; }

# answer_message TEXT: waits for the message box that says TEXT, checks its
# caption, and presses Enter in it.
answer_message() {
    wanted_text=$1
    until_ok 30 "no message box \"$wanted_text\"" says
    text_is "$box_hwnd" "" "$title" || fail "the message box's caption is '$seen'"
    echo "ok: message box \"$wanted_text\" with caption \"$title\""
    focus "$box_xid"
    x key Return
    until_ok 10 "the message box stayed after Enter" gone "$box_hwnd"
}

# The id of the file name box in the Save dialog (cmb13).
FILE_NAME_BOX=1148

# save_dialog KEY PROPOSED: KEY in the main window opens the Save dialog,
# which proposes the file name PROPOSED.
save_dialog() {
    focus "$main_xid"
    x key "$1"
    until_ok 20 "$1 opened no Save dialog" find_dialog
    text_is "$box_hwnd" "" "$title" || fail "the Save dialog's caption is '$seen'"
    until_ok 10 "$1: the Save dialog proposes '@SEEN@', not '$2'" text_is "$box_hwnd" $FILE_NAME_BOX "$2"
    echo "ok: $1 opens the Save dialog, which proposes $2"
    focus "$box_xid"
}
# save_through_dialog KEY PROPOSED HOSTPATH: as save_dialog, then types
# HOSTPATH as a Windows path and confirms with Enter; returns once the file
# is written.
save_through_dialog() {
    local typed=Z:${3//\//\\} dialog # the host path as Wine sees it
    save_dialog "alt+$1" "$2"
    dialog=$box_hwnd
    x key End shift+Home
    x type --delay 15 "$typed"
    until_ok 10 "the file name box holds '@SEEN@' after typing '$typed'" \
        text_is "$dialog" $FILE_NAME_BOX "$typed"
    x key Return
    until_ok 20 "the Save dialog stayed after Enter" gone "$dialog"
    # The report is written on the window's thread: once it answers a
    # message again, the file is complete.
    until_ok 20 "the window does not answer after saving" answers "$main_hwnd"
    ! find_dialog || fail "a message after saving: $(ws text "$box_hwnd" 65535)"
    [ -s "$3" ] || fail "nothing written to $typed"
}

# The prefix draws the dialog as on Windows: fonts-wine's faces and frames
# of Wine's own.
dress_prefix() {
    # Debian's Wine does not look in fonts-wine's folder by itself: without its
    # faces the dialog is set in a stand-in for MS Sans Serif and the caption
    # buttons show letters instead of Marlett's symbols.
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" ||
        fail "cannot copy fonts-wine's fonts (scripts/install-deps)"
    # Wine draws the frames itself (there is no window manager): the caption
    # and its buttons, as the screenshot shows them.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 ||
        fail "cannot set the X11 driver's Managed value"
}
