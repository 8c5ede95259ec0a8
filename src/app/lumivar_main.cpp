// lumivar for Linux: the dialog of the Windows program, drawn in the terminal
// by the Win32 layer, and the headless report and dump commands. Without a
// command and without a terminal to draw on, the report of every function
// goes to standard output.
#include "access/dump_source.h"
#include "access/sysfs_source.h"
#include "base/text_file.h"
#include "base/texts.h"
#include "naming/name_database.h"
#include "report/deep_view.h"
#include "report/dump_writer.h"
#include "report/report.h"
#include "scan/device_table.h"
#include "scan/left_out.h"
#include "term/ncurses_display.h"
#include "ui/main_dialog.h"
#include "ui/name_file.h"
#include "win32/terminal.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int EXIT_DONE = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

const char USAGE[] =
    "usage: lumivar [--from DUMP] [--names FILE]                      the dialog, in the terminal\n"
    "       lumivar [--from DUMP] [--names FILE] --report FILE|- [--device N]\n"
    "       lumivar [--from DUMP] --save-dump FILE|-\n"
    "       lumivar [--from DUMP] [--names FILE] --details|--json [-s SLOT] [-d VENDOR:DEVICE]\n"
    "       lumivar --help | --version\n";

const char HELP[] =
    "Lists the PCI functions of this machine and decodes each one's 256-byte\n"
    "configuration space. It never writes to a device.\n"
    "\n"
    "Without --report, --save-dump, --details or --json it shows the dialog in\n"
    "this terminal; when standard input or output is not a terminal, it writes\n"
    "the report of every function to standard output instead.\n"
    "\n"
    "  --from DUMP       read functions from a dump (lspci -xxx output) instead of\n"
    "                    /sys/bus/pci/devices (which needs root for all 256 bytes)\n"
    "  --names FILE      the name database; default pcidevs.txt here, else beside\n"
    "                    lumivar, else in ../share/lumivar/ from lumivar's folder\n"
    "  --report FILE|-   write the report of every function, or of device N\n"
    "  --device N        with --report: only device number N (1-based, scan order)\n"
    "  --save-dump FILE|-  write every function, all domains and buses, as a dump\n"
    "                    that lspci -F reads\n"
    "  --details         every function of every domain and bus, decoded past the\n"
    "                    header: capabilities, bridge windows, 64-bit BARs, sizes\n"
    "  --json            the same as JSON, one object per function (both to\n"
    "                    standard output, in UTF-8)\n"
    "  -s [[[DOMAIN]:]BUS:][DEV][.[FN]]  with --details or --json: only these\n"
    "                    functions (hex; an empty part or * is any)\n"
    "  -d [VENDOR]:[DEVICE]  with --details or --json: only these identifiers\n"
    "\n"
    "In the dialog F1 lists the keys; Esc, Exit and Ctrl-C end it.\n"
    "\n"
    "Exit status: 0 done (the dialog ended, however), 1 failed, 2 usage.\n";

// The dialog's keys, for its F1 box.
const char KEYS[] = "Left, Right      the previous, the next function\n"
                    "Home, End        the first, the last function\n"
                    "Tab, Shift-Tab   the next, the previous button\n"
                    "Enter, Space     press the button with the focus\n"
                    "Alt+D or d       Dump->: the report of this function\n"
                    "Alt+R or r       PCI Report: the report of every function\n"
                    "Esc, Alt+X or x  Exit\n"
                    "Ctrl-C           Exit, from a prompt too\n"
                    "F1 or ?          these keys\n"
                    "The mouse presses buttons and arrows; the wheel scrolls a list.";

// What the Open prompt is for when the dialog finds no name database.
const char NAMES_PROMPT_NOTE[] =
    "Where is the name database pcidevs.txt (vendor and device names)? It is not here, "
    "beside lumivar or in ../share/lumivar. Esc goes on without names.";

struct Options {
    const char *from = nullptr;
    const char *names = nullptr;
    const char *report = nullptr;
    const char *saveDump = nullptr;
    long device = 0; // 0: every function
    bool details = false;
    bool json = false;
    const char *slot = nullptr; // -s
    const char *ids = nullptr;  // -d
    FunctionFilter filter;
};

bool parseDeviceNumber(const char *text, long &number) {
    char *end = nullptr;
    errno = 0;
    number = strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0';
}

