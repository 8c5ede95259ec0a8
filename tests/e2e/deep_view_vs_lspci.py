#!/usr/bin/env python3
"""lumivar --json against lspci -vv, function by function.

usage: deep_view_vs_lspci.py LUMIVAR SCHEMA [--live] DUMP...

For each dump, `lumivar --from DUMP --json` must validate against SCHEMA and
say what `lspci -F DUMP -D -vv` prints of the same bytes: the capability lists
(list, offset, id, in order), MSI vectors enabled and capable, MSI-X table
size, the PCI Express port type, link speed and width (capabilities and
status), SR-IOV VF counts, bridge bus numbers and windows, CardBus windows,
and the base address registers (64-bit pairs joined) with kind, prefetch bit
and address. With --live, `lumivar --json` from sysfs must validate too, and
its BAR sizes must be the ones `lspci -D -vv` prints for this machine.

Only lspci's output is read. Its capability names are mapped to ids by the
table below; a name that the table lacks is a failure, so the table grows
with the samples.
"""
import json
import re
import subprocess
import sys

import jsonschema

PCI_NAMES = [
    ("Power Management", {0x01}), ("AGP", {0x02, 0x0E}), ("Vital Product Data", {0x03}),
    ("Slot ID", {0x04}), ("MSI-X", {0x11}), ("MSI", {0x05}), ("CompactPCI hot-swap", {0x06}),
    ("PCI-X", {0x07}), ("HyperTransport", {0x08}), ("Vendor Specific Information", {0x09}),
    ("Debug port", {0x0A}), ("CompactPCI central resource control", {0x0B}),
    ("Hot-plug capable", {0x0C}), ("Subsystem", {0x0D}), ("Secure device", {0x0F}),
    ("Express", {0x10}), ("SATA HBA", {0x12}), ("PCI Advanced Features", {0x13}),
    ("Enhanced Allocation", {0x14}), ("Flattening Portal Bridge", {0x15}),
]
EXTENDED_NAMES = [
    ("Advanced Error Reporting", {0x01}), ("Virtual Channel", {0x02, 0x09}),
    ("Device Serial Number", {0x03}), ("Power Budgeting", {0x04}),
    ("Root Complex Link", {0x05}), ("Root Complex Internal Link", {0x06}),
    ("Root Complex Event Collector", {0x07}), ("Multi-Function Virtual Channel", {0x08}),
    ("Vendor Specific Information", {0x0B}), ("Access Control Services", {0x0D}),
    ("Alternative Routing-ID Interpretation", {0x0E}), ("Address Translation Service", {0x0F}),
    ("Single Root I/O Virtualization", {0x10}), ("Multicast", {0x12}),
    ("Page Request Interface", {0x13}), ("Resizable BAR", {0x15, 0x24}),
    ("Dynamic Power Allocation", {0x16}), ("Transaction Processing Hints", {0x17}),
    ("Latency Tolerance Reporting", {0x18}), ("Secondary PCI Express", {0x19}),
    ("Process Address Space ID", {0x1B}), ("Downstream Port Containment", {0x1D}),
    ("L1 PM Substates", {0x1E}), ("Precision Time Measurement", {0x1F}),
    ("Designated Vendor-Specific", {0x23}), ("Data Link Feature", {0x25}),
    ("Physical Layer 16.0 GT/s", {0x26}), ("Lane Margining at the Receiver", {0x27}),
    ("Physical Layer 32.0 GT/s", {0x2A}),
]
PORT_TYPES = {
    "Endpoint": 0x0, "Legacy Endpoint": 0x1, "Root Port": 0x4, "Upstream Port": 0x5,
    "Downstream Port": 0x6, "PCI-Express to PCI/PCI-X Bridge": 0x7,
    "PCI/PCI-X to PCI-Express Bridge": 0x8, "Root Complex Integrated Endpoint": 0x9,
    "Root Complex Event Collector": 0xA,
}
UNITS = {"": 1, "K": 1 << 10, "M": 1 << 20, "G": 1 << 30, "T": 1 << 40}


def mts(text):
    m = re.search(r"Speed ([0-9.]+)GT/s", text)
    return round(float(m.group(1)) * 1000) if m else None


def width(text):
    m = re.search(r"Width x(\d+)", text)
    return int(m.group(1)) if m else None


def capability_id(listed, text, problems):
    names = PCI_NAMES if listed == "pci" else EXTENDED_NAMES
    for name, ids in names:
        if text == name or re.match(re.escape(name) + r"[ :(]", text):
            return ids
    m = re.match(r"#([0-9a-f]{2})$", text) or re.match(r"Extended Capability ID 0x([0-9a-f]+)",
                                                        text)
    if m:
        return {int(m.group(1), 16)}
    problems.append("no id for lspci's capability text %r" % text)
    return set()


