#include "ui/app_state.h"

#include "base/texts.h"

AppState appState;
ConfigChannel appChannel;
DeviceTable appTable;
MessageBoxHook messageBoxHook = nullptr;

void showMessage(HWND owner, const char *text) {
    if (messageBoxHook != nullptr) {
        messageBoxHook(owner, text);
        return;
    }
    MessageBoxA(owner, text, APP_TITLE, MB_OK);
}