// Returns -1 to go on, or the exit status.
int parseOptions(int argc, char **argv, Options &o) {
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
            printf("%s\n%s", USAGE, HELP);
            return EXIT_DONE;
        }
        if (strcmp(arg, "--version") == 0) {
            printf("%s\n", APP_TITLE);
            return EXIT_DONE;
        }
        if (strcmp(arg, "--details") == 0 || strcmp(arg, "--json") == 0) {
            (arg[2] == 'd' ? o.details : o.json) = true;
            continue;
        }
        const char **target = strcmp(arg, "--from") == 0        ? &o.from
                              : strcmp(arg, "--names") == 0     ? &o.names
                              : strcmp(arg, "--report") == 0    ? &o.report
                              : strcmp(arg, "--save-dump") == 0 ? &o.saveDump
                              : strcmp(arg, "-s") == 0          ? &o.slot
                              : strcmp(arg, "-d") == 0          ? &o.ids
                                                                : nullptr;
        const bool isDevice = strcmp(arg, "--device") == 0;
        if (target == nullptr && !isDevice) {
            fprintf(stderr, "lumivar: unknown argument '%s'\n%s", arg, USAGE);
            return EXIT_USAGE;
        }
        if (i + 1 >= argc) {
            fprintf(stderr, "lumivar: %s needs a value\n%s", arg, USAGE);
            return EXIT_USAGE;
        }
        const char *value = argv[++i];
        if (isDevice) {
            if (!parseDeviceNumber(value, o.device) || o.device < 1) {
                fprintf(stderr, "lumivar: --device takes a device number from 1 up, not '%s'\n",
                        value);
                return EXIT_USAGE;
            }
        } else {
            *target = value;
        }
    }
    if (o.report != nullptr && o.saveDump != nullptr) {
        fprintf(stderr, "lumivar: --report and --save-dump are separate commands\n%s", USAGE);
        return EXIT_USAGE;
    }
    if (o.device != 0 && o.report == nullptr) {
        fprintf(stderr, "lumivar: --device goes with --report\n%s", USAGE);
        return EXIT_USAGE;
    }
    const int commands = (o.report != nullptr) + (o.saveDump != nullptr) + o.details + o.json;
    if (commands > 1 && (o.details || o.json)) {
        fprintf(stderr, "lumivar: --details and --json are commands of their own\n%s", USAGE);
        return EXIT_USAGE;
    }
    if ((o.slot != nullptr || o.ids != nullptr) && !o.details && !o.json) {
        fprintf(stderr, "lumivar: -s and -d go with --details or --json\n%s", USAGE);
        return EXIT_USAGE;
    }
    char message[256];
    if ((o.slot != nullptr && !parseSlotFilter(o.slot, o.filter, message, sizeof message)) ||
        (o.ids != nullptr && !parseIdFilter(o.ids, o.filter, message, sizeof message))) {
        fprintf(stderr, "lumivar: %s\n", message);
        return EXIT_USAGE;
    }
    return -1;
}

// Reports each function that cannot be read and remembers that one failed.
class StderrFailures : public ReadFailureHandler {
  public:
    void readFailed(const DeviceRecord &r) override {
        fprintf(stderr,
                "lumivar: unable to obtain PCI information for bus %d, device %d, "
                "function %d; it is left out\n",
                int(r.bus), int(slotDevice(r.slot)), int(slotFunction(r.slot)));
        failed = true;
    }
    bool failed = false;
};

// An output file, or standard output for "-", in text mode. A terminal gets
// control bytes (from names) as '?': it would act on them; a file keeps them.
FILE *openOutput(const char *path) {
    if (strcmp(path, "-") == 0)
        return wrapTextOutput(stdout, isatty(STDOUT_FILENO) != 0);
    return openTextFile(path, "wt");
}

// Closes an output and tells whether everything reached it.
bool closeOutput(FILE *out, const char *path) {
    bool ok = ferror(out) == 0;
    ok = fclose(out) == 0 && ok;
    if (strcmp(path, "-") == 0)
        ok = fflush(stdout) == 0 && ferror(stdout) == 0 && ok;
    return ok;
}

int cannotWrite(const char *path) {
    fprintf(stderr, "lumivar: cannot write '%s': %s\n",
            strcmp(path, "-") == 0 ? "standard output" : path,
            errno != 0 ? strerror(errno) : "write error");
    return EXIT_FAILED;
}

int cannotOpenNames(const char *path) {
    fprintf(stderr, "lumivar: cannot open name database '%s': %s\n", path, fileErrorText(errno));
    return EXIT_FAILED;
}

