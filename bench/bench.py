#!/usr/bin/env python3
"""Times whole d88cut processes side by side with tar, on the sample set.

Every round runs, one after another and in turn:
  - d88cut on the seven-disk sample set,
  - tar -xf of an archive holding exactly the files that run writes (one
    read of the input and one write of each output: the least work that
    yields those files),
  - d88cut on a file of 64 images (nine sets and one more disk), the most
    the catalogue takes.
It prints the median wall time of each, their ratios and each one's peak
memory, never a single absolute time on its own. Given a second build
(an earlier version, say), its d88cut runs on the set in the same rounds,
so a change is measured side by side with what it changed.

    bench/bench.py [BUILD_DIR] [ROUNDS] [OTHER_BUILD_DIR]
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 31
other = os.path.abspath(sys.argv[3]) if len(sys.argv) > 3 else None
d88cut = os.path.join(build, "d88cut")
other_d88cut = os.path.join(other, "d88cut") if other else None
make_sample_set = os.path.join(build, "make_sample_set")
for program in filter(None, (d88cut, make_sample_set, other_d88cut)):
    if not os.access(program, os.X_OK):
        sys.exit(f"bench: no {program}; build first: cmake -S . -B build && cmake --build build")


def spawn(argv, cwd):
    """Runs one process; returns its wall time in seconds."""
    start = time.perf_counter()
    done = subprocess.run(argv, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit(f"bench: {' '.join(argv)} failed: {done.stderr.decode()}")
    return elapsed


def peak_memory(argv, cwd):
    """Peak resident memory of one run in MiB, or None without GNU time.

    A child forked from this Python process would count Python's own pages
    in its peak, so the run is started by the small time program instead.
    """
    if not os.access("/usr/bin/time", os.X_OK):
        return None
    report = os.path.join(cwd, ".peak")
    subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report, *argv], cwd=cwd,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    with open(report) as f:
        kib = int(f.read().split()[-1])
    os.remove(report)
    return kib / 1024


work = tempfile.mkdtemp(prefix="d88cut-bench-")
try:
    set_file = os.path.join(work, "set.d88")
    big_file = os.path.join(work, "64.d88")
    subprocess.run([make_sample_set, set_file, "7"], check=True)
    subprocess.run([make_sample_set, big_file, "64"], check=True)

    # The archive holds exactly what d88cut writes from the set.
    reference = os.path.join(work, "reference")
    os.mkdir(reference)
    spawn([d88cut, set_file], reference)
    outputs = sorted(os.listdir(reference))
    archive = os.path.join(work, "outputs.tar")
    subprocess.run(["tar", "-cf", archive, "-C", reference, *outputs], check=True)

    cases = {
        "d88cut, 7-disk set": ([d88cut, set_file], "cut-set"),
        "tar -xf, same files": (["tar", "-xf", archive], "tar-set"),
        "d88cut, 64 images": ([d88cut, big_file], "cut-64"),
    }
    if other:
        cases["other d88cut, set"] = ([other_d88cut, set_file], "other-set")
    times = {name: [] for name in cases}
    for name, (_, folder) in cases.items():
        os.mkdir(os.path.join(work, folder))
    for name, (argv, folder) in cases.items():  # one warm-up round
        spawn(argv, os.path.join(work, folder))
    for _ in range(rounds):
        for name, (argv, folder) in cases.items():
            times[name].append(spawn(argv, os.path.join(work, folder)))
    peaks = {name: peak_memory(argv, os.path.join(work, folder))
             for name, (argv, folder) in cases.items()}

    median = {name: statistics.median(t) for name, t in times.items()}
    print(f"{len(outputs)} output files, {os.path.getsize(set_file)} bytes of set, "
          f"{rounds} rounds, medians of wall time:")
    for name in cases:
        peak = "n/a (no /usr/bin/time)" if peaks[name] is None else f"{peaks[name]:5.2f} MiB"
        print(f"  {name:22s} {median[name] * 1000:8.2f} ms   peak memory {peak}")
    set_ratio = median["d88cut, 7-disk set"] / median["tar -xf, same files"]
    big_ratio = median["d88cut, 64 images"] / median["d88cut, 7-disk set"]
    big_limit = 1.2 * 64 / 7
    print(f"d88cut / tar on the set:     {set_ratio:5.2f}  (target at most 1.5)")
    print(f"64 images / 7-disk set:      {big_ratio:5.2f}  (target at most {big_limit:.2f})")
    if other:
        other_ratio = median["d88cut, 7-disk set"] / median["other d88cut, set"]
        print(f"d88cut / {other}'s on the set: {other_ratio:5.2f}")
    if peaks["d88cut, 64 images"] is not None:
        worst_peak = max(peaks["d88cut, 7-disk set"], peaks["d88cut, 64 images"])
        print(f"d88cut peak memory:          {worst_peak:5.2f} MiB (target under 4)")
finally:
    shutil.rmtree(work)
