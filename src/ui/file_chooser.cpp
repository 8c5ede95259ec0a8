#include "ui/file_chooser.h"

#include "base/text_file.h"
#include "base/texts.h"

#include <cstring>

namespace {

const char FILTER[] = "Text File (*.txt,*.doc)\0*.txt;*.doc\0All Files (*.*)\0*.*\0";

BOOL runCommonDialog(OPENFILENAMEA *request, bool save) {
    return save ? GetSaveFileNameA(request) : GetOpenFileNameA(request);
}

// Bounded copy onto the end of path.
void append(char *path, const char *text) {
    const size_t used = strlen(path);
    snprintf(path + used, CHOOSER_PATH_SIZE - used, "%s", text);
}

} // namespace

FileDialogRunner fileDialogRunner = runCommonDialog;

void currentDirectory(char (&path)[CHOOSER_PATH_SIZE]) {
    const DWORD length = GetCurrentDirectoryA(CHOOSER_PATH_SIZE, path);
    if (length == 0 || length >= CHOOSER_PATH_SIZE)
        path[0] = '\0';
}

void fillFileRequest(OPENFILENAMEA &request, HWND owner, char *path, bool save) {
    memset(&request, 0, sizeof request);
    // The original, version-400 size: without the fields later systems added.
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.hwndOwner = owner;
    request.lpstrFilter = FILTER;
    request.nFilterIndex = 0;
    request.lpstrFile = path;
    request.nMaxFile = CHOOSER_PATH_SIZE;
    request.lpstrInitialDir = path;
    request.lpstrTitle = APP_TITLE;
    request.Flags = save ? OFN_OVERWRITEPROMPT : OFN_READONLY;
}

FILE *FileChooser(HWND owner, const char *mode, const char *initialPath, const char *name,
                  char *chosenPath) {
    if (owner == nullptr)
        return nullptr;
    char path[CHOOSER_PATH_SIZE] = "";
    if (initialPath != nullptr)
        snprintf(path, sizeof path, "%s", initialPath);
    else
        currentDirectory(path);
    if (name != nullptr)
        append(path, name);
    const bool save = mode[0] != 'r' && mode[0] != 'R';
    OPENFILENAMEA request;
    fillFileRequest(request, owner, path, save);
    if (!fileDialogRunner(&request, save))
        return nullptr;
    if (chosenPath != nullptr)
        memcpy(chosenPath, path, CHOOSER_PATH_SIZE);
    FILE *stream = openTextFile(path, mode);
    if (stream == nullptr) {
        char text[CHOOSER_PATH_SIZE + 32];
        snprintf(text, sizeof text, MESSAGE_CANNOT_OPEN, path);
        showMessage(owner, text);
    }
    return stream;
}
