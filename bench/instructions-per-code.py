#!/usr/bin/env python3
"""Instructions per interpreted code, counted by callgrind: the same on a busy machine as
on an idle one, where the nanoseconds of bench_codes swing by a third.
usage: bench/instructions-per-code.py [BENCH_CODES] [FILTER]
  defaults: build/native/bench/bench_codes, InterpretFully (each of its codes)"""
import os
import re
import subprocess
import sys
import tempfile

bench = sys.argv[1] if len(sys.argv) > 1 else "build/native/bench/bench_codes"
pattern = sys.argv[2] if len(sys.argv) > 2 else "InterpretFully"
listed = subprocess.run([bench, "--benchmark_list_tests", "--benchmark_filter=" + pattern],
                        capture_output=True, text=True, check=True).stdout.split()
for name in listed:
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "callgrind.out")
        subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + out,
                        "--toggle-collect=InterpretCodeFully*", bench,
                        "--benchmark_filter=^" + re.escape(name) + "$",
                        "--benchmark_min_time=0.05"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        # Only InterpretCodeFully is counted; its calls are the codes interpreted.
        names, callee, calls, total = {}, "", 0, 0
        for line in open(out):
            named = re.match(r"c?fn=\((\d+)\)(?: (.*))?", line)
            if named:
                if named.group(2):
                    names[named.group(1)] = named.group(2)
                if line.startswith("cfn="):
                    callee = names.get(named.group(1), "")
            elif line.startswith("calls=") and callee.startswith("InterpretCodeFully"):
                calls += int(line.split("=")[1].split()[0])
            elif line.startswith(("summary:", "totals:")):
                total = int(line.split()[1])
    print(f"{name}: {total / max(calls, 1):.0f} instructions per code ({calls} codes)")
