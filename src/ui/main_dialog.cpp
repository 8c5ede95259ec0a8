#include "ui/main_dialog.h"

#include "base/texts.h"
#include "header/config_header.h"
#include "naming/bit_names.h"
#include "report/report.h"
#include "ui/commands.h"
#include "ui/name_file.h"
#include "ui/resource.h"

#include <cstdio>
#include <initializer_list>

namespace {

constexpr int TEXT_SIZE = 256;

// The control that had the focus when the window lost the activation to a
// message box or a file dialog; it gets the focus back when they are done.
HWND focusToRestore = nullptr;

// One number of the header: the control, how to get it, its format (of an
// unsigned long). A field that means something only when set stays empty at
// 0; an address has a length field beside it that shows "?" when it is set.
struct FieldRow {
    int id;
    uint32_t (*value)(const ConfigHeader &h);
    const char *format;
    bool emptyAtZero;
    int lengthId;
};

#define FIELD(expression) [](const ConfigHeader &h) -> uint32_t { return expression; }

const FieldRow FIELDS[] = {
    {IDC_VENDOR_ID, FIELD(h.VendorId), "%04lXh", false, 0},
    {IDC_DEVICE_ID, FIELD(h.DeviceId), "%04lXh", false, 0},
    {IDC_SUBSYSTEM_VENDOR_ID, FIELD(h.SubsystemVendorId), "%04lXh", true, 0},
    {IDC_SUBSYSTEM_ID, FIELD(h.SubsystemId), "%04lXh", true, 0},
    {IDC_BASE_CLASS, FIELD(h.BaseClass), "%02lXh", false, 0},
    {IDC_SUB_CLASS, FIELD(h.SubClass), "%02lXh", false, 0},
    {IDC_PROG_IF, FIELD(h.ProgIf), "%02lXh", false, 0},
    {IDC_REVISION_ID, FIELD(h.RevisionId), "%lu", false, 0},
    {IDC_CACHE_LINE, FIELD(cacheLineBytes(h.CacheLineSize)), "%lu", true, 0},
    {IDC_LATENCY_TIMER, FIELD(h.LatencyTimer), "%lu", true, 0},
    {IDC_MAX_LATENCY, FIELD(latencyNs(h.MaxLat)), "%lu", true, 0},
    {IDC_MIN_GRANT, FIELD(latencyNs(h.MinGnt)), "%lu", true, 0},
    {IDC_CAPABILITIES_PTR, FIELD(h.CapabilitiesPtr), "%02lXh", false, 0},
    {IDC_BIST, FIELD(h.Bist), "%02lXh", false, 0},
    {IDC_ROM_ADDRESS, FIELD(h.ExpansionRom), "%lX", true, IDC_ROM_LENGTH},
    {IDC_CIS_POINTER, FIELD(h.CisPointer), "%lX", true, IDC_CIS_LENGTH},
};

struct NameRow {
    int id;
    const char *(*text)(const DeviceRecord &r);
};

#define NAME(expression) [](const DeviceRecord &r) -> const char * { return expression; }

const NameRow NAMES[] = {
    {IDC_VENDOR_NAME, NAME(r.names[NAME_VENDOR])},
    {IDC_DEVICE_NAME, NAME(r.names[NAME_DEVICE])},
    {IDC_SUBSYSTEM_VENDOR_NAME, NAME(r.names[NAME_SUBSYSTEM_VENDOR])},
    {IDC_SUBSYSTEM_NAME, NAME(r.names[NAME_SUBSYSTEM])},
    {IDC_BASE_CLASS_NAME, NAME(r.className)},
    {IDC_SUB_CLASS_NAME, NAME(r.subClassName)},
    {IDC_PROG_IF_NAME, NAME(r.progIfName)},
};

void setDecimal(HWND window, int id, unsigned value) {
    SetDlgItemInt(window, id, value, FALSE);
}

void showField(HWND window, const FieldRow &row, uint32_t value) {
    char text[TEXT_SIZE] = "";
    if (value != 0 || !row.emptyAtZero)
        snprintf(text, sizeof text, row.format, static_cast<unsigned long>(value));
    SetDlgItemTextA(window, row.id, text);
    if (row.lengthId != 0)
        SetDlgItemTextA(window, row.lengthId, text[0] != '\0' ? "?" : "");
}

// Lists the named set bits of value in a list box.
void fillBitNameList(HWND window, int listId, const char *const *names, uint16_t value) {
    SendDlgItemMessageA(window, listId, LB_RESETCONTENT, 0, 0);
    forEachBitName(names, value, [&](const char *name, unsigned) {
        SendDlgItemMessageA(window, listId, LB_ADDSTRING, 0, LPARAM(name));
    });
}

void check(HWND window, int id, bool on) {
    CheckDlgButton(window, id, on ? BST_CHECKED : BST_UNCHECKED);
}

void showBar(HWND window, int i, uint32_t raw) {
    const BarInfo b = decodeBar(raw);
    const bool memory = b.present && !b.isIo;
    char address[16] = "";
    if (b.present)
        snprintf(address, sizeof address, "%lX", static_cast<unsigned long>(b.address));
    SetDlgItemTextA(window, IDC_BAR_ADDRESS_FIRST + i, address);
    SetDlgItemTextA(window, IDC_BAR_LENGTH_FIRST + i, b.present ? "?" : "");
    check(window, IDC_BAR_FLAG(BAR_COLUMN_IO, i), b.present && b.isIo);
    check(window, IDC_BAR_FLAG(BAR_COLUMN_MEM, i), memory);
    check(window, IDC_BAR_FLAG(BAR_COLUMN_32, i), memory && b.memoryType == MEMORY_32BIT);
    check(window, IDC_BAR_FLAG(BAR_COLUMN_64, i), memory && b.memoryType == MEMORY_64BIT);
    check(window, IDC_BAR_FLAG(BAR_COLUMN_PRE, i), memory && b.prefetchable);
}

void showHexDump(HWND window, const ConfigHeader &h) {
    const uint8_t *b = h.bytes();
    SendDlgItemMessageA(window, IDC_HEX_DUMP, LB_RESETCONTENT, 0, 0);
    for (int offset = 0; offset < CONFIG_SPACE_SIZE; offset += 4) {
        char line[16];
        snprintf(line, sizeof line, "%02X:%02X%02X%02X%02X", offset, b[offset], b[offset + 1],
                 b[offset + 2], b[offset + 3]);
        SendDlgItemMessageA(window, IDC_HEX_DUMP, LB_ADDSTRING, 0, LPARAM(line));
    }
}

void showPosition(HWND window, const DeviceRecord &r) {
    setDecimal(window, IDC_BUS_NUMBER, r.bus);
    setDecimal(window, IDC_DEVICE_NUMBER, slotDevice(r.slot));
    setDecimal(window, IDC_FUNCTION_NUMBER, slotFunction(r.slot));
}

// After a failed read nothing on screen may belong to another function:
// values, lists and boxes go empty, the labels and the counts stay.
void clearDevice(HWND window) {
    for (int id = IDC_VALUE_FIRST; id <= IDC_VALUE_LAST; ++id)
        if (id != IDC_CURRENT_DEVICE && id != IDC_TOTAL_DEVICES)
            SetDlgItemTextA(window, id, "");
    for (int id : {IDC_HEX_DUMP, IDC_STATUS_LIST, IDC_COMMAND_LIST})
        SendDlgItemMessageA(window, id, LB_RESETCONTENT, 0, 0);
    for (int id = IDC_BAR_FLAG_FIRST; id <= IDC_BAR_FLAG_LAST; ++id)
        check(window, id, false);
    check(window, IDC_MULTI_FUNCTION, false);
}

// The revision name goes into the first free subsystem line, if any.
void showRevisionText(HWND window, const DeviceRecord &r, uint8_t revision) {
    if (r.names[NAME_REVISION][0] == '\0')
        return;
    const int id = r.names[NAME_SUBSYSTEM_VENDOR][0] == '\0' ? IDC_SUBSYSTEM_VENDOR_NAME
                   : r.names[NAME_SUBSYSTEM][0] == '\0'      ? IDC_SUBSYSTEM_NAME
                                                             : 0;
    if (id == 0)
        return;
    char text[TEXT_SIZE];
    snprintf(text, sizeof text, "(Rev %d) %s", int(revision), r.names[NAME_REVISION]);
    SetDlgItemTextA(window, id, text);
}

// The line and the pin letter, or both empty when no pin is used.
void showInterrupt(HWND window, const ConfigHeader &h) {
    const char pin[2] = {interruptPinLetter(h.InterruptPin), '\0'};
    if (h.InterruptPin != 0)
        setDecimal(window, IDC_INTERRUPT_LINE, h.InterruptLine);
    else
        SetDlgItemTextA(window, IDC_INTERRUPT_LINE, "");
    SetDlgItemTextA(window, IDC_INTERRUPT_PIN, h.InterruptPin != 0 ? pin : "");
}

void showHeader(HWND window, const DeviceRecord &r, const ConfigHeader &h) {
    showPosition(window, r);
    for (const FieldRow &row : FIELDS)
        showField(window, row, row.value(h));
    for (const NameRow &row : NAMES)
        SetDlgItemTextA(window, row.id, row.text(r));
    showRevisionText(window, r, h.RevisionId);
    fillBitNameList(window, IDC_COMMAND_LIST, CommandBitNames, h.Command);
    fillBitNameList(window, IDC_STATUS_LIST, StatusBitNames, h.Status);
    SendDlgItemMessageA(window, IDC_STATUS_LIST, LB_ADDSTRING, 0, LPARAM(devselName(h.Status)));
    showHexDump(window, h);
    showInterrupt(window, h);
    check(window, IDC_MULTI_FUNCTION, isMultiFunction(h.HeaderType, r.slot));
    for (int i = 0; i < 6; ++i)
        showBar(window, i, h.Bar[i]);
}

// Ends the run: also reached for the WM_DESTROY that follows a WM_CLOSE.
void onClose(HWND window) {
    closeChannel(appChannel);
    EndDialog(window, 0);
    PostQuitMessage(0);
}

// Gives up at start-up: the message, then the same way out as Exit.
void failStartup(HWND window, const char *text) {
    showMessage(window, text);
    PostMessageA(window, WM_DESTROY, 0, 0);
}

// Checks the platform, opens the channel, scans, names, shows device 1.
void onInitDialog(HWND window) {
    if (GetVersion() & 0x80000000u) {
        failStartup(window, MESSAGE_NOT_NT);
        return;
    }
    SetWindowTextA(window, APP_TITLE);
    if (!openChannel(appChannel)) {
        failStartup(window, MESSAGE_NO_DEVICE);
        return;
    }
    resetDeviceTable(appTable);
    scanDevices(appChannel, appTable);
    loadNameDatabase(window);

    UDACCEL accel = {1, 1};
    SendDlgItemMessageA(window, IDC_UPDOWN, UDM_SETACCEL, 1, LPARAM(&accel));
    SendDlgItemMessageA(window, IDC_UPDOWN, UDM_SETBASE, 10, 0);
    SendDlgItemMessageA(window, IDC_UPDOWN, UDM_SETRANGE, 0, MAKELPARAM(appTable.count, 1));
    SendDlgItemMessageA(window, IDC_UPDOWN, UDM_SETPOS, 0, MAKELPARAM(appTable.current, 0));
    setDecimal(window, IDC_TOTAL_DEVICES, appTable.count);
    setDecimal(window, IDC_CURRENT_DEVICE, appTable.current);
    showDevice(window, uint16_t(appTable.current - 1));
}

// An up-down step inside 1..count shows that device; true when taken.
bool onDeltaPos(HWND window, const NMUPDOWN &change) {
    const uint16_t number = uint16_t(change.iPos + change.iDelta);
    if (number < 1 || number > appTable.count)
        return false;
    appTable.current = number;
    setDecimal(window, IDC_CURRENT_DEVICE, number);
    showDevice(window, uint16_t(number - 1));
    return true;
}

// Moves the focus as the dialog manager asks (Tab, Shift-Tab, a label's
// mnemonic): to the control in wParam when lParam says so, else to the next
// or, for a non-zero wParam, the previous tab stop. From the window itself
// that is the first or the last.
void onNextDlgCtl(HWND window, WPARAM wParam, LPARAM lParam) {
    HWND target = reinterpret_cast<HWND>(wParam);
    if (LOWORD(lParam) == 0) {
        const bool back = wParam != 0;
        HWND from = GetFocus();
        if (!IsChild(window, from))
            from = back ? GetNextDlgTabItem(window, nullptr, FALSE) : nullptr;
        target = GetNextDlgTabItem(window, from, back);
    }
    if (target != nullptr)
        SetFocus(target);
}

// Enter presses the push button that has the focus: the dialog manager asks
// which one is the default. 0 when no button has the focus.
LRESULT defaultButton(HWND window) {
    HWND focus = GetFocus();
    const int id = IsChild(window, focus) ? GetDlgCtrlID(focus) : 0;
    if (id == IDC_EXIT || id == IDC_DUMP || id == IDC_PCI_REPORT)
        return MAKELRESULT(id, DC_HASDEFID);
    return 0;
}

// The default procedure gives the window itself the focus on activation;
// the control that had it before a box took the activation gets it back.
LRESULT onActivate(HWND window, WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        focusToRestore = IsChild(window, focus) ? focus : nullptr;
    }
    const LRESULT result = DefWindowProcA(window, WM_ACTIVATE, wParam, lParam);
    if (LOWORD(wParam) != WA_INACTIVE && IsChild(window, focusToRestore))
        SetFocus(focusToRestore);
    return result;
}

