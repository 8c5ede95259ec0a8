#include "ui/commands.h"

#include "base/text_file.h"
#include "naming/name_database.h"
#include "report/report.h"
#include "ui/file_chooser.h"

#include <cstring>

namespace {

constexpr int PATH_SIZE = 256;

const char NAME_DATABASE_FILE[] = "pcidevs.txt";

char nameDatabasePath[PATH_SIZE] = ""; // empty: pcidevs.txt in the current directory

// The current directory, or "" when it does not fit (never a cut path).
void currentDirectory(char (&path)[PATH_SIZE]) {
    const DWORD length = GetCurrentDirectoryA(PATH_SIZE, path);
    if (length == 0 || length >= PATH_SIZE)
        path[0] = '\0';
}

// Tells the owner about each function that cannot be read.
class MessageBoxFailures : public ReadFailureHandler {
  public:
    explicit MessageBoxFailures(HWND owner) : owner_(owner) {}
    void readFailed(const DeviceRecord &record) override {
        char text[128];
        formatReadFailure(record, text, sizeof text);
        showMessage(owner_, text);
    }

  private:
    HWND owner_;
};

} // namespace

ReportTime localReportTime() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wHour, t.wMinute, t.wSecond, t.wMonth, t.wDay, t.wYear};
}

void setNameDatabasePath(const char *path) {
    snprintf(nameDatabasePath, sizeof nameDatabasePath, "%s", path != nullptr ? path : "");
}

int loadNameDatabase(HWND owner) {
    char directory[PATH_SIZE];
    currentDirectory(directory);
    char path[PATH_SIZE];
    FILE *stream = nullptr;
    if (nameDatabasePath[0] != '\0') {
        snprintf(path, sizeof path, "%s", nameDatabasePath);
        stream = openTextFile(path, "rt");
    } else if (directory[0] != '\0' &&
               snprintf(path, sizeof path, "%s%c%s", directory, PATH_SEPARATOR,
                        NAME_DATABASE_FILE) < int(sizeof path)) {
        stream = openTextFile(path, "rt");
    } else { // a directory too long for the name goes straight to the chooser
        snprintf(path, sizeof path, "%c%s", PATH_SEPARATOR, NAME_DATABASE_FILE);
    }
    if (stream == nullptr)
        stream = FileChooser(owner, "rt", path, nullptr);
    if (stream == nullptr)
        return 0;
    loadNameDatabaseFrom(stream, appTable);
    fclose(stream);
    return 1;
}

int writeReport(HWND owner, uint16_t index) {
    char directory[PATH_SIZE];
    currentDirectory(directory);
    char path[PATH_SIZE];
    reportFileName(path, sizeof path, directory, index, appTable.count);
    char chosen[CHOOSER_PATH_SIZE];
    FILE *stream = FileChooser(owner, "wt", path, nullptr, chosen);
    if (stream == nullptr)
        return 0;
    MessageBoxFailures failures(owner);
    writeReportText(stream, appChannel, appTable, index, localReportTime(), failures);
    // A full disk or a vanished share must not pass for a written report.
    // Flush first: some C runtimes' fclose does not report a failed flush.
    const bool written = fflush(stream) == 0 && ferror(stream) == 0;
    if (fclose(stream) != 0 || !written) {
        char text[PATH_SIZE + 32];
        snprintf(text, sizeof text, "Unable to write '%s'", chosen);
        showMessage(owner, text);
    }
    return 1;
}

void fillBitNameList(HWND dialog, int listId, const char *const *names, uint16_t value) {
    SendDlgItemMessageA(dialog, listId, LB_RESETCONTENT, 0, 0);
    for (unsigned bit = 0; bit < 16; ++bit)
        if ((value & (1u << bit)) != 0 && names[bit][0] != '\0')
            SendDlgItemMessageA(dialog, listId, LB_ADDSTRING, 0, LPARAM(names[bit]));
}
