#include "report/function_fields.h"

#include "decode/capability.h"
#include "decode/header_layout.h"
#include "header/config_header.h"
#include "naming/class_names.h"

#include <cstdio>
#include <cstring>

namespace {

// Layouts and kinds: a key for JSON and a name for people.
const char *const LAYOUT_KEYS[] = {"device", "bridge", "cardbus", "unknown"};
const char *const LAYOUT_NAMES[] = {"device", "PCI-to-PCI bridge", "CardBus bridge", "unknown"};
const char *const BAR_KIND_KEYS[] = {"io", "mem32", "mem1m", "mem64", "mem_reserved"};

const char *barKindName(BarKind kind) {
    switch (kind) {
    case BarKind::Io: return "I/O";
    case BarKind::Memory32: return "32-bit memory";
    case BarKind::Memory1M: return "memory below 1M";
    case BarKind::Memory64: return "64-bit memory";
    default: return "memory of reserved type";
    }
}

const char *nameOrNull(const char *name) {
    return name != nullptr && name[0] != '\0' ? name : nullptr;
}

const char *const DEVSEL_TIMINGS[4] = {"fast", "medium", "slow", "reserved"};
const char *const POWER_STATES[4] = {"D0", "D1", "D2", "D3hot"};

const char *const PME_STATES[] = {"D0", "D1", "D2", "D3hot", "D3cold"};
const FlagTable PME_STATE_FLAGS(PME_STATES);

const char *const ASPM_STATES[4] = {"none", "L0s", "L1", "L0s and L1"};

// An encoded latency: base << code, where code 7 has a meaning of its own.
void latency(FieldVisitor &out, const char *key, const char *label, uint8_t code, unsigned baseNs,
             const char *seven) {
    char text[32];
    const unsigned ns = baseNs << code;
    if (code == 7)
        snprintf(text, sizeof text, "%s", seven);
    else if (ns >= 1000)
        snprintf(text, sizeof text, "%u us", ns / 1000);
    else
        snprintf(text, sizeof text, "%u ns", ns);
    out.text(key, label, text);
}

void speed(FieldVisitor &out, const char *key, const char *label, uint8_t code) {
    const uint32_t mts = linkSpeedMts(code);
    if (mts != 0)
        out.count(key, label, mts, "MT/s");
    else
        out.unknown(key, label, "reserved speed code");
}

// wideLabel: what a wide window is ("32-bit" I/O, "64-bit" memory).
void window(FieldVisitor &out, const char *key, const char *label, const BridgeWindow &w,
            const char *wideLabel) {
    out.beginGroup(key, label);
    out.flag("open", nullptr, w.open);
    if (!w.open)
        out.text(nullptr, "", "closed");
    out.address("base", "base", w.base);
    out.address("limit", "limit", w.limit);
    out.flag("wide", wideLabel, w.wide);
    out.flag("type_mismatch", "base and limit types differ", w.typeMismatch);
    out.endGroup();
}

void regionSize(FieldVisitor &out, const RegionSizes *sizes, int region) {
    if (sizes == nullptr)
        out.unknown("size", "size", "a dump holds no sizes");
    else if (sizes->size[region] == 0)
        out.unknown("size", "size", "no region assigned");
    else
        out.size("size", "size", sizes->size[region]);
}

void bar(FieldVisitor &out, const Bar &b, const RegionSizes *sizes, bool virtualFunction) {
    char heading[48];
    snprintf(heading, sizeof heading, "%s %u", virtualFunction ? "VF BAR" : "BAR", b.index);
    out.beginItem(heading);
    out.count("index", nullptr, b.index, nullptr);
    out.hex("offset", nullptr, b.offset, 2);
    out.text("kind", nullptr, BAR_KIND_KEYS[int(b.kind)]);
    out.text(nullptr, "", barKindName(b.kind));
    out.flag("prefetchable", "prefetchable", b.kind != BarKind::Io && b.prefetchable);
    out.address("address", "at", b.address);
    // The regions of virtual functions are not asked for.
    if (!virtualFunction)
        regionSize(out, sizes, b.index);
    out.hex("raw", "raw", b.raw, 8);
    if (b.kind == BarKind::Memory64)
        out.hex("raw_upper", "upper", b.rawUpper, 8);
    out.flag("upper_missing", "upper half missing (last register)", b.upperMissing);
    out.endItem();
}

void bars(FieldVisitor &out, const char *key, const BarList &list, const RegionSizes *sizes,
          bool virtualFunction) {
    out.beginList(key);
    for (unsigned i = 0; i < list.count; ++i)
        if (list.bars[i].present)
            bar(out, list.bars[i], sizes, virtualFunction);
    out.endList();
}

void header(FieldVisitor &out, ConfigSpace space) {
    const uint8_t type = space.u8(HEADER_TYPE_OFFSET);
    const uint16_t status = space.u16(0x06);
    out.beginGroup("header", "header");
    out.hex("type", "type", type, 2);
    out.text("layout", nullptr, LAYOUT_KEYS[int(headerLayout(type))]);
    out.text(nullptr, "layout", LAYOUT_NAMES[int(headerLayout(type))]);
    out.flag("multi_function", "multi-function", type & 0x80);
    out.flags("command", "command", space.u16(0x04), 4, COMMAND_FLAGS);
    out.flags("status", "status", status, 4, STATUS_FLAGS);
    out.text("devsel", "DEVSEL", DEVSEL_TIMINGS[devselTiming(status)]);
    out.count("cache_line_bytes", "cache line", cacheLineBytes(space.u8(0x0C)), "bytes");
    out.count("latency_timer", "latency timer", space.u8(0x0D), "clocks");
    out.hex("bist", "BIST", space.u8(0x0F), 2);
    // Pins 1..4 are INTA..INTD; the line means something only with a pin.
    const uint8_t pin = space.u8(0x3D);
    out.count("interrupt_pin", nullptr, pin, nullptr);
    if (pin == 0) {
        out.text(nullptr, "", "no interrupt pin");
    } else {
        char text[16];
        if (pin <= 4)
            snprintf(text, sizeof text, "INT%c", 'A' + pin - 1);
        else
            snprintf(text, sizeof text, "%u (reserved)", pin);
        out.text(nullptr, "interrupt pin", text);
    }
    out.count("interrupt_line", pin != 0 ? "line" : nullptr, space.u8(0x3C), nullptr);
    out.hex("capabilities_pointer", "capabilities at", space.u8(capabilityPointerOffset(type)), 2);
    if (headerLayout(type) == HeaderLayout::Device) {
        out.hex("cardbus_cis", "CardBus CIS", space.u32(0x28), 8);
        out.count("min_grant_ns", "min grant", latencyNs(space.u8(0x3E)), "ns");
        out.count("max_latency_ns", "max latency", latencyNs(space.u8(0x3F)), "ns");
    }
    out.endGroup();
}

void identity(FieldVisitor &out, const FunctionView &f) {
    const FunctionNames &n = *f.names;
    out.beginGroup("ids", "ids");
    out.named("vendor_id", "vendor", n.ids[NAME_VENDOR], 4, "vendor_name",
              nameOrNull(n.names[NAME_VENDOR]));
    out.named("device_id", "device", n.ids[NAME_DEVICE], 4, "device_name",
              nameOrNull(n.names[NAME_DEVICE]));
    out.named("revision", "revision", n.ids[NAME_REVISION], 2, "revision_name",
              nameOrNull(n.names[NAME_REVISION]));
    out.endGroup();
    ConfigSpace space{f.bytes, f.size};
    uint16_t vendor, device;
    if (decodeSubsystem(space, vendor, device)) {
        out.beginGroup("subsystem", "subsystem");
        out.named("vendor_id", "vendor", vendor, 4, "vendor_name",
                  nameOrNull(n.names[NAME_SUBSYSTEM_VENDOR]));
        out.named("device_id", "device", device, 4, "device_name",
                  nameOrNull(n.names[NAME_SUBSYSTEM]));
        out.endGroup();
    } else {
        out.text("subsystem", nullptr, nullptr);
    }
    const uint32_t code = space.u32(0x08);
    const char *className, *subClassName, *progIfName;
    lookupClassNames(code, &className, &subClassName, &progIfName);
    out.beginGroup("class", "class");
    out.hex("code", "code", code >> 8, 6);
    out.named("base_class", nullptr, code >> 24, 2, "base_class_name", nameOrNull(className));
    out.named("sub_class", nullptr, code >> 16 & 0xFF, 2, "sub_class_name",
              nameOrNull(subClassName));
    out.named("prog_if", nullptr, code >> 8 & 0xFF, 2, "prog_if_name", nameOrNull(progIfName));
    char names[200];
    snprintf(names, sizeof names, "%s%s%s%s%s", className, subClassName[0] ? ", " : "",
             subClassName, progIfName[0] ? ", " : "", progIfName);
    out.text(nullptr, "", nameOrNull(names));
    out.endGroup();
}

// The bus numbers, latency timer, secondary status and bridge control that
// both bridge layouts have, under each layout's names.
struct FieldName {
    const char *key, *label;
};
const FieldName BRIDGE_BUSES[] = {{"primary_bus", "primary bus"},
                                  {"secondary_bus", "secondary bus"},
                                  {"subordinate_bus", "subordinate bus"},
                                  {"secondary_latency", "secondary latency"}};
const FieldName CARDBUS_BUSES[] = {{"pci_bus", "PCI bus"},
                                   {"cardbus_bus", "CardBus bus"},
                                   {"subordinate_bus", "subordinate bus"},
                                   {"cardbus_latency", "CardBus latency"}};

void busRegisters(FieldVisitor &out, const FieldName (&names)[4], const uint8_t (&values)[4],
                  uint16_t secondaryStatus, uint16_t control, const FlagTable &controlFlags) {
    for (int i = 0; i < 3; ++i)
        out.hex(names[i].key, names[i].label, values[i], 2);
    out.count(names[3].key, names[3].label, values[3], "clocks");
    out.flags("secondary_status", "secondary status", secondaryStatus, 4, SECONDARY_STATUS_FLAGS);
    out.flags("bridge_control", "control", control, 4, controlFlags);
}

void bridge(FieldVisitor &out, ConfigSpace space) {
    const BridgeHeader b = decodeBridge(space);
    out.beginGroup("bridge", "bridge");
    busRegisters(out, BRIDGE_BUSES,
                 {b.primaryBus, b.secondaryBus, b.subordinateBus, b.secondaryLatency},
                 b.secondaryStatus, b.bridgeControl, BRIDGE_CONTROL_FLAGS);
    window(out, "io", "I/O window", b.io, "32-bit");
    window(out, "memory", "memory window", b.memory, "wide");
    window(out, "prefetchable", "prefetchable window", b.prefetchable, "64-bit");
    out.endGroup();
}

void cardBus(FieldVisitor &out, ConfigSpace space) {
    const CardBusHeader c = decodeCardBus(space);
    out.beginGroup("cardbus", "CardBus bridge");
    busRegisters(out, CARDBUS_BUSES, {c.pciBus, c.cardBus, c.subordinateBus, c.cardBusLatency},
                 c.secondaryStatus, c.bridgeControl, CARDBUS_CONTROL_FLAGS);
    out.hex("legacy_base", "legacy mode base", c.legacyBase, 8);
    const char *const keys[] = {"memory_0", "memory_1", "io_0", "io_1"};
    const char *const labels[] = {"memory window 0", "memory window 1", "I/O window 0",
                                  "I/O window 1"};
    const BridgeWindow *windows[] = {&c.memory[0], &c.memory[1], &c.io[0], &c.io[1]};
    for (unsigned i = 0; i < 4; ++i) {
        window(out, keys[i], labels[i], *windows[i], i < 2 ? "wide" : "32-bit");
    }
    out.flag("memory_0_prefetchable", "memory window 0 prefetchable", c.memoryPrefetchable[0]);
    out.flag("memory_1_prefetchable", "memory window 1 prefetchable", c.memoryPrefetchable[1]);
    out.endGroup();
}

void expansionRom(FieldVisitor &out, ConfigSpace space, const RegionSizes *sizes) {
    ExpansionRom rom;
    if (!decodeExpansionRom(space, rom) || rom.raw == 0) {
        out.text("expansion_rom", nullptr, nullptr);
        return;
    }
    out.beginGroup("expansion_rom", "expansion ROM");
    out.hex("offset", nullptr, rom.offset, 2);
    out.address("address", "at", rom.address);
    out.flag("enabled", "enabled", rom.enabled);
    regionSize(out, sizes, REGION_ROM);
    out.hex("raw", "raw", rom.raw, 8);
    out.endGroup();
}

void powerManagement(FieldVisitor &out, const PowerManagementCap &c) {
    out.hex("capabilities", "PMC", c.capabilities, 4);
    out.flag("pme_clock", "PME clock", c.pmeClock);
    out.flag("immediate_readiness", "immediate readiness on return to D0", c.immediateReadiness);
    out.flag("device_specific_init", "device-specific initialization", c.deviceSpecificInit);
    out.count("aux_current_ma", "aux current", c.auxCurrentMa, "mA");
    out.flag("d1", "D1", c.d1);
    out.flag("d2", "D2", c.d2);
    out.flags("pme_from", "PME from", c.pmeFrom, 2, PME_STATE_FLAGS);
    out.beginGroup("control_status", "control/status");
    out.hex("value", "PMCSR", c.controlStatus, 4);
    out.text("power_state", "state", POWER_STATES[c.powerState & 3]);
    out.flag("no_soft_reset", "no soft reset", c.noSoftReset);
    out.flag("pme_enable", "PME enabled", c.pmeEnable);
    out.count("data_select", "data select", c.dataSelect, nullptr);
    out.count("data_scale", "data scale", c.dataScale, nullptr);
    out.flag("pme_status", "PME status", c.pmeStatus);
    out.hex("bridge_extensions", "bridge extensions", c.bridgeExtensions, 2);
    out.hex("data", "data", c.data, 2);
    out.endGroup();
}

void msi(FieldVisitor &out, const MsiCap &c) {
    out.flag("enabled", "enabled", c.enabled);
    out.count("vectors_enabled", "vectors enabled", c.vectorsEnabled, nullptr);
    out.count("vectors_capable", "vectors capable", c.vectorsCapable, nullptr);
    out.flag("address_64", "64-bit address", c.address64);
    out.flag("per_vector_masking", "per-vector masking", c.perVectorMasking);
    out.flag("extended_data_capable", "extended data capable", c.extendedDataCapable);
    out.flag("extended_data_enabled", "extended data enabled", c.extendedDataEnabled);
    out.address("address", "address", c.address);
    out.hex("data", "data", c.data, 4);
    if (c.perVectorMasking) {
        out.hex("mask", "mask", c.mask, 8);
        out.hex("pending", "pending", c.pending, 8);
    }
}

void msix(FieldVisitor &out, const MsixCap &c) {
    out.flag("enabled", "enabled", c.enabled);
    out.flag("function_mask", "function masked", c.functionMask);
    out.count("table_size", "vectors", c.tableSize, nullptr);
    out.count("table_bar", "table in BAR", c.tableBir, nullptr);
    out.hex("table_offset", "at offset", c.tableOffset, 8);
    out.count("pba_bar", "pending bits in BAR", c.pbaBir, nullptr);
    out.hex("pba_offset", "at offset", c.pbaOffset, 8);
}

void pciExpress(FieldVisitor &out, const PciExpressCap &c) {
    out.hex("port_type_code", nullptr, c.portType, 1);
    const char *type = pciePortTypeName(c.portType);
    out.text("port_type", "", type != nullptr ? type : "reserved port type");
    out.flag("slot_implemented", "slot implemented", c.slotImplemented);
    out.count("interrupt_message", "interrupt message", c.interruptMessage, nullptr);

    out.beginGroup("device_capabilities", "device capabilities");
    out.hex("value", "DevCap", c.deviceCapabilities, 8);
    out.count("max_payload_supported", "max payload", c.maxPayloadSupported, "bytes");
    out.count("phantom_functions", "phantom function bits", c.phantomFunctions, nullptr);
    out.flag("extended_tag", "extended tag", c.extendedTagSupported);
    latency(out, "l0s_acceptable_latency", "L0s acceptable latency", c.l0sAcceptableLatency, 64,
            "no limit");
    latency(out, "l1_acceptable_latency", "L1 acceptable latency", c.l1AcceptableLatency, 1000,
            "no limit");
    out.flag("role_based_errors", "role-based error reporting", c.roleBasedErrors);
    out.count("captured_slot_power_mw", "captured slot power", c.capturedSlotPowerMw, "mW");
    out.flag("function_level_reset", "function level reset", c.functionLevelReset);
    out.endGroup();

    out.beginGroup("device_control", "device control");
    out.flags("value", "DevCtl", c.deviceControl, 4, PCIE_DEVICE_CONTROL_FLAGS);
    out.count("max_payload", "max payload", c.maxPayload, "bytes");
    out.count("max_read_request", "max read request", c.maxReadRequest, "bytes");
    out.endGroup();
    out.beginGroup("device_status", "device status");
    out.flags("value", "DevSta", c.deviceStatus, 4, PCIE_DEVICE_STATUS_FLAGS);
    out.endGroup();

    if (c.hasLink) {
        out.beginGroup("link_capabilities", "link capabilities");
        out.flags("value", "LnkCap", c.linkCapabilities, 8, PCIE_LINK_CAPABILITY_FLAGS);
        speed(out, "max_speed_mts", "max speed", c.maxLinkSpeed);
        out.count("max_width", "max lanes", c.maxLinkWidth, nullptr);
        out.text("aspm_support", "ASPM", ASPM_STATES[c.aspmSupport & 3]);
        latency(out, "l0s_exit_latency", "L0s exit latency", c.l0sExitLatency, 64, "over 4 us");
        latency(out, "l1_exit_latency", "L1 exit latency", c.l1ExitLatency, 1000, "over 64 us");
        out.count("port_number", "port", c.portNumber, nullptr);
        out.endGroup();
        out.beginGroup("link_control", "link control");
        out.flags("value", "LnkCtl", c.linkControl, 4, PCIE_LINK_CONTROL_FLAGS);
        out.text("aspm", "ASPM", ASPM_STATES[c.aspmControl & 3]);
        out.endGroup();
        out.beginGroup("link_status", "link status");
        out.flags("value", "LnkSta", c.linkStatus, 4, PCIE_LINK_STATUS_FLAGS);
        speed(out, "speed_mts", "speed", c.linkSpeed);
        out.count("width", "lanes", c.linkWidth, nullptr);
        out.endGroup();
    }
    if (c.slotImplemented) {
        out.beginGroup("slot", "slot");
        out.hex("capabilities", "SltCap", c.slotCapabilities, 8);
        out.count("power_limit_mw", "power limit", c.slotPowerLimitMw, "mW");
        out.count("physical_slot", "physical slot", c.physicalSlot, nullptr);
        out.hex("control", "SltCtl", c.slotControl, 4);
        out.hex("status", "SltSta", c.slotStatus, 4);
        out.endGroup();
    }
    if (pciePortHasRoot(c.portType)) {
        out.beginGroup("root", "root");
        out.hex("control", "RootCtl", c.rootControl, 4);
        out.hex("capabilities", "RootCap", c.rootCapabilities, 4);
        out.hex("status", "RootSta", c.rootStatus, 8);
        out.endGroup();
    }
    if (c.version >= 2) {
        out.beginGroup("version_2", "version 2 registers");
        out.hex("device_capabilities_2", "DevCap2", c.deviceCapabilities2, 8);
        out.hex("device_control_2", "DevCtl2", c.deviceControl2, 4);
        out.hex("device_status_2", "DevSta2", c.deviceStatus2, 4);
        if (c.hasLink) {
            out.hex("link_capabilities_2", "LnkCap2", c.linkCapabilities2, 8);
            char speeds[64] = "";
            for (uint8_t code = 1; code <= 7; ++code)
                if (c.supportedSpeeds >> (code - 1) & 1 && linkSpeedMts(code) != 0)
                    snprintf(speeds + strlen(speeds), sizeof speeds - strlen(speeds), "%s%u",
                             speeds[0] ? " " : "", unsigned(linkSpeedMts(code)));
            out.text("supported_speeds_mts", "supported speeds (MT/s)",
                     speeds[0] != '\0' ? speeds : nullptr);
            out.hex("link_control_2", "LnkCtl2", c.linkControl2, 4);
            speed(out, "target_speed_mts", "target speed", c.targetLinkSpeed);
            out.hex("link_status_2", "LnkSta2", c.linkStatus2, 4);
        }
        if (c.slotImplemented) {
            out.hex("slot_capabilities_2", "SltCap2", c.slotCapabilities2, 8);
            out.hex("slot_control_2", "SltCtl2", c.slotControl2, 4);
            out.hex("slot_status_2", "SltSta2", c.slotStatus2, 4);
        }
        out.endGroup();
    }
}

void aer(FieldVisitor &out, const AerCap &c) {
    out.beginGroup("uncorrectable", "uncorrectable errors");
    out.flags("status", "status", c.uncorrectableStatus, 8, AER_UNCORRECTABLE_FLAGS);
    out.flags("mask", "mask", c.uncorrectableMask, 8, AER_UNCORRECTABLE_FLAGS);
    out.flags("severity", "fatal", c.uncorrectableSeverity, 8, AER_UNCORRECTABLE_FLAGS);
    out.endGroup();
    out.beginGroup("correctable", "correctable errors");
    out.flags("status", "status", c.correctableStatus, 8, AER_CORRECTABLE_FLAGS);
    out.flags("mask", "mask", c.correctableMask, 8, AER_CORRECTABLE_FLAGS);
    out.endGroup();
    out.beginGroup("control", "control");
    out.flags("value", "value", c.control, 8, AER_CONTROL_FLAGS);
    out.count("first_error_pointer", "first error pointer", c.firstErrorPointer, nullptr);
    char log[40];
    snprintf(log, sizeof log, "%08X %08X %08X %08X", c.headerLog[0], c.headerLog[1], c.headerLog[2],
             c.headerLog[3]);
    out.text("header_log", "header log", log);
    out.endGroup();
    out.flag("root_registers", nullptr, c.hasRoot);
    if (c.hasRoot) {
        out.beginGroup("root", "root");
        out.hex("command", "command", c.rootCommand, 8);
        out.flags("status", "status", c.rootStatus, 8, AER_ROOT_STATUS_FLAGS);
        out.hex("correctable_source", "correctable source", c.correctableSource, 4);
        out.hex("uncorrectable_source", "uncorrectable source", c.uncorrectableSource, 4);
        out.endGroup();
    }
}

void serialNumber(FieldVisitor &out, const SerialNumberCap &c) {
    char text[32];
    size_t used = 0;
    for (int byte = 7; byte >= 0; --byte)
        used += size_t(snprintf(text + used, sizeof text - used, byte ? "%02x-" : "%02x",
                                unsigned(c.serial >> (8 * byte) & 0xFF)));
    out.text("serial_number", "", text);
}

void srIov(FieldVisitor &out, const SrIovCap &c) {
    out.hex("capabilities", "capabilities", c.capabilities, 8);
    out.count("migration_interrupt", "migration interrupt", c.migrationInterrupt, nullptr);
    out.flags("control", "control", c.control, 4, SRIOV_CONTROL_FLAGS);
    out.hex("status", "status", c.status, 4);
    out.count("initial_vfs", "initial VFs", c.initialVfs, nullptr);
    out.count("total_vfs", "total VFs", c.totalVfs, nullptr);
    out.count("number_of_vfs", "VFs", c.numVfs, nullptr);
    out.count("function_dependency", "function dependency link", c.functionDependency, nullptr);
    out.hex("first_vf_offset", "first VF offset", c.firstVfOffset, 4);
    out.hex("vf_stride", "VF stride", c.vfStride, 4);
    out.hex("vf_device_id", "VF device", c.vfDeviceId, 4);
    out.hex("supported_page_sizes", "supported page sizes", c.supportedPageSizes, 8);
    out.hex("system_page_size", "system page size", c.systemPageSize, 8);
    out.count("migration_state_bar", "migration state in BAR", c.migrationStateBir, nullptr);
    out.hex("migration_state_offset", "at offset", c.migrationStateOffset, 8);
    bars(out, "vf_bars", c.vfBars, nullptr, true);
}

void ari(FieldVisitor &out, const AriCap &c) {
    out.flag("mfvc_groups", "MFVC function groups", c.mfvcGroups);
    out.flag("acs_groups", "ACS function groups", c.acsGroups);
    out.count("next_function", "next function", c.nextFunction, nullptr);
    out.flag("mfvc_groups_enabled", "MFVC groups enabled", c.mfvcGroupsEnabled);
    out.flag("acs_groups_enabled", "ACS groups enabled", c.acsGroupsEnabled);
    out.count("function_group", "function group", c.functionGroup, nullptr);
}

void resizableBar(FieldVisitor &out, const ResizableBarCap &c) {
    out.count("declared_bars", "BARs", c.declaredCount, nullptr);
    out.beginList("entries");
    for (unsigned i = 0; i < c.count; ++i) {
        const ResizableBarEntry &e = c.entries[i];
        char heading[24];
        snprintf(heading, sizeof heading, "resizable BAR %u", e.barIndex);
        out.beginItem(heading);
        out.count("bar", nullptr, e.barIndex, nullptr);
        out.address("current_size_mb", "current size (MB)", uint64_t(1) << (e.currentSize & 63));
        out.address("supported_sizes_mask", "supported sizes (bit n: 2^n MB)", e.supportedSizes);
        out.hex("capability", "capability", e.capability, 8);
        out.hex("control", "control", e.control, 8);
        out.endItem();
    }
    out.endList();
}

void l1Substates(FieldVisitor &out, const L1SubstatesCap &c) {
    out.flags("capabilities", "capabilities", c.capabilities, 8, L1SS_CAPABILITY_FLAGS);
    out.count("port_common_mode_restore_us", "port common mode restore", c.portCommonModeRestoreUs,
              "us");
    out.count("port_power_on_us", "port power on", c.portPowerOnUs, "us");
    out.flags("control_1", "control 1", c.control1, 8, L1SS_CONTROL_FLAGS);
    out.count("common_mode_restore_us", "common mode restore", c.commonModeRestoreUs, "us");
    out.count("ltr_threshold_ns", "LTR threshold", c.ltrThresholdNs, "ns");
    out.hex("control_2", "control 2", c.control2, 8);
    out.count("power_on_us", "power on", c.powerOnUs, "us");
}

void ltr(FieldVisitor &out, const LtrCap &c) {
    out.count("max_snoop_ns", "max snoop latency", c.maxSnoopNs, "ns");
    out.count("max_no_snoop_ns", "max no-snoop latency", c.maxNoSnoopNs, "ns");
    out.hex("max_snoop_raw", nullptr, c.maxSnoopRaw, 4);
    out.hex("max_no_snoop_raw", nullptr, c.maxNoSnoopRaw, 4);
}

void acs(FieldVisitor &out, const AcsCap &c) {
    out.flags("capabilities", "capabilities", c.capabilities, 4, ACS_FLAGS);
    out.flags("control", "control", c.control, 4, ACS_FLAGS);
    out.count("egress_vector_bits", "egress vector bits", c.egressVectorBits, nullptr);
    out.hex("egress_vector", "egress vector", c.egressVector, 8);
}

const char *kindKey(CapabilityKind kind) {
    switch (kind) {
    case CapabilityKind::PowerManagement: return "power_management";
    case CapabilityKind::Msi: return "msi";
    case CapabilityKind::Msix: return "msi_x";
    case CapabilityKind::PciExpress: return "pci_express";
    case CapabilityKind::VendorSpecific: return "vendor_specific";
    case CapabilityKind::Aer: return "aer";
    case CapabilityKind::SerialNumber: return "serial_number";
    case CapabilityKind::VendorSpecificExtended: return "vendor_specific_extended";
    case CapabilityKind::SrIov: return "sr_iov";
    case CapabilityKind::Ari: return "ari";
    case CapabilityKind::ResizableBar: return "resizable_bar";
    case CapabilityKind::L1Substates: return "l1_pm_substates";
    case CapabilityKind::Ltr: return "ltr";
    case CapabilityKind::Acs: return "acs";
    default: return "other";
    }
}

void capability(FieldVisitor &out, const Capability &c) {
    const bool pci = c.space == CapabilitySpace::Pci;
    char heading[128];
    snprintf(heading, sizeof heading,
             pci ? "capability [%02Xh] %s (%02Xh)" : "extended capability [%03Xh] %s (%04Xh)",
             c.offset, c.name != nullptr ? c.name : "unassigned id", c.id);
    if (c.version != 0)
        snprintf(heading + strlen(heading), sizeof heading - strlen(heading), " version %u",
                 c.version);
    out.beginItem(heading);
    out.text("list", nullptr, pci ? "pci" : "extended");
    out.hex("offset", nullptr, c.offset, pci ? 2 : 3);
    out.hex("id", nullptr, c.id, pci ? 2 : 4);
    out.text("name", nullptr, c.name);
    out.count("version", nullptr, c.version, nullptr);
    out.hex("next", nullptr, c.next, pci ? 2 : 3);
    out.text("kind", nullptr, kindKey(c.kind));
    out.flag("truncated", "cut short by the end of the bytes read", c.truncated);
    switch (c.kind) {
    case CapabilityKind::PowerManagement: powerManagement(out, c.pm); break;
    case CapabilityKind::Msi: msi(out, c.msi); break;
    case CapabilityKind::Msix: msix(out, c.msix); break;
    case CapabilityKind::PciExpress: pciExpress(out, c.pcie); break;
    case CapabilityKind::VendorSpecific:
        out.count("length", "length", c.vendor.length, "bytes");
        break;
    case CapabilityKind::Aer: aer(out, c.aer); break;
    case CapabilityKind::SerialNumber: serialNumber(out, c.serial); break;
    case CapabilityKind::VendorSpecificExtended:
        out.hex("vendor_id", "vendor's id", c.vendorExtended.vendorId, 4);
        out.count("revision", "revision", c.vendorExtended.revision, nullptr);
        out.count("length", "length", c.vendorExtended.length, "bytes");
        break;
    case CapabilityKind::SrIov: srIov(out, c.sriov); break;
    case CapabilityKind::Ari: ari(out, c.ari); break;
    case CapabilityKind::ResizableBar: resizableBar(out, c.resizableBar); break;
    case CapabilityKind::L1Substates: l1Substates(out, c.l1ss); break;
    case CapabilityKind::Ltr: ltr(out, c.ltr); break;
    case CapabilityKind::Acs: acs(out, c.acs); break;
    default: break;
    }
    out.endItem();
}

// Walks both lists; how each list ended goes to `ends`.
void capabilities(FieldVisitor &out, ConfigSpace space, WalkStop ends[2], uint16_t where[2]) {
    const uint8_t portType = pciePortTypeOf(space);
    out.beginList("capabilities");
    for (CapabilitySpace which : {CapabilitySpace::Pci, CapabilitySpace::Extended}) {
        CapabilityWalk walk(space, which);
        for (CapabilityEntry entry; walk.next(entry);)
            capability(out, decodeCapability(space, entry, portType));
        ends[int(which)] = walk.stop();
        where[int(which)] = walk.stopOffset();
    }
    out.endList();
}

const char *walkStopKey(WalkStop stop) {
    switch (stop) {
    case WalkStop::End: return "end";
    case WalkStop::NoList: return "no_list";
    case WalkStop::NoExtendedSpace: return "no_extended_space";
    case WalkStop::UnknownLayout: return "unknown_layout";
    case WalkStop::Loop: return "loop";
    case WalkStop::IntoHeader: return "into_header";
    case WalkStop::PastEnd: return "past_end";
    default: return "walking";
    }
}

void listEnds(FieldVisitor &out, const WalkStop ends[2], const uint16_t where[2]) {
    out.beginGroup("capability_lists", nullptr);
    out.text("pci", nullptr, walkStopKey(ends[0]));
    out.text("extended", nullptr, walkStopKey(ends[1]));
    out.endGroup();
    const char *const lists[2] = {"capability list", "extended capability list"};
    for (int i = 0; i < 2; ++i) {
        if (!walkStopIsFault(ends[i]))
            continue;
        char note[96];
        snprintf(note, sizeof note, "%s ends at %03Xh: %s", lists[i], where[i],
                 walkStopText(ends[i]));
        out.text(nullptr, "note", note);
    }
}

} // namespace

