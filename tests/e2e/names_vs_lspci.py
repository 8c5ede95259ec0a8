#!/usr/bin/env python3
"""Names from pcidevs.txt against lspci's, function by function.

For each dump: the vendor, device, subsystem vendor and subsystem names of
`lumivar --from DUMP --names pcidevs.txt --report -` must equal what
`lspci -F DUMP -mm -nn` prints, cut to 79 characters, after the loader's two
rules (a subsystem name equal to its subsystem vendor's is dropped, then a
subsystem vendor name equal to the device's). A subsystem vendor that pci.ids
does not list under the device cannot be named by the database's tree; such
cases are counted and shown, not failed. Bridges (header layouts 1 and 2) keep
their subsystem ids away from offset 2Ch, so only their vendor and device
names are compared.
"""
import re
import shlex
import subprocess
import sys

NAME_LIMIT = 79


def lspci_names(dump):
    out = subprocess.run(["lspci", "-F", dump, "-mm", "-nn"], check=True,
                         capture_output=True, text=True, errors="replace").stdout
    names = {}
    for line in out.splitlines():
        fields = shlex.split(line)
        slot = fields[0]
        quoted = [f for f in fields[1:] if not f.startswith("-")]
        # class, vendor, device, subsystem vendor, subsystem
        def name(field, generic):
            m = re.fullmatch(r"(.*) \[[0-9a-f]{4}\]", field)
            text = m.group(1) if m else field
            return "" if text in generic else text
        vendor = name(quoted[1], ("Vendor",))
        device = name(quoted[2], ("Device",))
        sub_vendor = name(quoted[3], ("Vendor",)) if len(quoted) > 3 else ""
        subsystem = name(quoted[4], ("Device",)) if len(quoted) > 4 else ""
        names[slot] = [vendor, device, sub_vendor, subsystem]
    return names


def lumivar_names(lumivar, dump, database):
    out = subprocess.run([lumivar, "--from", dump, "--names", database, "--report", "-"],
                         check=True, capture_output=True).stdout.decode("cp1252")
    names = {}
    slot = None
    labels = {"Vendor ID": 0, "Device ID": 1, "SubVendor ID": 2, "subsystem ID": 3}
    for line in out.replace("\r\n", "\n").split("\n"):
        m = re.match(r"PCI Bus #(\d+),  PCI Device #(\d+),  Function #(\d+)", line)
        if m:
            slot = "%02x:%02x.%d" % (int(m.group(1)), int(m.group(2)), int(m.group(3)))
            names[slot] = ["", "", "", "", 0]
            continue
        m = re.match(r" {7}([0-9A-F]{2})h  Header Type", line)
        if m and slot:
            names[slot][4] = int(m.group(1), 16) & 0x7F
            continue
        m = re.match(r" {5}[0-9A-F]{4}h  (Vendor ID|Device ID|SubVendor ID|subsystem ID) ", line)
        if m and slot:
            # Labels are padded to 16 characters: the name starts at column 28.
            names[slot][labels[m.group(1)]] = line[28:]
    return names


def expected(lspci):
    vendor, device, sub_vendor, subsystem = (n[:NAME_LIMIT] for n in lspci)
    vendor = vendor or "Unknown"
    if sub_vendor == subsystem:
        subsystem = ""
    if device == sub_vendor:
        sub_vendor = ""
    return [vendor, device, sub_vendor, subsystem]


def main():
    lumivar, database, *dumps = sys.argv[1:]
    failures = unreachable = compared = bridges = 0
    for dump in dumps:
        theirs = lspci_names(dump)
        ours = lumivar_names(lumivar, dump, database)
        for slot, (*got, layout) in ours.items():
            want = expected(theirs[slot])
            compared += 1
            if layout != 0:
                # Bridges keep their subsystem ids elsewhere (a capability, or
                # offset 40h of a CardBus header); the table reads offset 2Ch of
                # every function, so only vendor and device names compare.
                bridges += 1
                got, want = got[:2], want[:2]
            if got == want:
                continue
            # The tree names a subsystem vendor only under a device that lists it.
            if got[2] == "" and want[2] != "" and got[:2] == want[:2] and got[3] == want[3]:
                unreachable += 1
                print("  not in the tree: %s %s subsystem vendor %r" % (dump, slot, want[2]))
                continue
            failures += 1
            print("FAIL %s %s\n  lumivar: %r\n  lspci:   %r" % (dump, slot, got, want))
    print("names-vs-lspci: %d functions compared (%d bridges by vendor and device only), %d differ, "
          "%d subsystem vendors outside the tree" % (compared, bridges, failures, unreachable))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