def bar_fact(index, text):
    """('io'|'mem32'|..., prefetchable, address, size) from a Region line."""
    m = re.match(r"(I/O ports|Memory) at (<unassigned>|<ignored>|[0-9a-f]+)(?: \((.*?)\))?(.*)",
                 text)
    kind, where, flags, rest = m.groups()
    address = 0 if where.startswith("<") else int(where, 16)
    size = re.search(r"\[size=(\d+)([KMGT]?)\]", rest)
    size = int(size.group(1)) * UNITS[size.group(2)] if size else None
    if kind == "I/O ports":
        return (index, "io", False, address), size
    width_text, prefetch = flags.split(", ")
    kinds = {"32-bit": "mem32", "64-bit": "mem64", "low-1M": "mem1m"}
    return (index, kinds.get(width_text, "mem_reserved"), prefetch == "prefetchable",
            address), size


def window_fact(text):
    m = re.match(r"([0-9a-f]+)-([0-9a-f]+)", text)
    return (int(m.group(1), 16), int(m.group(2), 16)) if m else "closed"


def lspci_facts(args, problems):
    out = subprocess.run(["lspci", "-D", "-vv"] + args, check=True, capture_output=True,
                         text=True, errors="replace").stdout
    functions = {}
    facts = cap = None
    sizes = {}
    for line in out.splitlines():
        if line and not line[0].isspace():
            address = line.split()[0]
            facts = functions.setdefault(address, {"caps": [], "bars": []})
            sizes[address] = {}
            cap = None
            continue
        if facts is None:
            continue
        text = line.strip()
        m = re.match(r"Capabilities: \[([0-9a-f]+)(?: v\d+)?\] (.*)", text)
        if m:
            offset = int(m.group(1), 16)
            listed = "pci" if offset < 0x100 else "extended"
            body = m.group(2)
            cap = (listed, offset)
            facts["caps"].append((listed, offset, capability_id(listed, body, problems)))
            if body.startswith("MSI:"):
                c = re.search(r"Count=(\d+)/(\d+)", body)
                facts[("msi", offset)] = (int(c.group(1)), int(c.group(2)))
            elif body.startswith("MSI-X:"):
                facts[("msix", offset)] = int(re.search(r"Count=(\d+)", body).group(1))
            elif body.startswith("Express"):
                kind = re.sub(r"^Express \(v\d+\) ", "", body).split(",")[0]
                kind = re.sub(r" \(Slot[+-]\)$", "", kind)
                facts[("port", offset)] = PORT_TYPES.get(kind, kind)
            continue
        if cap is not None and line.startswith("\t\t"):
            if text.startswith("LnkCap:"):
                facts[("link_cap", cap[1])] = (mts(text), width(text))
            elif text.startswith("LnkSta:"):
                facts[("link_sta", cap[1])] = (mts(text), width(text))
            elif text.startswith("Initial VFs:"):
                vfs = re.match(r"Initial VFs: (\d+), Total VFs: (\d+), Number of VFs: (\d+)", text)
                facts[("vfs", cap[1])] = tuple(int(v) for v in vfs.groups())
            continue
        cap = None
        m = re.match(r"Region (\d): (.*)", text)
        if m:
            fact, size = bar_fact(int(m.group(1)), m.group(2))
            # Reading a dump, lspci shows the register that holds the upper
            # half of a 64-bit address above 4 GiB once more, as a 32-bit
            # region "at <unassigned>" (reading sysfs it does not): the pair
            # is one register, which the Region line before already gives.
            last = facts["bars"][-1] if facts["bars"] else None
            if last and last[1] == "mem64" and last[3] >> 32 != 0 and \
                    fact == (last[0] + 1, "mem32", False, 0) and "<unassigned>" in text:
                continue
            facts["bars"].append(fact)
            sizes[address][fact[0]] = size
            continue
        m = re.match(r"Bus: primary=([0-9a-f]+), secondary=([0-9a-f]+), subordinate=([0-9a-f]+)",
                     text)
        if m:
            facts["buses"] = tuple(int(v, 16) for v in m.groups())
            continue
        m = re.match(r"(I/O|Memory|Prefetchable memory) behind bridge: (.*)", text)
        if m:
            key = {"I/O": "io", "Memory": "memory", "Prefetchable memory": "prefetchable"}
            facts[("window", key[m.group(1)])] = window_fact(m.group(2))
            continue
        m = re.match(r"(Memory|I/O) window (\d): (.*)", text)
        if m:
            key = ("memory_" if m.group(1) == "Memory" else "io_") + m.group(2)
            facts[("window", key)] = window_fact(m.group(3))
    return functions, sizes