void onCommand(HWND window, WPARAM command) {
    switch (command) {
    case IDC_EXIT: PostMessageA(window, WM_DESTROY, 0, 0); break;
    case IDC_DUMP: writeReport(window, uint16_t(appTable.current - 1)); break;
    case IDC_PCI_REPORT: writeReport(window, appTable.count); break;
    default: break;
    }
}

} // namespace

int showDevice(HWND window, uint16_t index) {
    if (index >= appTable.count)
        return 0;
    const DeviceRecord &r = appTable.records[index];
    ConfigHeader header;
    if (!readConfig(appChannel, r.bus, r.slot, &header)) {
        char text[128];
        formatReadFailure(r, text, sizeof text);
        showMessage(window, text);
        clearDevice(window);
        showPosition(window, r);
        return 0;
    }
    showHeader(window, r, header);
    return 1;
}

LRESULT CALLBACK mainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(window);
        DefWindowProcA(window, message, wParam, lParam);
        return TRUE; // the dialog manager gives the first tab stop, Exit, the focus
    case WM_ACTIVATE: return onActivate(window, wParam, lParam);
    case WM_NEXTDLGCTL: onNextDlgCtl(window, wParam, lParam); break;
    case DM_GETDEFID:
        if (const LRESULT id = defaultButton(window))
            return id;
        break;
    case WM_NOTIFY: {
        const auto *header = reinterpret_cast<const NMHDR *>(lParam);
        if (header->code == UINT(UDN_DELTAPOS) &&
            onDeltaPos(window, *reinterpret_cast<const NMUPDOWN *>(lParam)))
            return 0;
        break;
    }
    case WM_COMMAND: onCommand(window, wParam); break;
    case WM_CLOSE:
    case WM_DESTROY: onClose(window); break;
    default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND createMainWindow(HINSTANCE instance) {
    InitCommonControls();
    static ATOM registered = 0;
    if (registered == 0) {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = mainDialogProc;
        wc.cbWndExtra = DLGWINDOWEXTRA;
        wc.hInstance = instance;
        wc.hIcon = LoadIconA(instance, IDI_MORVANEX_ICON);
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = "KESTRIX";
        wc.hIconSm = LoadIconA(instance, IDI_MORVANEX_ICON);
        registered = RegisterClassExA(&wc);
        if (registered == 0)
            return nullptr;
    }
    return CreateDialogParamA(instance, IDD_KESTRIX, nullptr, mainDialogProc, 0);
}

int runApplication(HINSTANCE instance, int showCommand) {
    appState.instance = instance;
    HWND dialog = createMainWindow(instance);
    // Without a window nothing could ever post the quit message.
    if (dialog == nullptr)
        return 0;
    appState.dialog = dialog;
    ShowWindow(dialog, showCommand);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return int(msg.wParam);
}
