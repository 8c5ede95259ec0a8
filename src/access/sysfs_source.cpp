#include "access/sysfs_source.h"

#include "header/config_header.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Reads up to 256 bytes of one config file; returns the count, or -1 with errno.
int readConfigFile(const char *path, uint8_t *buffer) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    int total = 0;
    while (total < CONFIG_SPACE_SIZE) {
        const ssize_t n = ::pread(fd, buffer + total, size_t(CONFIG_SPACE_SIZE - total), total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += int(n);
    }
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return total;
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

void configPath(const char *root, const FunctionAddress &at, char *path, size_t size) {
    char name[16];
    formatFunctionAddress(at, name, sizeof name);
    snprintf(path, size, "%s/%s/config", root, name);
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
    // The last byte tells whether all 256 can be read: the kernel cuts an
    // unprivileged reader off after 64.
    char path[1024];
    configPath(root_, functions_.front(), path, sizeof path);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        snprintf(error, errorSize,
                 "cannot read %s: %s (run as root, or read a saved dump with --from FILE)", path,
                 strerror(errno));
        return false;
    }
    uint8_t last;
    const ssize_t got = ::pread(fd, &last, 1, CONFIG_SPACE_SIZE - 1);
    ::close(fd);
    if (got != 1) {
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
