// The floor under any report of this machine through sysfs: list the
// functions, read each one's 256 bytes once, and write them as a hex dump.
// A report does all of that and more, so nothing that writes one can take
// less time here. Linked like lumivar (statically), so that start-up costs
// the same.
//
// usage: config_floor [ROOT]   (default /sys/bus/pci/devices)
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

int main(int argc, char **argv) {
    const char *root = argc > 1 ? argv[1] : "/sys/bus/pci/devices";
    DIR *dir = opendir(root);
    if (dir == nullptr) {
        perror(root);
        return 1;
    }
    int functions = 0;
    for (dirent *entry; (entry = readdir(dir)) != nullptr;) {
        if (entry->d_name[0] == '.')
            continue;
        char path[1024];
        snprintf(path, sizeof path, "%s/%s/config", root, entry->d_name);
        const int fd = open(path, O_RDONLY | O_CLOEXEC);
        unsigned char bytes[256];
        const ssize_t got = fd >= 0 ? pread(fd, bytes, sizeof bytes, 0) : -1;
        if (fd >= 0)
            close(fd);
        if (got != ssize_t(sizeof bytes)) {
            fprintf(stderr, "%s: cannot read 256 bytes\n", path);
            return 1;
        }
        printf("%s\n", entry->d_name);
        for (int line = 0; line < 256; line += 16) {
            printf("%02x:", line);
            for (int i = line; i < line + 16; ++i)
                printf(" %02x", bytes[i]);
            printf("\n");
        }
        printf("\n");
        ++functions;
    }
    closedir(dir);
    return functions > 0 ? 0 : 1;
}
