#!/usr/bin/python3
"""Times the page, d88cut.html, in headless Chromium on the seven-disk
sample set, side by side with the native programs on the same file.

Every round runs, one after another:
  - the page, opened afresh, given the set's file: the time from the file
    input's change event to data-state "done", taken inside the page with
    performance.now(), and on to the first frame drawn after it; of that,
    the time from posting the file's bytes to the core's Worker to its
    result back (putting it into the core's file system, the cut, the
    scan, the folder's files copied back) and in the zip
    (fflate.zipSync); the rest is reading the file and drawing the
    summary, the messages, the report, the maps and the blob links;
  - d88cut on the set, as a process, into an empty folder of BUILD_DIR;
  - d88cut, d88scan and d88scan --json on the set, one process after
    another: what the page shows.
It prints the median of each and the ratios of the medians.

    /usr/bin/python3 bench/page_bench.py [PAGE] [BUILD_DIR] [ROUNDS]

Needs Debian's chromium, chromium-driver and python3-selenium, as the page
test does.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from page_test import open_page, wait  # noqa: E402

# The core runs in the page's Worker: its time is taken from the file's
# bytes posted to it to its result back, added to window.bench.core. Put
# into every document before the page's own script runs.
WORKER_HOOK = """
(function () {
  var post = Worker.prototype.postMessage;
  Worker.prototype.postMessage = function (message) {
    if (message && message.type === 'file') {
      var started = performance.now(), worker = this;
      worker.addEventListener('message', function done(event) {
        if (event.data.type !== 'result')
          return;
        worker.removeEventListener('message', done);
        if (window.bench)
          window.bench.core += performance.now() - started;
      });
    }
    return post.apply(this, arguments);
  };
})();"""

# Times, in the page, the zip, and the choice to "done" and to the next
# frame drawn.
INSTRUMENT = """
window.bench = {core: 0, zip: 0, longest: 0};
new PerformanceObserver(function (list) {
  list.getEntries().forEach(function (e) { bench.longest = Math.max(bench.longest, e.duration); });
}).observe({entryTypes: ['longtask']});
function timed(object, name, key) {
  var original = object[name];
  object[name] = function () {
    var start = performance.now();
    try { return original.apply(this, arguments); } finally { bench[key] += performance.now() - start; }
  };
}
timed(fflate, 'zipSync', 'zip');
document.addEventListener('change', function () { bench.chosen = performance.now(); }, true);
new MutationObserver(function () {
  if (document.body.dataset.state !== 'done' || bench.done)
    return;
  bench.done = performance.now();
  requestAnimationFrame(function () { setTimeout(function () { bench.drawn = performance.now(); }); });
}).observe(document.body, {attributes: true, attributeFilter: ['data-state']});"""


def page_round(driver, page, set_file):
    driver.get("file://" + page)
    wait(driver, 30, lambda d: d.execute_script("return document.body.dataset.state") == "ready")
    driver.execute_script(INSTRUMENT)
    driver.find_element("id", "d88-files").send_keys(set_file)
    wait(driver, 60, lambda d: d.execute_script("return window.bench.drawn !== undefined"))
    time.sleep(0.2)  # a long task is reported once it has ended
    b = driver.execute_script("return window.bench")
    done = b["done"] - b["chosen"]
    return {"page: chosen to done": done, "page: to first frame after": b["drawn"] - b["chosen"],
            "  core in its Worker, file to result": b["core"], "  zip": b["zip"],
            "  the rest": done - b["core"] - b["zip"],
            "longest task on the page's thread": b["longest"]}


def native_round(build, set_file, work):
    """Milliseconds of d88cut alone and of the three programs, each into a
    fresh folder."""
    times = {}
    for name, runs in (("native: d88cut", [["d88cut"]]),
                       ("native: d88cut + d88scan + --json", [["d88cut"], ["d88scan"], ["d88scan", "--json"]])):
        folder = tempfile.mkdtemp(dir=work)
        start = time.perf_counter()
        for program, *options in runs:
            subprocess.run([os.path.join(build, program), *options, set_file], cwd=folder,
                           stdout=subprocess.DEVNULL, check=program == "d88cut")
        times[name] = (time.perf_counter() - start) * 1000
        shutil.rmtree(folder)
    return times


def main():
    page = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build-web/d88cut.html")
    build = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else "build")
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 15
    # The native programs write into the build folder: on some machines
    # /tmp makes files several times as slowly as the disk a user's
    # folders are on.
    work = tempfile.mkdtemp(prefix="page-bench-", dir=build)
    driver = open_page(page)
    driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": WORKER_HOOK})
    try:
        set_file = os.path.join(work, "set.d88")
        subprocess.run([os.path.join(build, "make_sample_set"), set_file], check=True)
        page_round(driver, page, set_file)  # warm-up
        native_round(build, set_file, work)
        times = {}
        for _ in range(rounds):
            for name, ms in {**page_round(driver, page, set_file), **native_round(build, set_file, work)}.items():
                times.setdefault(name, []).append(ms)
    finally:
        driver.quit()
        shutil.rmtree(work)
    median = {name: statistics.median(t) for name, t in times.items()}
    print(f"the seven-disk sample set, {rounds} rounds, medians in ms:")
    for name, ms in median.items():
        print(f"  {name:36s} {ms:8.1f}")
    page_ms = median["page: chosen to done"]
    for name in ("native: d88cut", "native: d88cut + d88scan + --json"):
        print(f"page (to done) / {name[8:]}: {page_ms / median[name]:6.1f}")
    print(f"page, chosen to done: {page_ms / 1000:.2f} s (aim: under 0.5 s)")
    longest = max(times["longest task on the page's thread"])
    print(f"longest task on the page's thread in any round: {longest:.0f} ms (aim: none over 100 ms; "
          "a longtask is one over 50 ms, 0 when there was none)")


if __name__ == "__main__":
    main()
