#!/usr/bin/env python3
"""Lumivar against lspci on this machine, every measure in one run.

usage: compare_lspci.py BUILD_TREE SAMPLES_DIR WORK_DIR ROUNDS

Each round starts every command once, in turn (lumivar and lspci
alternating), with output to /dev/null, and takes its wall time; the table
gives medians over the rounds. Name database loads are timed inside a fresh
process by name_load_once (open, map, name 32 functions, close). Configuration
bytes are counted with strace over the sysfs config files. Peak resident
memory comes from GNU time (%M). Prints Markdown.
"""
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

CONFIG_READ = re.compile(r"^(?:\d+ +)?(?:read|pread64|readv|preadv2?)\(\d+<([^>]*)>.*= (\d+)$")


def run(argv):
    """Wall and processor (user + system) time of one run, in seconds; stops
    the benchmark if the run fails."""
    with open(os.devnull, "wb") as null:
        start = time.perf_counter()
        child = subprocess.Popen(argv, stdout=null, stderr=subprocess.PIPE)
        _, status, usage = os.wait4(child.pid, 0)
        elapsed = time.perf_counter() - start
        child.returncode = os.waitstatus_to_exitcode(status)
        error = child.stderr.read()
        child.stderr.close()
    if child.returncode != 0:
        sys.exit("%s failed (%d): %s" % (" ".join(argv), child.returncode,
                                          error.decode(errors="replace")))
    return elapsed, usage.ru_utime + usage.ru_stime


def load_times(argv):
    """The wall and processor time of the load that name_load_once prints."""
    out = subprocess.run(argv, check=True, capture_output=True, text=True).stdout.split()
    return int(out[0]) / 1e9, int(out[1]) / 1e9


def peak_kib(argv):
    with tempfile.NamedTemporaryFile("r") as report:
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report.name] + argv, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return int(report.read().split()[-1])


