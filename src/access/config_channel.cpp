#include "access/config_channel.h"

#include "header/config_header.h"

bool openChannel(ConfigChannel &channel) {
    channel.error[0] = '\0';
    if (channel.isOpen)
        return true;
    if (channel.source == nullptr)
        return false;
    channel.isOpen = channel.source->open(channel.error, sizeof channel.error);
    return channel.isOpen;
}

bool readConfig(ConfigChannel &channel, unsigned bus, unsigned slot, void *buffer) {
    if (buffer == nullptr || !channel.isOpen)
        return false;
    return channel.source->read(uint8_t(bus & 0xFFu), uint8_t(slot & 0xFFu),
                                static_cast<uint8_t *>(buffer));
}

void listFunctions(ConfigChannel &channel, std::vector<FunctionAddress> &functions) {
    functions.clear();
    if (channel.isOpen)
        channel.source->listFunctions(functions);
}

bool readFunction(ConfigChannel &channel, const FunctionAddress &at, void *buffer) {
    return buffer != nullptr && channel.isOpen &&
           channel.source->readFunction(at, static_cast<uint8_t *>(buffer));
}

bool readScanWords(ConfigChannel &channel, unsigned bus, unsigned slot, void *buffer) {
    if (buffer == nullptr || !channel.isOpen)
        return false;
    return channel.source->readScanWords(uint8_t(bus & 0xFFu), uint8_t(slot & 0xFFu),
                                         static_cast<uint8_t *>(buffer));
}

size_t readFunctionSpace(ConfigChannel &channel, const FunctionAddress &at, uint8_t *buffer,
                         size_t size) {
    if (buffer == nullptr || !channel.isOpen)
        return 0;
    return channel.source->readFunctionSpace(at, buffer, size);
}

bool readRegionSizes(ConfigChannel &channel, const FunctionAddress &at, RegionSizes &sizes) {
    return channel.isOpen && channel.source->readRegionSizes(at, sizes);
}

void closeChannel(ConfigChannel &channel) {
    if (!channel.isOpen)
        return;
    channel.isOpen = false;
    channel.source->close();
}
