#include "access/sysfs_source.h"

#include "header/config_header.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Reads up to size bytes from offset of an open file; returns the count.
int readAt(int fd, uint8_t *buffer, int size, int offset) {
    int total = 0;
    while (total < size) {
        const ssize_t n = ::pread(fd, buffer + total, size_t(size - total), offset + total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += int(n);
    }
    return total;
}

// Reads up to size bytes of one config file; returns the count, or -1 with errno.
int readConfigFile(const char *path, uint8_t *buffer, int size = CONFIG_SPACE_SIZE) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const int total = readAt(fd, buffer, size, 0);
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return total;
}

// Whether this process runs in the initial user namespace, whose map gives
// every id to itself: "0 0 4294967295" and nothing more.
bool inInitialUserNamespace() {
    FILE *map = fopen("/proc/self/uid_map", "re");
    if (map == nullptr)
        return false;
    unsigned long inside, outside, count;
    char more;
    const bool initial = fscanf(map, "%lu %lu %lu %c", &inside, &outside, &count, &more) == 3 &&
                         inside == 0 && outside == 0 && count == 4294967295ul;
    fclose(map);
    return initial;
}

// The kernel shows all of configuration space to openers that hold
// CAP_SYS_ADMIN in the initial user namespace, and cuts everyone else off
// after 64 bytes (128 of a CardBus bridge). Asking costs no configuration read.
bool mayReadWholeSpace() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    const bool admin =
        (data[CAP_TO_INDEX(CAP_SYS_ADMIN)].effective & CAP_TO_MASK(CAP_SYS_ADMIN)) != 0;
    return admin && inInitialUserNamespace();
}

// "DDDD:BB:DD.F", the domain of four or more hex digits.
bool parseFunctionName(const char *name, FunctionAddress &at) {
    const size_t length = strlen(name);
    unsigned domain, bus, device, function;
    char tail;
    if (length < 12 || length > 16 || strspn(name, "0123456789abcdef") != length - 8 ||
        sscanf(name + length - 8, ":%2x:%2x.%1u%c", &bus, &device, &function, &tail) != 3 ||
        device > 0x1F || function > 7 || sscanf(name, "%x", &domain) != 1)
        return false;
    at = {domain, uint8_t(bus), uint8_t(device), uint8_t(function)};
    return true;
}

// ROOT/DDDD:BB:DD.F/FILE.
void functionPath(const char *root, const FunctionAddress &at, const char *file, char *path,
                  size_t size) {
    char name[16];
    formatFunctionAddress(at, name, sizeof name);
    snprintf(path, size, "%s/%s/%s", root, name, file);
}

void configPath(const char *root, const FunctionAddress &at, char *path, size_t size) {
    functionPath(root, at, "config", path, size);
}

} // namespace

bool SysfsSource::open(char *error, size_t errorSize) {
    listed_.reset();
    functions_.clear();
    DIR *dir = opendir(root_);
    if (dir == nullptr) {
        snprintf(error, errorSize,
                 "cannot read %s: %s (no PCI bus visible here; read a saved dump with --from FILE)",
                 root_, strerror(errno));
        return false;
    }
    for (dirent *entry; (entry = readdir(dir)) != nullptr;) {
        FunctionAddress at;
        if (!parseFunctionName(entry->d_name, at))
            continue;
        functions_.push_back(at);
        if (at.domain == 0)
            listed_.set(unsigned(at.bus) << 8 | makeSlot(at.device, at.function));
    }
    closedir(dir);
    std::sort(functions_.begin(), functions_.end());
    if (functions_.empty()) {
        snprintf(error, errorSize, "no PCI functions under %s (read a saved dump with --from FILE)",
                 root_);
        return false;
    }
    // Whether all 256 bytes can be read: the file must hold them, and the
    // kernel must show them to this process. Where its rule says it does, no
    // configuration read is spent on asking; elsewhere the last byte tells.
    char path[1024];
    configPath(root_, functions_.front(), path, sizeof path);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        snprintf(error, errorSize,
                 "cannot read %s: %s (run as root, or read a saved dump with --from FILE)", path,
                 strerror(errno));
        return false;
    }
    struct stat status;
    bool whole = fstat(fd, &status) == 0 && status.st_size >= CONFIG_SPACE_SIZE;
    uint8_t last;
    if (whole && !mayReadWholeSpace())
        whole = readAt(fd, &last, 1, CONFIG_SPACE_SIZE - 1) == 1;
    ::close(fd);
    if (!whole) {
        uint8_t buffer[CONFIG_SPACE_SIZE];
        snprintf(error, errorSize,
                 "%s gives only %d of %d bytes: the kernel shows the whole configuration space to "
                 "root only; run as root, or read a saved dump with --from FILE",
                 path, readConfigFile(path, buffer), CONFIG_SPACE_SIZE);
        return false;
    }
    return true;
}

bool SysfsSource::read(uint8_t bus, uint8_t slot, uint8_t *buffer) {
    if (!listed_.test(unsigned(bus) << 8 | slot))
        return false;
    return readFunction({0, bus, uint8_t(slotDevice(slot)), uint8_t(slotFunction(slot))}, buffer);
}

void SysfsSource::listFunctions(std::vector<FunctionAddress> &functions) {
    functions = functions_;
}

bool SysfsSource::readFunction(const FunctionAddress &at, uint8_t *buffer) {
    char path[1024];
    configPath(root_, at, path, sizeof path);
    return readConfigFile(path, buffer) == CONFIG_SPACE_SIZE;
}

bool SysfsSource::readScanWords(uint8_t bus, uint8_t slot, uint8_t *buffer) {
    if (!listed_.test(unsigned(bus) << 8 | slot))
        return false;
    char path[1024];
    configPath(root_, {0, bus, uint8_t(slotDevice(slot)), uint8_t(slotFunction(slot))}, path,
               sizeof path);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Present means what read() needs: a file of 256 bytes or more. Each word
    // costs the kernel a configuration access, so only the scan's are read.
    struct stat status;
    bool ok = fstat(fd, &status) == 0 && status.st_size >= CONFIG_SPACE_SIZE;
    for (const uint8_t offset : SCAN_WORD_OFFSETS)
        ok = ok && readAt(fd, buffer + offset, 4, offset) == 4;
    ::close(fd);
    return ok;
}

size_t SysfsSource::readFunctionSpace(const FunctionAddress &at, uint8_t *buffer, size_t size) {
    char path[1024];
    configPath(root_, at, path, sizeof path);
    const int got = readConfigFile(path, buffer, size < 4096 ? int(size) : 4096);
    // The kernel gives 256 bytes, or 4096 for PCI Express.
    return got == CONFIG_SPACE_SIZE || got == 4096 ? size_t(got) : 0;
}

// The resource file has one line "0xSTART 0xEND 0xFLAGS" per region: the six
// base address registers, the ROM, then regions of SR-IOV and bridges.
bool SysfsSource::readRegionSizes(const FunctionAddress &at, RegionSizes &sizes) {
    char path[1024];
    functionPath(root_, at, "resource", path, sizeof path);
    FILE *file = fopen(path, "re");
    if (file == nullptr)
        return false;
    bool ok = true;
    char line[128];
    for (int i = 0; ok && i < REGION_COUNT; ++i) {
        unsigned long long start, end, flags;
        ok = fgets(line, sizeof line, file) != nullptr &&
             sscanf(line, "%llx %llx %llx", &start, &end, &flags) == 3;
        sizes.size[i] = ok && (start != 0 || end != 0) && end >= start ? end - start + 1 : 0;
    }
    fclose(file);
    return ok;
}