def config_bytes(argv):
    """Bytes read from sysfs config files by one run, counted by strace."""
    with tempfile.NamedTemporaryFile("r") as trace:
        subprocess.run(["strace", "-f", "-y", "-qq", "-e",
                        "trace=read,pread64,readv,preadv,preadv2", "-o", trace.name] + argv,
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        total = 0
        for line in trace:
            match = CONFIG_READ.match(line.strip())
            if match and match.group(1).endswith("/config"):
                total += int(match.group(2))
        return total


def read_functions(path):
    """The functions of a dump as (description, hex lines)."""
    functions, header, lines = [], None, []
    with open(path) as dump:
        for line in dump:
            line = line.rstrip("\n")
            if re.match(r"^[0-9a-f]{2}: ", line):
                lines.append(line)
            elif line.strip() == "":
                if header and lines:
                    functions.append((header, lines))
                header, lines = None, []
            elif not line.startswith("#") and re.match(r"^([0-9a-f]{4}:)?[0-9a-f]{2}:", line):
                header = line.split(" ", 1)[1] if " " in line else ""
    if header and lines:
        functions.append((header, lines))
    return functions


def write_dump(path, functions, count):
    """count functions from the given ones, on buses 0.. devices 0..31."""
    with open(path, "w") as dump:
        for i in range(count):
            description, lines = functions[i % len(functions)]
            dump.write("%02x:%02x.0 %s\n" % (i // 32, i % 32, description))
            dump.write("\n".join(lines) + "\n\n")


def machine(tree):
    model = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo")
                  if l.startswith("model name")), "unknown")
    mem = next(int(l.split()[1]) for l in open("/proc/meminfo") if l.startswith("MemTotal"))
    version = subprocess.run(["lspci", "--version"], capture_output=True, text=True).stdout
    root = "/sys/bus/pci/devices"
    functions = len(os.listdir(root)) if os.path.isdir(root) else 0
    return ("%d cores, %s, %.0f GiB; %s %s; %d PCI functions; %s; pcidevs.txt %d bytes."
            % (os.cpu_count(), model, mem / 1048576, os.uname().sysname, os.uname().release,
               functions, version.strip(), os.path.getsize(os.path.join(tree, "pcidevs.txt"))))


def load_average():
    return " ".join(open("/proc/loadavg").read().split()[:3])


def main():
    tree, samples_dir, work, rounds = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
    lumivar = os.path.join(tree, "src", "lumivar")
    names = os.path.join(tree, "pcidevs.txt")
    load_once = os.path.join(tree, "bench", "name_load_once")
    floor = os.path.join(tree, "bench", "config_floor")
    os.makedirs(work, exist_ok=True)

    print("Machine: %s" % machine(tree))
    print()
    print("Load average (1, 5, 15 min) at the start: %s" % load_average())
    print()

    sysfs = subprocess.run([lumivar, "--save-dump", "/dev/null"], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL).returncode == 0
    names10 = os.path.join(work, "pcidevs-10x.txt")
    with open(names, "rb") as one, open(names10, "wb") as ten:
        data = one.read()
        for _ in range(10):
            ten.write(data)
    samples = sorted(os.path.join(samples_dir, f) for f in os.listdir(samples_dir)
                     if f.endswith(".txt"))
    pool = [f for s in samples for f in read_functions(s)]
    dump32, dump256 = os.path.join(work, "32-functions.txt"), os.path.join(work, "256-functions.txt")
    write_dump(dump32, pool, 32)
    write_dump(dump256, pool, 256)
    machine_dump = samples[0]
    if sysfs:
        machine_dump = os.path.join(work, "this-machine.txt")
        subprocess.run([lumivar, "--save-dump", machine_dump], check=True)

    def report(source, database=names):
        return [lumivar] + (["--from", source] if source else []) + [
            "--names", database, "--report", "/dev/null"]

    # (label, lumivar command, lspci command or None, target ratio or None)
    rows = []
    if sysfs:
        rows.append(("floor: list, one 256-byte read per function, hex dump", [floor],
                     ["lspci", "-vv", "-xxx"], None))
        rows.append(("report of this machine through sysfs, full names", report(None),
                     ["lspci", "-vv", "-xxx"], "<= 0.50"))
    for sample in samples:
        rows.append(("report from %s (%d functions)" % (os.path.basename(sample),
                                                         len(read_functions(sample))),
                     report(sample), ["lspci", "-F", sample, "-vv", "-xxx"], "<= 0.30"))
    rows.append(("report from a dump of 32 functions", report(dump32),
                 ["lspci", "-F", dump32, "-vv", "-xxx"], None))
    rows.append(("report from a dump of 256 functions (32 reported)", report(dump256),
                 ["lspci", "-F", dump256, "-vv", "-xxx"], None))
    rows.append(("report from this machine's dump, names from the 10x file",
                 report(machine_dump, names10), None, None))
    rows.append(("report from this machine's dump, names from pcidevs.txt",
                 report(machine_dump), None, None))
    loads = [("pcidevs.txt (%.1f MB), in one block" % (len(data) / 1e6), [load_once, names],
              len(data)),
             ("10x pcidevs.txt (%.1f MB), in one block" % (10 * len(data) / 1e6),
              [load_once, names10], 10 * len(data)),
             ("pcidevs.txt, line reader (the reference)", [load_once, "--line-reader", names],
              len(data))]

    for _, ours, theirs, _ in rows:  # warm the page cache
        run(ours)
        if theirs:
            run(theirs)
    times = {i: ([], []) for i in range(len(rows))}
    load_runs = {i: [] for i in range(len(loads))}
    for _ in range(rounds):
        for i, (_, ours, theirs, _) in enumerate(rows):
            times[i][0].append(run(ours))
            if theirs:
                times[i][1].append(run(theirs))
        for i, (_, argv, _) in enumerate(loads):
            load_runs[i].append(load_times(argv))

    def median(samples, which):
        return statistics.median(sample[which] for sample in samples)

    print("Medians of %d alternating rounds. Wall time is what a user waits for; the processor "
          "time (user + system, from wait4) is what the program itself costs, and moves less "
          "with the load of others." % rounds)
    print()
    print("| measure | lumivar | lspci | ratio | target | processor time: lumivar, lspci, ratio |")
    print("|---|---|---|---|---|---|")
    for i, (label, _, theirs, target) in enumerate(rows):
        ours, ours_cpu = median(times[i][0], 0) * 1e3, median(times[i][0], 1) * 1e3
        if theirs:
            theirs_ms, theirs_cpu = median(times[i][1], 0) * 1e3, median(times[i][1], 1) * 1e3
            print("| %s | %.2f ms | %.2f ms | %.2f | %s | %.2f ms, %.2f ms, %.2f |"
                  % (label, ours, theirs_ms, ours / theirs_ms, target or "", ours_cpu,
                     theirs_cpu, ours_cpu / theirs_cpu))
        else:
            print("| %s | %.2f ms | | | | %.2f ms |" % (label, ours, ours_cpu))
    for i, (label, _, size) in enumerate(loads):
        wall, cpu = median(load_runs[i], 0), median(load_runs[i], 1)
        print("| name load in a fresh process: %s | %.2f ms, %.0f MB/s | | | %s | %.2f ms, "
              "%.0f MB/s |" % (label, wall * 1e3, size / wall / 1e6,
                               ">= 2000 MB/s" if "one block" in label else "", cpu * 1e3,
                               size / cpu / 1e6))
    if sysfs:
        ours_bytes = config_bytes(report(None))
        theirs_bytes = config_bytes(["lspci", "-vv", "-xxx"])
        print("| configuration bytes read through sysfs (strace) | %d | %d | %.3f | <= 1.05 | |"
              % (ours_bytes, theirs_bytes, ours_bytes / theirs_bytes))
        ours_kib = max(peak_kib(report(None)) for _ in range(5))
        theirs_kib = max(peak_kib(["lspci", "-vv", "-xxx"]) for _ in range(5))
        print("| peak resident memory, sysfs report (max of 5 runs) | %d KiB | %d KiB | %.2f |"
              " <= 0.62 | |" % (ours_kib, theirs_kib, ours_kib / theirs_kib))
    else:
        print("| sysfs rows, bytes read, memory | skipped: sysfs cannot be read here "
              "(run as root) | | | | |")
    print()
    print("Load average at the end: %s" % load_average())
    return 0


if __name__ == "__main__":
    sys.exit(main())
