#!/usr/bin/env python3
"""lumivar --report against lspci -vv -xxx on this machine, alternating.

Each round runs both commands once, in turn, with output to /dev/null, and
takes their wall times. Peak resident memory comes from GNU time (%M) in
separate runs: a child's own maximum, not the forking interpreter's. Prints
the medians and the ratios as Markdown.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time


def run(argv):
    start = time.perf_counter()
    done = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit("%s failed (%d): %s" % (" ".join(argv), done.returncode,
                                          done.stderr.decode(errors="replace")))
    return elapsed


def peak_kib(argv):
    with tempfile.NamedTemporaryFile("r") as report:
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report.name] + argv, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return int(report.read().split()[-1])


def main():
    lumivar, names, rounds, dump = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
    ours_cmd = [lumivar, "--names", names, "--report", "/dev/null"]
    theirs_cmd = ["lspci", "-vv", "-xxx"]
    # The same report from a dump of the same functions: everything but the
    # configuration reads, which on a virtual machine cost the hypervisor's time.
    dump_cmd = [lumivar, "--from", dump, "--names", names, "--report", "/dev/null"]
    ours, theirs, from_dump = [], [], []
    run(ours_cmd), run(theirs_cmd), run(dump_cmd)  # warm the page cache
    for _ in range(rounds):
        ours.append(run(ours_cmd))
        theirs.append(run(theirs_cmd))
        from_dump.append(run(dump_cmd))
    t_ours = statistics.median(ours)
    t_theirs = statistics.median(theirs)
    t_dump = statistics.median(from_dump)
    m_ours = max(peak_kib(ours_cmd) for _ in range(5))
    m_theirs = max(peak_kib(theirs_cmd) for _ in range(5))
    print("| measure | lumivar --report | lspci -vv -xxx | ratio |")
    print("|---|---|---|---|")
    print("| median wall time, %d alternating rounds | %.2f ms | %.2f ms | %.2f |"
          % (rounds, t_ours * 1e3, t_theirs * 1e3, t_ours / t_theirs))
    print("| the same report from a dump, no configuration reads | %.2f ms | | %.2f |"
          % (t_dump * 1e3, t_dump / t_theirs))
    print("| peak resident memory (max of 5 runs) | %d KiB | %d KiB | %.2f |"
          % (m_ours, m_theirs, m_ours / m_theirs))
    return 0


if __name__ == "__main__":
    sys.exit(main())
