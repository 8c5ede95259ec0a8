#include "access/sysfs_source.h"

#include "header/config_header.h"

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

// "0000:BB:DD.F": a function of domain 0, as its bus and SlotByte.
bool parseFunctionName(const char *name, unsigned &bus, unsigned &slot) {
    unsigned device, function;
    char tail;
    if (strlen(name) != 12 ||
        sscanf(name, "0000:%2x:%2x.%1u%c", &bus, &device, &function, &tail) != 3 || device > 0x1F ||
        function > 7)
        return false;
    slot = device | function << 5;
    return true;
}

} // namespace

bool SysfsSource::open(char *error, size_t errorSize) {
    listed_.reset();
    DIR *dir = opendir(root_);
    if (dir == nullptr) {
        snprintf(error, errorSize,
                 "cannot read %s: %s (no PCI bus visible here; read a saved dump with --from FILE)",
                 root_, strerror(errno));
        return false;
    }
    char probe[256] = "";
    for (dirent *entry; (entry = readdir(dir)) != nullptr;) {
        unsigned bus, slot;
        if (!parseFunctionName(entry->d_name, bus, slot))
            continue;
        listed_.set(bus << 8 | slot);
        if (probe[0] == '\0' || strcmp(entry->d_name, probe) < 0)
            snprintf(probe, sizeof probe, "%s", entry->d_name);
    }
    closedir(dir);
    if (probe[0] == '\0') {
        snprintf(error, errorSize,
                 "no PCI functions in domain 0 under %s (read a saved dump with --from FILE)",
                 root_);
        return false;
    }
    // The last byte tells whether all 256 can be read: the kernel cuts an
    // unprivileged reader off after 64.
    char path[1024];
    snprintf(path, sizeof path, "%s/%s/config", root_, probe);
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
    char path[1024];
    snprintf(path, sizeof path, "%s/0000:%02x:%02x.%u/config", root_, unsigned(bus),
             slotDevice(slot), slotFunction(slot));
    return readConfigFile(path, buffer) == CONFIG_SPACE_SIZE;
}