// The name database when --names does not give one: pcidevs.txt in the
// current folder, else beside the executable, else in ../share/lumivar/ from
// the executable's folder (where an install puts it, wherever the install
// was moved). Null when there is none.
const char *foundNameDatabase() {
    static char found[PATH_MAX];
    if (access("pcidevs.txt", F_OK) == 0)
        return "pcidevs.txt";
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return nullptr;
    self[length] = '\0';
    char *name = strrchr(self, '/');
    if (name == nullptr)
        return nullptr;
    *name = '\0'; // the folder
    for (const char *beside : {"/pcidevs.txt", "/../share/lumivar/pcidevs.txt"})
        if (snprintf(found, sizeof found, "%s%s", self, beside) < int(sizeof found) &&
            access(found, F_OK) == 0)
            return found;
    return nullptr;
}

// Names from --names, or from the name database found, if any. One that is
// there but cannot be read is a failure.
bool loadNames(const Options &o, DeviceTable &table) {
    const char *path = o.names != nullptr ? o.names : foundNameDatabase();
    if (path == nullptr) {
        fprintf(stderr, "lumivar: no pcidevs.txt here, beside lumivar or in ../share/lumivar, "
                        "so vendors and devices go unnamed (use --names FILE)\n");
        return true;
    }
    FILE *in = openTextFile(path, "rt");
    if (in == nullptr) {
        cannotOpenNames(path);
        return false;
    }
    const NameLoadResult result = loadNameDatabaseFrom(in, table);
    fclose(in);
    if (result.end != TextEnd::END) {
        char text[SOURCE_ERROR_SIZE];
        describeNameLoad(result, path, text, sizeof text);
        fprintf(stderr, "lumivar: %s\n", text);
        return false;
    }
    return true;
}

// One line on stderr about the functions the source holds that the bounded
// table leaves out, if any.
void sayLeftOut(const std::vector<FunctionAddress> &held, const DeviceTable &table) {
    const std::string leftOut = describeLeftOut(held, table);
    if (!leftOut.empty())
        fprintf(stderr, "lumivar: %s\n", leftOut.c_str());
}

ReportTime clockTime() {
    const time_t now = time(nullptr);
    tm t{};
    localtime_r(&now, &t);
    return {t.tm_hour, t.tm_min, t.tm_sec, t.tm_mon + 1, t.tm_mday, t.tm_year + 1900};
}

int runReport(const char *path, long device, ConfigChannel &channel, const DeviceTable &table) {
    if (device > table.count) {
        fprintf(stderr, "lumivar: there is no device %ld: %d functions were found\n", device,
                int(table.count));
        return EXIT_FAILED;
    }
    FILE *out = openOutput(path);
    if (out == nullptr)
        return cannotWrite(path);
    StderrFailures failures;
    const uint16_t index = device > 0 ? uint16_t(device - 1) : table.count;
    errno = 0;
    writeReportText(out, channel, table, index, clockTime(), failures);
    if (!closeOutput(out, path))
        return cannotWrite(path);
    return failures.failed ? EXIT_FAILED : EXIT_DONE;
}

int runSaveDump(const char *path, ConfigChannel &channel) {
    FILE *out = openOutput(path);
    if (out == nullptr)
        return cannotWrite(path);
    std::vector<FunctionAddress> unreadable;
    errno = 0;
    saveDump(out, channel, unreadable);
    if (!closeOutput(out, path))
        return cannotWrite(path);
    for (const FunctionAddress &at : unreadable) {
        char name[16];
        formatFunctionAddress(at, name, sizeof name);
        fprintf(stderr, "lumivar: unable to obtain PCI information for %s; it is left out\n", name);
    }
    return unreadable.empty() ? EXIT_DONE : EXIT_FAILED;
}

// --details and --json: every function the source holds, to standard output.
// The writers keep control characters out themselves, so the output is not
// masked for a terminal, which would break UTF-8.
int runDeepView(const Options &o, ConfigChannel &channel) {
    const char *names = o.names != nullptr ? o.names : foundNameDatabase();
    FILE *in = nullptr;
    if (names == nullptr)
        fprintf(stderr, "lumivar: no pcidevs.txt here, beside lumivar or in ../share/lumivar, "
                        "so vendors and devices go unnamed (use --names FILE)\n");
    else if ((in = openTextFile(names, "rt")) == nullptr)
        return cannotOpenNames(names);
    FILE *out = wrapTextOutput(stdout);
    if (out == nullptr) {
        if (in != nullptr)
            fclose(in);
        return cannotWrite("-");
    }
    std::vector<FunctionAddress> unreadable;
    errno = 0;
    const NameLoadResult load =
        writeDeepView(out, channel, o.filter, in,
                      o.json ? DeepViewFormat::Json : DeepViewFormat::Text, unreadable);
    if (in != nullptr)
        fclose(in);
    if (!closeOutput(out, "-"))
        return cannotWrite("-");
    if (load.end != TextEnd::END) {
        char text[SOURCE_ERROR_SIZE];
        describeNameLoad(load, names, text, sizeof text);
        fprintf(stderr, "lumivar: %s\n", text);
        return EXIT_FAILED;
    }
    for (const FunctionAddress &at : unreadable) {
        char name[16];
        formatFunctionAddress(at, name, sizeof name);
        fprintf(stderr, "lumivar: unable to obtain PCI information for %s; it is left out\n", name);
    }
    return unreadable.empty() ? EXIT_DONE : EXIT_FAILED;
}

