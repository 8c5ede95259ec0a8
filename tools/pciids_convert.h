// Conversion of pci.ids (the PCI ID Project's list, as Debian ships it) into
// the name database pcidevs.txt that Lumivar loads.
//
// pci.ids: "# comment", vendor lines "vvvv  Name", device lines "\tdddd  Name",
// subsystem lines "\t\tssvv ssss  Name", then a class section ("C xx  Name"
// and its indented lines) that we leave out. Text is UTF-8.
//
// pcidevs.txt: "V\tvvvv\tName", under it "D\tdddd\tName", under each device
// one "O\tssvv\tName" line per subsystem vendor followed by that vendor's
// "S\tssss\tName" lines. Names are Windows-1252; every line, its line feed
// included, fits the loader's 255-character read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Longest pci.ids line we take, line end excluded. Real lines stay under 200;
// anything longer is not pci.ids and is skipped.
constexpr size_t PCIIDS_MAX_LINE = 4096;

// The loader reads at most 255 characters per line, line feed included.
constexpr size_t PCIDEVS_MAX_LINE = 255;
// Every record line is tag, tab, four digits, tab, name and line feed.
constexpr size_t PCIDEVS_MAX_NAME = PCIDEVS_MAX_LINE - 8;

// The Windows-1252 bytes of UTF-8 text: a character that Windows-1252 has
// becomes its byte; any other character, a control character and every
// ill-formed piece of UTF-8 (each maximal ill-formed subsequence) becomes
// '?'. A tab becomes a blank. The result never holds a NUL, CR, LF or 0x1A.
std::string utf8ToWindows1252(std::string_view text);

struct PciIdsSubsystem {
    uint16_t vendorId;    // subsystem vendor
    uint16_t subsystemId; // subsystem (device)
    std::string name;     // Windows-1252, whole
};

struct PciIdsDevice {
    uint16_t id;
    std::string name;
    std::vector<PciIdsSubsystem> subsystems; // in file order
};

struct PciIdsVendor {
    uint16_t id;
    std::string name;
    std::vector<PciIdsDevice> devices;
};

struct PciIdsDatabase {
    std::vector<PciIdsVendor> vendors; // in file order, duplicates kept
    std::string version;               // from "# Version: ...", Windows-1252
};

// Builds a PciIdsDatabase from pci.ids lines fed one at a time. Lines that do
// not fit the format are skipped with a warning, together with the lines
// indented under them; reading never stops on bad input.
class PciIdsReader {
  public:
    // Called once per skipped line that is not itself under a skipped line.
    using WarningHandler = std::function<void(int line, const char *message)>;

    explicit PciIdsReader(WarningHandler onWarning = {}) : onWarning_(std::move(onWarning)) {}

    // One line without its line feed (a CR before it is dropped). tooLong: the
    // line was longer than PCIIDS_MAX_LINE and `text` holds only its start.
    void feedLine(std::string_view text, bool tooLong = false);

    const PciIdsDatabase &database() const { return database_; }
    int lineCount() const { return line_; }
    int warningCount() const { return warnings_; }
    int skippedLines() const { return skipped_; } // warned ones and those under them

  private:
    void skip(int level, const char *message);
    bool parseVendor(std::string_view text);
    bool parseDevice(std::string_view text);
    bool parseSubsystem(std::string_view text);

    WarningHandler onWarning_;
    PciIdsDatabase database_;
    int line_ = 0;
    int warnings_ = 0;
    int skipped_ = 0;
    int skipBelow_ = -1; // lines indented deeper than this are under a skipped line
    bool inClasses_ = false;
    bool haveVendor_ = false;
    bool haveDevice_ = false;
};

// Feeds every line of `in` (opened in binary mode) to `reader`. Returns false
// on a read error; the lines read until then have been fed.
bool readPciIds(FILE *in, PciIdsReader &reader);

struct PcidevsStats {
    int vendors = 0;
    int devices = 0;
    int subsystemVendors = 0;        // O lines
    int subsystems = 0;              // S lines
    int unknownSubsystemVendors = 0; // O lines for a vendor pci.ids does not list
    int cutNames = 0;                // names shortened to PCIDEVS_MAX_NAME
    int selfSubsystems = 0;          // O and S pairs naming a device as its own subsystem
};

// Writes the name database to `out` with "\n" line ends (give it a text-mode
// stream for CR LF). Under each device, subsystems are grouped by subsystem
// vendor, groups in order of first appearance, each opened by an O line that
// carries the vendor's name from pci.ids' vendor list; a subsystem vendor the
// list lacks gets an O line with an empty name, so that its S lines are still
// reached. With selfSubsystems, a device whose own vendor and device ids are
// not among its subsystems also gets that pair (O for its vendor, S with the
// device's name), which is how lspci names such a subsystem. Returns false on
// a write error.
bool writePcidevs(const PciIdsDatabase &database, FILE *out, PcidevsStats *stats = nullptr,
                  bool selfSubsystems = true);
