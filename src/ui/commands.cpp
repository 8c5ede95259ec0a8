#include "ui/commands.h"

#include "base/texts.h"
#include "report/report.h"
#include "ui/file_chooser.h"

namespace {

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

// The local time as the report's time line shows it.
ReportTime localReportTime() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wHour, t.wMinute, t.wSecond, t.wMonth, t.wDay, t.wYear};
}

} // namespace

int writeReport(HWND owner, uint16_t index) {
    char directory[CHOOSER_PATH_SIZE];
    currentDirectory(directory);
    char path[CHOOSER_PATH_SIZE];
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
        char text[CHOOSER_PATH_SIZE + 32];
        snprintf(text, sizeof text, MESSAGE_CANNOT_WRITE, chosen);
        showMessage(owner, text);
    }
    return 1;
}
