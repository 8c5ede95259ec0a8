#include "access/config_source.h"

#include "header/config_header.h"

#include <cstdio>

void formatFunctionAddress(const FunctionAddress &at, char *text, size_t size) {
    snprintf(text, size, "%04x:%02x:%02x.%u", unsigned(at.domain), unsigned(at.bus),
             unsigned(at.device), unsigned(at.function));
}

void ConfigSource::listFunctions(std::vector<FunctionAddress> &functions) {
    functions.clear();
    uint8_t buffer[CONFIG_SPACE_SIZE];
    for (unsigned bus = 0; bus < 256; ++bus)
        for (unsigned device = 0; device < 32; ++device)
            for (unsigned function = 0; function < 8; ++function)
                if (read(uint8_t(bus), makeSlot(device, function), buffer))
                    functions.push_back({0, uint8_t(bus), uint8_t(device), uint8_t(function)});
}

bool ConfigSource::readFunction(const FunctionAddress &at, uint8_t *buffer) {
    return at.domain == 0 && read(at.bus, makeSlot(at.device, at.function), buffer);
}

size_t ConfigSource::readFunctionSpace(const FunctionAddress &at, uint8_t *buffer, size_t size) {
    return size >= CONFIG_SPACE_SIZE && readFunction(at, buffer) ? CONFIG_SPACE_SIZE : 0;
}
