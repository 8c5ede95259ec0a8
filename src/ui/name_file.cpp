#include "ui/name_file.h"

#include "base/text_file.h"
#include "report/report.h"
#include "ui/file_chooser.h"

namespace {

const char NAME_DATABASE_FILE[] = "pcidevs.txt";

char nameDatabasePath[CHOOSER_PATH_SIZE] = ""; // empty: pcidevs.txt in the current directory

} // namespace

void setNameDatabasePath(const char *path) {
    snprintf(nameDatabasePath, sizeof nameDatabasePath, "%s", path != nullptr ? path : "");
}

int loadNameDatabase(HWND owner) {
    char directory[CHOOSER_PATH_SIZE];
    currentDirectory(directory);
    char path[CHOOSER_PATH_SIZE];
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
