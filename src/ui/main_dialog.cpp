#include "ui/main_dialog.h"

#include "header/config_header.h"
#include "naming/bit_names.h"
#include "report/report.h"
#include "ui/commands.h"
#include "ui/resource.h"

#include <cstdarg>
#include <cstdio>
#include <initializer_list>

namespace {

constexpr int TEXT_SIZE = 256;

// The control that had the focus when the window lost the activation to a
// message box or a file dialog; it gets the focus back when they are done.
HWND focusToRestore = nullptr;

void setText(HWND window, int id, const char *format, ...) __attribute__((format(printf, 3, 4)));

void setText(HWND window, int id, const char *format, ...) {
    char text[TEXT_SIZE];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    SetDlgItemTextA(window, id, text);
}

void setDecimal(HWND window, int id, unsigned value) {
    SetDlgItemInt(window, id, value, FALSE);
}

// Fields that mean something only when set stay empty at 0.
void setDecimalOrEmpty(HWND window, int id, unsigned value) {
    if (value != 0)
        setDecimal(window, id, value);
    else
        SetDlgItemTextA(window, id, "");
}

void setHexWordOrEmpty(HWND window, int id, uint16_t value) {
    if (value != 0)
        setText(window, id, "%04Xh", value);
    else
        SetDlgItemTextA(window, id, "");
}

// A raw dword in "%lX" with its "?" length beside it, or both empty at 0.
void setAddressAndLength(HWND window, int addressId, int lengthId, uint32_t value) {
    if (value != 0) {
        setText(window, addressId, "%lX", static_cast<unsigned long>(value));
        SetDlgItemTextA(window, lengthId, "?");
    } else {
        SetDlgItemTextA(window, addressId, "");
        SetDlgItemTextA(window, lengthId, "");
    }
}

void check(HWND window, int id, bool on) {
    CheckDlgButton(window, id, on ? BST_CHECKED : BST_UNCHECKED);
}

void showBar(HWND window, int i, uint32_t raw) {
    const BarInfo b = decodeBar(raw);
    const bool memory = b.present && !b.isIo;
    if (b.present) {
        setText(window, IDC_BAR_ADDRESS_FIRST + i, "%lX", static_cast<unsigned long>(b.address));
        SetDlgItemTextA(window, IDC_BAR_LENGTH_FIRST + i, "?");
    } else {
        SetDlgItemTextA(window, IDC_BAR_ADDRESS_FIRST + i, "");
        SetDlgItemTextA(window, IDC_BAR_LENGTH_FIRST + i, "");
    }
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
    for (int id = IDC_BAR_ADDRESS_FIRST; id <= IDC_CAPABILITIES_PTR; ++id)
        if (id != IDC_CURRENT_DEVICE && id != IDC_TOTAL_DEVICES)
            SetDlgItemTextA(window, id, "");
    for (int id : {IDC_HEX_DUMP, IDC_STATUS_LIST, IDC_COMMAND_LIST})
        SendDlgItemMessageA(window, id, LB_RESETCONTENT, 0, 0);
    for (int id = IDC_BAR_FLAG_FIRST; id < IDC_BAR_FLAG_FIRST + 30; ++id)
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
    if (id != 0)
        setText(window, id, "(Rev %d) %s", int(revision), r.names[NAME_REVISION]);
}

void showHeader(HWND window, const DeviceRecord &r, const ConfigHeader &h) {
    showPosition(window, r);
    setText(window, IDC_VENDOR_ID, "%04Xh", h.VendorId);
    setText(window, IDC_DEVICE_ID, "%04Xh", h.DeviceId);
    setHexWordOrEmpty(window, IDC_SUBSYSTEM_VENDOR_ID, h.SubsystemVendorId);
    setHexWordOrEmpty(window, IDC_SUBSYSTEM_ID, h.SubsystemId);
    SetDlgItemTextA(window, IDC_VENDOR_NAME, r.names[NAME_VENDOR]);
    SetDlgItemTextA(window, IDC_DEVICE_NAME, r.names[NAME_DEVICE]);
    SetDlgItemTextA(window, IDC_SUBSYSTEM_VENDOR_NAME, r.names[NAME_SUBSYSTEM_VENDOR]);
    SetDlgItemTextA(window, IDC_SUBSYSTEM_NAME, r.names[NAME_SUBSYSTEM]);
    showRevisionText(window, r, h.RevisionId);

    fillBitNameList(window, IDC_COMMAND_LIST, CommandBitNames, h.Command);
    fillBitNameList(window, IDC_STATUS_LIST, StatusBitNames, h.Status);
    SendDlgItemMessageA(window, IDC_STATUS_LIST, LB_ADDSTRING, 0, LPARAM(devselName(h.Status)));
    showHexDump(window, h);

    setText(window, IDC_BASE_CLASS, "%02Xh", h.BaseClass);
    setText(window, IDC_SUB_CLASS, "%02Xh", h.SubClass);
    setText(window, IDC_PROG_IF, "%02Xh", h.ProgIf);
    SetDlgItemTextA(window, IDC_BASE_CLASS_NAME, r.className);
    SetDlgItemTextA(window, IDC_SUB_CLASS_NAME, r.subClassName);
    SetDlgItemTextA(window, IDC_PROG_IF_NAME, r.progIfName);
    setDecimal(window, IDC_REVISION_ID, h.RevisionId);

    setDecimalOrEmpty(window, IDC_CACHE_LINE, cacheLineBytes(h.CacheLineSize));
    setDecimalOrEmpty(window, IDC_LATENCY_TIMER, h.LatencyTimer);
    setDecimalOrEmpty(window, IDC_MAX_LATENCY, latencyNs(h.MaxLat));
    setDecimalOrEmpty(window, IDC_MIN_GRANT, latencyNs(h.MinGnt));
    if (h.InterruptPin != 0) {
        setDecimal(window, IDC_INTERRUPT_LINE, h.InterruptLine);
        const char pin[2] = {interruptPinLetter(h.InterruptPin), '\0'};
        SetDlgItemTextA(window, IDC_INTERRUPT_PIN, pin);
    } else {
        SetDlgItemTextA(window, IDC_INTERRUPT_LINE, "");
        SetDlgItemTextA(window, IDC_INTERRUPT_PIN, "");
    }
    setText(window, IDC_CAPABILITIES_PTR, "%02Xh", h.CapabilitiesPtr);
    setText(window, IDC_BIST, "%02Xh", h.Bist);
    check(window, IDC_MULTI_FUNCTION, isMultiFunction(h.HeaderType, r.slot));

    for (int i = 0; i < 6; ++i)
        showBar(window, i, h.Bar[i]);
    setAddressAndLength(window, IDC_ROM_ADDRESS, IDC_ROM_LENGTH, h.ExpansionRom);
    setAddressAndLength(window, IDC_CIS_POINTER, IDC_CIS_LENGTH, h.CisPointer);
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
        failStartup(window, "Requires Windows NT/2000/XP Pro");
        return;
    }
    SetWindowTextA(window, APP_TITLE);
    if (!openChannel(appChannel)) {
        failStartup(window, "No Device Detected...\nMay be claimed by another application");
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
