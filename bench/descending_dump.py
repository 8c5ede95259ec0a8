#!/usr/bin/env python3
"""Loading a dump of every function that a slot byte can address (65,536, bus
00 to ff) written in descending order, so that each function comes before all
that it follows: lumivar --from (load, scan, --save-dump) and kestrix.sys's
table (built for this machine) against lspci -F on the same file. Prints a
Markdown table of median wall times.

Usage: descending_dump.py LUMIVAR DUMP_TABLE_LOAD ROUNDS
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time


def write_dump(path):
    # Byte i of function `order` is (order + i) & FF: a hex line depends only
    # on its first byte, so there are 256 of them to format.
    lines = [" ".join("%02x" % ((first + i) & 0xFF) for i in range(16)) for first in range(256)]
    with open(path, "w") as out:
        for order in range(0xFFFF, -1, -1):
            out.write("%02x:%02x.%d Host bridge: Example\n" % (order >> 8, order >> 3 & 0x1F,
                                                                 order & 7))
            out.write("".join("%02x: %s\n" % (offset, lines[(order + offset) & 0xFF])
                              for offset in range(0, 256, 16)) + "\n")


def wall(argv):
    start = time.perf_counter()
    subprocess.run(argv, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    lumivar, table_load, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3])
    with tempfile.TemporaryDirectory() as work:
        dump = os.path.join(work, "descending.txt")
        write_dump(dump)
        ours = statistics.median(wall([lumivar, "--from", dump, "--save-dump", os.devnull])
                                 for _ in range(rounds))
        theirs = wall(["lspci", "-F", dump])  # seconds a run: once is enough
        driver = float(subprocess.run([table_load, dump], check=True, capture_output=True,
                                      text=True).stdout)
        size = os.path.getsize(dump) / 2**20
    print("| 65,536 functions in descending order (%.0f MiB), median of %d | time | lspci -F, once | ratio |"
          % (size, rounds))
    print("|---|---|---|---|")
    print("| lumivar --from DUMP --save-dump /dev/null | %.0f ms | %.0f ms | %.2f |"
          % (ours * 1e3, theirs * 1e3, ours / theirs))
    print("| kestrix.sys's table: the load in DriverEntry | %.0f ms | | %.2f |"
          % (driver, driver / 1e3 / theirs))
    return 0


if __name__ == "__main__":
    sys.exit(main())
