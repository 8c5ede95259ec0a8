#include "report/deep_view.h"

#include "decode/config_space.h"
#include "report/details_writers.h"
#include "report/function_fields.h"

#include <cstring>
#include <memory>

namespace {

// One part of a selector: empty or "*" is any (-1); else hex up to limit.
bool parsePart(const char *text, size_t length, int64_t limit, int64_t &value) {
    value = -1;
    if (length == 0 || (length == 1 && text[0] == '*'))
        return true;
    if (length > 8)
        return false;
    int64_t v = 0;
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        const int d = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
        if (d < 0)
            return false;
        v = v * 16 + d;
    }
    if (v > limit)
        return false;
    value = v;
    return true;
}

struct Part {
    const char *name;
    int64_t limit;
    int64_t value;
};

// Splits text at each separator into at most count parts, filling the last
// ones first (a missing leading part is any).
bool parseParts(const char *text, size_t length, char separator, Part *parts, int count,
                char *message, size_t size, const char *usage) {
    const char *end = text + length;
    int found = 1;
    for (const char *p = text; p < end; ++p)
        found += *p == separator;
    if (found > count) {
        snprintf(message, size, "'%.*s' has too many '%c': %s", int(length), text, separator,
                 usage);
        return false;
    }
    const char *start = text;
    for (int i = count - found; i < count; ++i) {
        const char *stop = start;
        while (stop < end && *stop != separator)
            ++stop;
        if (!parsePart(start, size_t(stop - start), parts[i].limit, parts[i].value)) {
            snprintf(message, size, "'%.*s' is no %s (hex, up to %llx): %s", int(stop - start),
                     start, parts[i].name, (unsigned long long)parts[i].limit, usage);
            return false;
        }
        start = stop + 1;
    }
    return true;
}

constexpr const char *SLOT_USAGE = "-s takes [[[DOMAIN]:]BUS:][DEVICE][.[FUNCTION]]";
constexpr const char *ID_USAGE = "-d takes [VENDOR]:[DEVICE]";

} // namespace

bool parseSlotFilter(const char *text, FunctionFilter &filter, char *message, size_t size) {
    const char *dot = strchr(text, '.');
    const size_t length = dot != nullptr ? size_t(dot - text) : strlen(text);
    Part parts[4] = {
        {"domain", 0xFFFFFFFF, -1}, {"bus", 0xFF, -1}, {"device", 0x1F, -1}, {"function", 7, -1}};
    if (!parseParts(text, length, ':', parts, 3, message, size, SLOT_USAGE))
        return false;
    if (dot != nullptr &&
        !parseParts(dot + 1, strlen(dot + 1), '.', parts + 3, 1, message, size, SLOT_USAGE))
        return false;
    filter.domain = parts[0].value;
    filter.bus = int(parts[1].value);
    filter.device = int(parts[2].value);
    filter.function = int(parts[3].value);
    return true;
}

bool parseIdFilter(const char *text, FunctionFilter &filter, char *message, size_t size) {
    if (strchr(text, ':') == nullptr) {
        snprintf(message, size, "'%s' has no ':': %s", text, ID_USAGE);
        return false;
    }
    Part parts[2] = {{"vendor", 0xFFFF, -1}, {"device", 0xFFFF, -1}};
    if (!parseParts(text, strlen(text), ':', parts, 2, message, size, ID_USAGE))
        return false;
    filter.vendorId = int(parts[0].value);
    filter.deviceId = int(parts[1].value);
    return true;
}

bool selectsAddress(const FunctionFilter &f, const FunctionAddress &at) {
    return (f.domain < 0 || f.domain == at.domain) && (f.bus < 0 || f.bus == at.bus) &&
           (f.device < 0 || f.device == at.device) && (f.function < 0 || f.function == at.function);
}

bool selectsIds(const FunctionFilter &f, uint16_t vendorId, uint16_t deviceId) {
    return (f.vendorId < 0 || f.vendorId == vendorId) && (f.deviceId < 0 || f.deviceId == deviceId);
}

namespace {

struct ReadFunction {
    FunctionAddress address;
    size_t size;
    std::unique_ptr<uint8_t[]> bytes;
    FunctionNames names;
    bool sized;
    RegionSizes sizes;
};

} // namespace

NameLoadResult writeDeepView(FILE *out, ConfigChannel &channel, const FunctionFilter &filter,
                             FILE *names, DeepViewFormat format,
                             std::vector<FunctionAddress> &unreadable) {
    std::vector<FunctionAddress> listed;
    listFunctions(channel, listed);
    std::vector<ReadFunction> functions;
    for (const FunctionAddress &at : listed) {
        if (!selectsAddress(filter, at))
            continue;
        ReadFunction f{at, 0, std::make_unique<uint8_t[]>(EXTENDED_SPACE_SIZE), {}, false, {}};
        f.size = readFunctionSpace(channel, at, f.bytes.get(), EXTENDED_SPACE_SIZE);
        if (f.size == 0) {
            unreadable.push_back(at);
            continue;
        }
        functionIds(f.bytes.get(), f.size, f.names);
        if (!selectsIds(filter, f.names.ids[NAME_VENDOR], f.names.ids[NAME_DEVICE]))
            continue;
        f.sized = readRegionSizes(channel, at, f.sizes);
        functions.push_back(std::move(f));
    }
    NameLoadResult load{TextEnd::END, 0, 0};
    if (names != nullptr) {
        std::vector<FunctionNames *> named;
        for (ReadFunction &f : functions)
            named.push_back(&f.names);
        load = loadNameDatabaseFrom(names, named.data(), int(named.size()));
        if (load.end != TextEnd::END)
            return load;
    }
    auto describeAll = [&](FieldVisitor &writer) {
        for (const ReadFunction &f : functions) {
            const FunctionView view{f.address, f.bytes.get(), f.size, &f.names,
                                    f.sized ? &f.sizes : nullptr};
            describeFunction(view, writer);
        }
    };
    if (format == DeepViewFormat::Json) {
        DetailsJson json(out);
        describeAll(json);
        json.finish();
    } else {
        DetailsText text(out);
        describeAll(text);
    }
    return load;
}
