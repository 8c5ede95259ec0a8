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

bool isDomainZeroFunction(const char *name) {
    unsigned bus, device, function;
    char tail;
    return sscanf(name, "0000:%2x:%2x.%1u%c", &bus, &device, &function, &tail) == 3 &&
           strlen(name) == 12;
}

} // namespace

bool SysfsSource::open(char *error, size_t errorSize) {
    DIR *dir = opendir(root_);
    if (dir == nullptr) {
        snprintf(error, errorSize,
                 "cannot read %s: %s (no PCI bus visible here; read a saved dump with --from FILE)",
                 root_, strerror(errno));
        return false;
    }
    // Probe one function: an unprivileged reader gets only the first 64 bytes.
    char probe[512] = "";
    for (dirent *entry; (entry = readdir(dir)) != nullptr;) {
        if (isDomainZeroFunction(entry->d_name) &&
            (probe[0] == '\0' || strcmp(entry->d_name, probe) < 0))
            snprintf(probe, sizeof probe, "%s", entry->d_name);
    }
    closedir(dir);
    if (probe[0] == '\0') {
        snprintf(error, errorSize,
                 "no PCI functions in domain 0 under %s (read a saved dump with --from FILE)",
                 root_);
        return false;
    }
    char path[1024];
    snprintf(path, sizeof path, "%s/%s/config", root_, probe);
    uint8_t buffer[CONFIG_SPACE_SIZE];
    const int got = readConfigFile(path, buffer);
    if (got < 0) {
        snprintf(error, errorSize,
                 "cannot read %s: %s (run as root, or read a saved dump with --from FILE)", path,
                 strerror(errno));
        return false;
    }
    if (got < CONFIG_SPACE_SIZE) {
        snprintf(error, errorSize,
                 "%s gives only %d of %d bytes: the kernel shows the whole configuration space to "
                 "root only; run as root, or read a saved dump with --from FILE",
                 path, got, CONFIG_SPACE_SIZE);
        return false;
    }
    return true;
}

bool SysfsSource::read(uint8_t bus, uint8_t slot, uint8_t *buffer) {
    char path[1024];
    snprintf(path, sizeof path, "%s/0000:%02x:%02x.%u/config", root_, unsigned(bus),
             slotDevice(slot), slotFunction(slot));
    return readConfigFile(path, buffer) == CONFIG_SPACE_SIZE;
}
