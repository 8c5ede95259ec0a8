/* winspect: looks at the windows of a running Wine session from the inside,
 * for the end-to-end test that drives lumivar.exe with xdotool. It only reads
 * and never sends input: every key and click comes from the X server.
 *
 *   winspect top CLASS          visible top-level windows of CLASS, one per
 *                               line: HWND XID CAPTION
 *   winspect text HWND [ID]     the text of HWND, or of its child ID, once
 *                               HWND's thread answers
 *   winspect rect HWND [ID]     screen rectangle of HWND or of its child ID:
 *                               LEFT TOP RIGHT BOTTOM
 *   winspect focus HWND         the id of the control of HWND that has the
 *                               keyboard focus (0: HWND itself)
 *
 * Handles are written and read in hexadecimal (0x...). A newline inside a
 * text is written as the two characters \n, so that one text is one line.
 * Exit status: 0 done, 1 not found or no answer, 2 usage.
 */
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define ANSWER_MS 5000

static HWND parse_hwnd(const char *text) {
    return (HWND)(ULONG_PTR)strtoull(text, NULL, 0);
}

/* The X window under a top-level window, as Wine's X11 driver records it. */
static unsigned long x_window(HWND hwnd) {
    return (unsigned long)(ULONG_PTR)GetPropA(hwnd, "__wine_x11_whole_window");
}

/* WM_GETTEXT rather than GetWindowText: for another process's edit control
 * only the message returns what it holds now. */
static int window_text(HWND hwnd, char *text, int size) {
    DWORD_PTR length = 0;
    text[0] = '\0';
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, (WPARAM)size, (LPARAM)text, SMTO_ABORTIFHUNG,
                             ANSWER_MS, &length))
        return 0;
    text[size - 1] = '\0';
    return 1;
}

static void print_line(const char *text) {
    for (const char *c = text; *c != '\0'; ++c) {
        if (*c == '\n')
            fputs("\\n", stdout);
        else if (*c != '\r')
            putchar(*c);
    }
    putchar('\n');
}

static int found;

/* Lists HWND when it is visible and of the class PARAM names. */
static BOOL CALLBACK list_top(HWND hwnd, LPARAM param) {
    char class_name[256], caption[512];
    if (!IsWindowVisible(hwnd) || !GetClassNameA(hwnd, class_name, sizeof class_name) ||
        lstrcmpiA(class_name, (const char *)param) != 0)
        return TRUE;
    window_text(hwnd, caption, sizeof caption);
    printf("0x%llx 0x%lx ", (unsigned long long)(ULONG_PTR)hwnd, x_window(hwnd));
    print_line(caption);
    found = 1;
    return TRUE;
}

static HWND target(int argc, char **argv) {
    HWND hwnd = parse_hwnd(argv[2]);
    if (argc > 3)
        hwnd = GetDlgItem(hwnd, atoi(argv[3]));
    return IsWindow(hwnd) ? hwnd : NULL;
}

static int usage(void) {
    fputs("usage: winspect top CLASS | text HWND [ID] | rect HWND [ID] | focus HWND\n", stderr);
    return 2;
}

int main(int argc, char **argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 3)
        return usage();
    const char *command = argv[1];
    if (strcmp(command, "top") == 0) {
        EnumWindows(list_top, (LPARAM)argv[2]);
        return found ? 0 : 1;
    }
    if (strcmp(command, "text") == 0) {
        char text[1024];
        HWND hwnd = target(argc, argv);
        if (hwnd == NULL || !window_text(hwnd, text, sizeof text))
            return 1;
        print_line(text);
        return 0;
    }
    if (strcmp(command, "rect") == 0) {
        RECT r;
        HWND hwnd = target(argc, argv);
        if (hwnd == NULL || !GetWindowRect(hwnd, &r))
            return 1;
        printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
        return 0;
    }
    if (strcmp(command, "focus") == 0) {
        GUITHREADINFO info = {0};
        HWND hwnd = target(argc, argv);
        info.cbSize = sizeof info;
        if (hwnd == NULL || !GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, NULL), &info) ||
            (info.hwndFocus != hwnd && !IsChild(hwnd, info.hwndFocus)))
            return 1;
        printf("%d\n", info.hwndFocus == hwnd ? 0 : GetDlgCtrlID(info.hwndFocus));
        return 0;
    }
    return usage();
}