void functionIds(const uint8_t *bytes, size_t size, FunctionNames &names) {
    const ConfigSpace space{bytes, size};
    names.ids[NAME_VENDOR] = space.u16(0x00);
    names.ids[NAME_DEVICE] = space.u16(0x02);
    names.ids[NAME_REVISION] = space.u8(0x08);
    uint16_t vendor = 0, device = 0;
    decodeSubsystem(space, vendor, device);
    names.ids[NAME_SUBSYSTEM_VENDOR] = vendor;
    names.ids[NAME_SUBSYSTEM] = device;
}

void describeFunction(const FunctionView &f, FieldVisitor &out) {
    const ConfigSpace space{f.bytes, f.size};
    char address[16];
    formatFunctionAddress(f.address, address, sizeof address);
    const FunctionNames &n = *f.names;
    const char *className, *subClassName, *progIfName;
    lookupClassNames(space.u32(0x08), &className, &subClassName, &progIfName);
    char vendor[16], device[16];
    snprintf(vendor, sizeof vendor, "vendor %04Xh", n.ids[NAME_VENDOR]);
    snprintf(device, sizeof device, "device %04Xh", n.ids[NAME_DEVICE]);
    char heading[256];
    snprintf(heading, sizeof heading, "%s %s: %s %s", address,
             className[0] != '\0' ? className : "unclassified",
             n.names[NAME_VENDOR][0] != '\0' ? n.names[NAME_VENDOR] : vendor,
             n.names[NAME_DEVICE][0] != '\0' ? n.names[NAME_DEVICE] : device);
    out.beginItem(heading);
    out.text("address", nullptr, address);
    out.count("domain", nullptr, f.address.domain, nullptr);
    out.count("bus", nullptr, f.address.bus, nullptr);
    out.count("device", nullptr, f.address.device, nullptr);
    out.count("function", nullptr, f.address.function, nullptr);
    out.count("config_size", "configuration space", f.size, "bytes");
    identity(out, f);
    header(out, space);
    bars(out, "bars", decodeBars(space), f.sizes, false);
    expansionRom(out, space, f.sizes);
    switch (headerLayout(space.u8(HEADER_TYPE_OFFSET))) {
    case HeaderLayout::Bridge: bridge(out, space); break;
    case HeaderLayout::CardBus: cardBus(out, space); break;
    default: break;
    }
    WalkStop ends[2];
    uint16_t where[2];
    capabilities(out, space, ends, where);
    listEnds(out, ends, where);
    out.bytes("bytes", nullptr, f.bytes, f.size);
    out.endItem();
}