// The Windows program's window, run by the same code through the Win32 layer:
// it takes the open channel, scans and loads the names itself, and ends with 0.
// What its table leaves out is said once the terminal is back.
int runDialog(ConfigChannel &channel, const char *names) {
    if (names == nullptr)
        names = foundNameDatabase(); // else the dialog asks for it, as on Windows
    if (names != nullptr) {
        FILE *in = openTextFile(names, "rt");
        if (in == nullptr)
            return cannotOpenNames(names);
        fclose(in);
        setNameDatabasePath(names);
    }
    NcursesDisplay display;
    if (!display.start()) {
        fprintf(stderr, "lumivar: cannot draw on this terminal: TERM=%s is not known\n",
                getenv("TERM") != nullptr ? getenv("TERM") : "");
        return EXIT_FAILED;
    }
    std::vector<FunctionAddress> held;
    listFunctions(channel, held);
    appChannel = channel;
    attachTerminal(&display, NcursesDisplay::restoreTerminal);
    setKeyHelp(KEYS);
    setOpenPromptNote(NAMES_PROMPT_NOTE);
    const int status = runApplication(GetModuleHandleA(nullptr), SW_SHOWDEFAULT);
    detachTerminal();
    display.stop();
    sayLeftOut(held, appTable);
    return status;
}

} // namespace

int main(int argc, char **argv) {
    Options o;
    const int parsed = parseOptions(argc, argv, o);
    if (parsed >= 0)
        return parsed;

    SysfsSource sysfs;
    DumpSource dump(o.from != nullptr ? o.from : "");
    ConfigChannel channel;
    channel.source = o.from != nullptr ? static_cast<ConfigSource *>(&dump) : &sysfs;
    // The dialog needs a terminal for its keys and its screen, one that can
    // place the cursor.
    const bool deepView = o.details || o.json;
    const bool dialog = o.report == nullptr && o.saveDump == nullptr && !deepView;
    char noTerminal[160] = "";
    if (isatty(STDOUT_FILENO) == 0)
        snprintf(noTerminal, sizeof noTerminal, "standard output is not a terminal");
    else if (isatty(STDIN_FILENO) == 0)
        snprintf(noTerminal, sizeof noTerminal, "standard input is not a terminal");
    else if (dialog && !NcursesDisplay::canAddressCursor())
        snprintf(noTerminal, sizeof noTerminal, "this terminal (TERM=%s) cannot place the cursor",
                 getenv("TERM") != nullptr ? getenv("TERM") : "");
    const bool window = dialog && noTerminal[0] == '\0';
    // The source is opened once, here, also for the window, which takes it
    // open: a pipe can be read only once, and a cause (a malformed dump, sysfs
    // without root) is said on stderr before any window.
    if (!openChannel(channel)) {
        fprintf(stderr, "lumivar: %s\n", channel.error);
        return EXIT_FAILED;
    }
    if (window)
        return runDialog(channel, o.names);
    if (deepView) {
        for (const std::string &note : dump.extendedNotes())
            fprintf(stderr, "lumivar: %s\n", note.c_str());
        const int status = runDeepView(o, channel);
        closeChannel(channel);
        return status;
    }
    if (dialog)
        fprintf(stderr,
                "lumivar: %s, so the report of every function goes to standard output instead "
                "of the dialog\n",
                noTerminal);

    int status = EXIT_DONE;
    if (o.saveDump != nullptr) {
        status = runSaveDump(o.saveDump, channel);
    } else {
        static DeviceTable table;
        resetDeviceTable(table);
        scanDevices(channel, table);
        std::vector<FunctionAddress> held;
        listFunctions(channel, held);
        sayLeftOut(held, table);
        if (!loadNames(o, table))
            status = EXIT_FAILED;
        else
            status = runReport(o.report != nullptr ? o.report : "-", o.device, channel, table);
    }
    closeChannel(channel);
    return status;
}
