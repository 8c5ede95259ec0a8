#!/usr/bin/env python3
"""Names from pcidevs.txt against lspci's, function by function: the vendor,
device, subsystem vendor and subsystem names of lumivar's report must equal
what `lspci -F DUMP -mm -nn` prints, cut to 79 characters, after the loader's
two rules (a subsystem name equal to its vendor's is dropped, then a subsystem
vendor name equal to the device's). A subsystem vendor that pci.ids does not
list under the device is out of the tree's reach: shown, not failed. Bridges
(header layouts 1 and 2) keep their subsystem ids elsewhere: only vendor and
device names compare.

Usage: names_vs_lspci.py LUMIVAR PCIDEVS DUMP...
"""
import re
import shlex
import subprocess
import sys


def lspci_names(dump):
    out = subprocess.run(["lspci", "-F", dump, "-mm", "-nn"], check=True, capture_output=True,
                         text=True, errors="replace").stdout
    names = {}
    for line in out.splitlines():
        slot, *fields = [f for f in shlex.split(line) if not f.startswith("-")]
        plain = [re.sub(r" \[[0-9a-f]{4}\]$", "", f) for f in fields[1:5]] + ["", ""]
        names[slot] = [n if n not in ("Vendor", "Device") else "" for n in plain[:4]]
    return names


def lumivar_names(lumivar, dump, database):
    out = subprocess.run([lumivar, "--from", dump, "--names", database, "--report", "-"],
                         check=True, capture_output=True).stdout.decode("cp1252")
    names, labels = {}, ["Vendor ID", "Device ID", "SubVendor ID", "subsystem ID"]
    for line in out.replace("\r\n", "\n").split("\n"):
        m = re.match(r"PCI Bus #(\d+),  PCI Device #(\d+),  Function #(\d+)", line)
        if m:
            slot = "%02x:%02x.%d" % tuple(int(g) for g in m.groups())
            names[slot] = ["", "", "", "", 0]
        elif re.match(r" {7}[0-9A-F]{2}h  Header Type", line):
            names[slot][4] = int(line[7:9], 16) & 0x7F
        elif re.match(r" {5}[0-9A-F]{4}h  (%s) " % "|".join(labels), line):
            names[slot][labels.index(line[12:28].strip())] = line[28:]
    return names


def main():
    lumivar, database, *dumps = sys.argv[1:]
    failures = unreachable = compared = 0
    for dump in dumps:
        theirs = lspci_names(dump)
        for slot, (*got, layout) in lumivar_names(lumivar, dump, database).items():
            vendor, device, sub_vendor, subsystem = (n[:79] for n in theirs[slot])
            subsystem = "" if sub_vendor == subsystem else subsystem
            want = [vendor or "Unknown", device, "" if device == sub_vendor else sub_vendor, subsystem]
            if layout != 0:
                got, want = got[:2], want[:2]
            compared += 1
            if got == want:
                continue
            if got[2] == "" and want[2] != "" and got[:2] + got[3:] == want[:2] + want[3:]:
                unreachable += 1
                print("  not in the tree: %s %s subsystem vendor %r" % (dump, slot, want[2]))
                continue
            failures += 1
            print("FAIL %s %s\n  lumivar: %r\n  lspci:   %r" % (dump, slot, got, want))
    print("names-vs-lspci: %d functions compared, %d differ, %d subsystem vendors outside the tree"
          % (compared, failures, unreachable))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
