// pciids2pcidevs: writes Lumivar's name database from pci.ids.
//
//   pciids2pcidevs [--strict] INPUT OUTPUT
//
// INPUT is pci.ids ("-": standard input); OUTPUT is the pcidevs.txt to write
// ("-": standard output), with CR LF line ends. Lines of INPUT that do not fit
// the format are skipped with a warning "INPUT:LINE: warning: ..." on stderr;
// --strict makes any of them fatal. Exit status: 0 written, 1 failed (nothing
// is left at OUTPUT), 2 usage.
#include "base/text_file.h"
#include "pciids_convert.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char *PROGRAM = "pciids2pcidevs";
constexpr int WARNINGS_SHOWN = 20; // garbage input would flood the terminal otherwise

int usage(FILE *to) {
    fprintf(to,
            "usage: %s [--strict] INPUT OUTPUT\n"
            "Converts pci.ids (INPUT, - for standard input) into the name database\n"
            "pcidevs.txt (OUTPUT, - for standard output).\n"
            "  --strict  fail on any line that has to be skipped\n",
            PROGRAM);
    return to == stdout ? 0 : 2;
}

// The folder part of path, "." when it has none.
std::string folderOf(const char *path) {
    const char *slash = strrchr(path, '/');
    if (slash == nullptr)
        return ".";
    return slash == path ? "/" : std::string(path, size_t(slash - path));
}

// Writes the whole database to a new file in the folder of path: created
// exclusively under an unpredictable name (nothing planted there is written
// through), with the permissions a new file gets. Returns its name, or ""
// with the cause said; nothing is left on failure.
std::string writeTemporary(const char *path, const PciIdsDatabase &database, PcidevsStats &stats) {
    const std::string folder = folderOf(path);
    std::string temporary = folder + "/.pcidevs-XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        fprintf(stderr, "%s: cannot create a temporary file in '%s': %s\n", PROGRAM, folder.c_str(),
                strerror(errno));
        return "";
    }
    const mode_t mask = umask(0);
    umask(mask);
    FILE *file = fchmod(fd, 0666 & ~mask) == 0 ? fdopen(fd, "wb") : nullptr;
    bool ok = false;
    int saved = errno;
    if (file == nullptr) {
        close(fd);
    } else {
        FILE *out = wrapTextOutput(file);
        ok = out != nullptr && writePcidevs(database, out, &stats);
        saved = errno;
        // Both closes flush: either can be the first to find the disk full.
        for (FILE *stream : {out, file}) {
            if (stream != nullptr && fclose(stream) != 0 && ok) {
                ok = false;
                saved = errno;
            }
        }
    }
    if (!ok) {
        fprintf(stderr, "%s: error writing '%s': %s\n", PROGRAM, temporary.c_str(),
                strerror(saved != 0 ? saved : EIO));
        unlink(temporary.c_str());
        return "";
    }
    return temporary;
}

// Writes the database to `path` by way of a temporary file, so that a failed
// run never leaves a partial database that looks finished. Only a regular
// file is replaced: never a link (or what it points to), a device or a folder.
bool writeOutput(const char *path, const PciIdsDatabase &database, PcidevsStats &stats) {
    if (strcmp(path, "-") == 0) {
        FILE *out = wrapTextOutput(stdout);
        if (out == nullptr) {
            fprintf(stderr, "%s: cannot write standard output: %s\n", PROGRAM, strerror(errno));
            return false;
        }
        const bool written = writePcidevs(database, out, &stats);
        const bool closed = fclose(out) == 0;
        if (!written || !closed) {
            fprintf(stderr, "%s: error writing standard output\n", PROGRAM);
            return false;
        }
        return true;
    }
    struct stat status;
    if (lstat(path, &status) == 0) {
        if (!S_ISREG(status.st_mode)) {
            fprintf(stderr, "%s: '%s' is not a regular file; it is left as it is\n", PROGRAM, path);
            return false;
        }
    } else if (errno != ENOENT) {
        fprintf(stderr, "%s: cannot write '%s': %s\n", PROGRAM, path, strerror(errno));
        return false;
    }
    const std::string temporary = writeTemporary(path, database, stats);
    if (temporary.empty())
        return false;
    // rename replaces a name, never what a link there points to.
    if (rename(temporary.c_str(), path) != 0) {
        fprintf(stderr, "%s: cannot rename '%s' to '%s': %s\n", PROGRAM, temporary.c_str(), path,
                strerror(errno));
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    bool strict = false;
    const char *paths[2] = {};
    int pathCount = 0;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0)
            return usage(stdout);
        if (strcmp(arg, "--strict") == 0) {
            strict = true;
        } else if (arg[0] == '-' && arg[1] != '\0') {
            fprintf(stderr, "%s: unknown option '%s'\n", PROGRAM, arg);
            return usage(stderr);
        } else if (pathCount < 2) {
            paths[pathCount++] = arg;
        } else {
            fprintf(stderr, "%s: too many arguments\n", PROGRAM);
            return usage(stderr);
        }
    }
    if (pathCount != 2)
        return usage(stderr);

    const bool fromStdin = strcmp(paths[0], "-") == 0;
    const char *inputName = fromStdin ? "<stdin>" : paths[0];
    FILE *in = fromStdin ? stdin : fopen(paths[0], "rb");
    if (in == nullptr) {
        fprintf(stderr, "%s: cannot open '%s': %s\n", PROGRAM, paths[0], strerror(errno));
        return 1;
    }

    int shown = 0;
    PciIdsReader reader([&](int line, const char *message) {
        if (shown++ < WARNINGS_SHOWN)
            fprintf(stderr, "%s:%d: %s: %s%s\n", inputName, line, strict ? "error" : "warning",
                    message, strict ? "" : "; skipped");
    });
    const bool readOk = readPciIds(in, reader);
    const int readErrno = errno;
    if (!fromStdin)
        fclose(in);
    if (!readOk) {
        fprintf(stderr, "%s:%d: read error: %s\n", inputName, reader.lineCount() + 1,
                strerror(readErrno));
        return 1;
    }
    if (shown > WARNINGS_SHOWN)
        fprintf(stderr, "%s: %d more warnings not shown\n", inputName, shown - WARNINGS_SHOWN);
    if (reader.skippedLines() > 0)
        fprintf(stderr, "%s: %d of %d lines skipped\n", inputName, reader.skippedLines(),
                reader.lineCount());
    if (strict && reader.warningCount() > 0) {
        fprintf(stderr, "%s: nothing written (--strict)\n", PROGRAM);
        return 1;
    }
    if (reader.database().vendors.empty()) {
        fprintf(stderr, "%s:%d: no vendor lines: not a pci.ids file\n", inputName,
                reader.lineCount());
        return 1;
    }

    PcidevsStats stats;
    if (!writeOutput(paths[1], reader.database(), stats))
        return 1;
    if (stats.cutNames > 0)
        fprintf(stderr, "%s: %d names shortened to %zu characters\n", inputName, stats.cutNames,
                PCIDEVS_MAX_NAME);
    return 0;
}