def lumivar_facts(functions):
    result = {}
    for f in functions:
        facts = {"caps": [], "bars": []}
        for c in f["capabilities"]:
            facts["caps"].append((c["list"], c["offset"], c["id"]))
            if c["kind"] == "msi":
                facts[("msi", c["offset"])] = (c["vectors_enabled"], c["vectors_capable"])
            elif c["kind"] == "msi_x":
                facts[("msix", c["offset"])] = c["table_size"]
            elif c["kind"] == "pci_express":
                facts[("port", c["offset"])] = c["port_type_code"]
                if "link_capabilities" in c:
                    lc, ls = c["link_capabilities"], c["link_status"]
                    facts[("link_cap", c["offset"])] = (lc["max_speed_mts"], lc["max_width"])
                    facts[("link_sta", c["offset"])] = (ls["speed_mts"], ls["width"])
            elif c["kind"] == "sr_iov":
                facts[("vfs", c["offset"])] = (c["initial_vfs"], c["total_vfs"],
                                               c["number_of_vfs"])
        for b in f["bars"]:
            facts["bars"].append((b["index"], b["kind"], b["prefetchable"],
                                  int(b["address"], 16)))
        bridge = f.get("bridge") or f.get("cardbus")
        if bridge is not None:
            first = bridge.get("primary_bus", bridge.get("pci_bus"))
            second = bridge.get("secondary_bus", bridge.get("cardbus_bus"))
            facts["buses"] = (first, second, bridge["subordinate_bus"])
            for key, w in bridge.items():
                if isinstance(w, dict) and "open" in w:
                    facts[("window", key)] = ((int(w["base"], 16), int(w["limit"], 16))
                                              if w["open"] else "closed")
        result[f["address"]] = facts
    return result


def compare(label, theirs, ours, problems, tally):
    for address in sorted(set(theirs) | set(ours)):
        if address not in ours or address not in theirs:
            problems.append("%s %s: only %s lists it" % (
                label, address, "lspci" if address in theirs else "lumivar"))
            continue
        t, o = theirs[address], ours[address]
        mine = [(c[0], c[1]) for c in o["caps"]]
        if [(c[0], c[1]) for c in t["caps"]] != mine or any(
                c[2] and oc[2] not in c[2] for c, oc in zip(t["caps"], o["caps"])):
            problems.append("%s %s: capabilities %s, lspci %s" % (
                label, address, o["caps"], t["caps"]))
        tally["capabilities"] = tally.get("capabilities", 0) + len(t["caps"])
        tally["bars"] = tally.get("bars", 0) + len(t["bars"])
        for key in sorted(set(t) | set(o), key=str):
            if key in ("caps", "bars"):
                if key == "bars" and t[key] != o[key]:
                    problems.append("%s %s bars: lumivar %s, lspci %s" % (
                        label, address, o[key], t[key]))
                continue
            kind = key[0] if isinstance(key, tuple) else key
            tally[kind] = tally.get(kind, 0) + 1
            # lspci leaves out CardBus windows that it does not decode.
            if key not in t and isinstance(key, tuple) and key[0] == "window" and \
                    o[key] == "closed":
                continue
            if t.get(key) != o.get(key):
                problems.append("%s %s %s: lumivar %s, lspci %s" % (
                    label, address, key, o.get(key), t.get(key)))


def run_json(lumivar, args, validator, label, problems):
    out = subprocess.run([lumivar] + args + ["--json"], check=True, capture_output=True).stdout
    functions = json.loads(out.decode("utf-8"))
    for error in validator.iter_errors(functions):
        problems.append("%s: schema: %s at %s" % (label, error.message[:200],
                                                    "/".join(map(str, error.path))))
    return functions


def main():
    lumivar, schema_path = sys.argv[1], sys.argv[2]
    live = "--live" in sys.argv[3:]
    dumps = [a for a in sys.argv[3:] if a != "--live"]
    with open(schema_path) as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    problems = []
    tally = {}
    compared = 0
    for dump in dumps:
        functions = run_json(lumivar, ["--from", dump], validator, dump, problems)
        theirs, _ = lspci_facts(["-F", dump], problems)
        compare(dump, theirs, lumivar_facts(functions), problems, tally)
        compared += len(functions)
        print("%s: %d functions" % (dump, len(functions)))
    if live:
        functions = run_json(lumivar, [], validator, "sysfs", problems)
        _, sizes = lspci_facts([], problems)
        for f in functions:
            for b in f["bars"]:
                want = sizes.get(f["address"], {}).get(b["index"])
                got = int(b["size"], 16) if b["size"] is not None else None
                if want != got:
                    problems.append("sysfs %s BAR %d: lumivar size %s, lspci %s" % (
                        f["address"], b["index"], got, want))
        print("this machine (sysfs): %d functions, BAR sizes against lspci" % len(functions))
    for p in problems:
        print("DIFFERENCE:", p)
    print("compared: " + ", ".join("%s %d" % kv for kv in sorted(tally.items())))
    print("%d functions compared, %d differences" % (compared, len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
