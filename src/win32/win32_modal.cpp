// MessageBoxA and the common Open and Save dialogs, as modal boxes in the
// terminal. Without a terminal a message goes to standard error and a file
// dialog fails, as a dialog that cannot be shown does.
#include "term/modal_box.h"
#include "win32/win32_layer.h"

#include <cstdio>
#include <cstring>
#include <string>

using namespace winlayer;

namespace {

constexpr DWORD SUPPORTED_FILE_FLAGS = OFN_READONLY | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY |
                                       OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;

// The description of the filter in use: the pair at nFilterIndex (from 1),
// or the first when it is 0 and there is no custom filter.
std::string filterDescription(const OPENFILENAMEA &request) {
    const char *pair = request.lpstrFilter;
    if (pair == nullptr)
        return "";
    for (DWORD i = 1; i < request.nFilterIndex && *pair != '\0'; ++i) {
        pair += strlen(pair) + 1; // description
        pair += strlen(pair) + 1; // pattern
    }
    return pair;
}

// lpstrFile, nFileOffset and nFileExtension, as the dialogs fill them.
void returnPath(OPENFILENAMEA &request, const std::string &path) {
    memcpy(request.lpstrFile, path.c_str(), path.size() + 1);
    const size_t slash = path.rfind('/');
    const size_t name = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    request.nFileOffset = WORD(name);
    request.nFileExtension = WORD(dot != std::string::npos && dot > name ? dot + 1 : path.size());
}

BOOL fileDialog(LPOPENFILENAMEA request, bool save) {
    if (request == nullptr || (request->lStructSize != OPENFILENAME_SIZE_VERSION_400A &&
                               request->lStructSize != sizeof(OPENFILENAMEA)))
        return FALSE;
    if ((request->Flags & ~SUPPORTED_FILE_FLAGS) != 0)
        layerFailure("%s flags 0x%X are not implemented",
                     save ? "GetSaveFileNameA" : "GetOpenFileNameA", unsigned(request->Flags));
    if (request->lpstrFile == nullptr || request->nMaxFile == 0)
        return FALSE;
    if (layer().display == nullptr || layer().inputClosed)
        return FALSE;
    const std::string type = filterDescription(*request);
    const std::string typeLine = (save ? "Save as type: " : "Files of type: ") + type;
    PathRequest ask{};
    ask.caption = request->lpstrTitle != nullptr ? request->lpstrTitle : save ? "Save As" : "Open";
    ask.acceptButton = save ? "&Save" : "&Open";
    ask.typeLine = typeLine.c_str();
    ask.maxLength = request->nMaxFile - 1;
    ask.confirmOverwrite = save && (request->Flags & OFN_OVERWRITEPROMPT) != 0;
    if (!save)
        ask.note = layer().openPromptNote.c_str();
    // Used as given: on this system a backslash is part of a name.
    std::string path = request->lpstrFile;
    ModalActivation modal;
    if (!askPath(runModal, ask, path))
        return FALSE;
    returnPath(*request, path);
    return TRUE;
}

} // namespace

int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    if (type != MB_OK)
        layerFailure("MessageBoxA type 0x%X is not implemented", type);
    const char *title = caption != nullptr ? caption : "Error";
    ModalActivation modal;
    if (layer().display == nullptr || layer().inputClosed) {
        fprintf(stderr, "%s: %s\n", title, text != nullptr ? text : "");
        return IDOK;
    }
    static const char *const OK[] = {"OK"};
    askMessage(runModal, title, text != nullptr ? text : "", OK, 1, 0);
    return IDOK;
}

BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA request) {
    return fileDialog(request, false);
}

BOOL WINAPI GetSaveFileNameA(LPOPENFILENAMEA request) {
    return fileDialog(request, true);
}
