# Shared by the end-to-end scripts that drive lumivar.exe under Wine on a
# private Xvfb display with xdotool. Source it after setting
#   repo, out     the repository and the build trees
#   test_name     how FAIL lines and kept failure files are named
# then call wine_session (a fresh prefix in $work) and start_display.
# start_app runs lumivar.exe in $app_dir (default $work/app).

title="Lumivar V4.04 - PCI Spec V3.0"
no_device='No Device Detected...\nMay be claimed by another application'

step_name="setting up"
fail() {
    echo "FAIL: $test_name: $step_name: $*"
    if [ -n "${DISPLAY:-}" ]; then
        echo "windows on screen:"
        ws top KESTRIX | sed 's/^/  /'
        ws top '#32770' | sed 's/^/  /'
        import -window root "png:$out/$test_name-failure.png" 2>/dev/null &&
            echo "screen at the failure: $out/$test_name-failure.png"
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

# A work directory and a fresh Wine prefix in it, both gone at the end.
wine_session() {
    work=$(mktemp -d "${TMPDIR:-/tmp}/lumivar-e2e-$test_name.XXXXXX")
    app_dir=${app_dir:-$work/app}
    export WINEPREFIX=$work/prefix
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    trap wine_session_end EXIT
    trap 'exit 1' INT TERM
}
xvfb_pid=
wine_session_end() {
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null
    [ -z "$xvfb_pid" ] || wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}

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
        cd "$app_dir" || exit 1
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
        cp "$got" "$out/$test_name-failure-lumivar.exe.txt"
        cp "$wanted" "$out/$test_name-failure-native.txt"
        fail "lumivar.exe wrote another report than the native build (diff: native < > lumivar.exe;" \
            "both kept as $out/$test_name-failure-*.txt)"
    fi
}

# The Vendor ID of each block of a native report, in order.
vendor_ids() { tr -d '\r' <"$1" | awk '/  Vendor ID  / {print $1}'; }
blocks() { grep -c '^PCI Bus #' "$1"; }

# Starts Xvfb on a free display, exports DISPLAY and builds the window
# inspector.
start_display() {
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    exec 3>&-
    until_ok 10 "Xvfb did not say its display" display_known
    DISPLAY=:$(head -n 1 "$work/display")
    export DISPLAY
    echo "Xvfb on $DISPLAY"
    x86_64-w64-mingw32-gcc -std=c11 -O1 -Wall -Wextra -Werror -o "$work/winspect.exe" \
        "$repo/tests/e2e/wine/winspect.c" -luser32 || fail "winspect.c does not build"
}
# Xvfb picks a free display and writes its number once it takes clients.
display_known() {
    [ -s "$work/display" ] && return 0
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb ended: $(cat "$work/xvfb.log")"
    return 1
}

# The prefix draws the dialog as on Windows: fonts-wine's faces and frames
# of Wine's own.
dress_prefix() {
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
}
