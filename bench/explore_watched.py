#!/usr/bin/python3
"""How fast a run goes while parasim-explore's page watches it, against the same run in Python
without the page, and how long the buttons take to answer.

    PYTHONPATH=build/release/python:tests/tools /usr/bin/python3 bench/explore_watched.py \\
        build/release/tools/explore/parasim-explore

For each scenario: the generations per second of parasim.Simulation.run alone over a window of
generations (after the population has grown), then the same window of the same run (same
answers, same seed) started from parasim-explore's page open in headless Chromium, which
draws every chart as it polls; the ratio of the two; then, in the run's following generations,
the seconds POST /api/pause and POST /api/step take to answer (the step runs a whole
generation), and the bytes of GET /api/state with every chart and without the charts through
time. The two are measured in turns, ROUNDS times each, and their medians are shown: on a
machine doing other work the figures wander from one turn to the next, and the ratio of the
medians is the figure to read.
"""

import argparse
import json
import statistics
import subprocess
import sys
import time
import urllib.parse
import urllib.request

import page_browser  # tests/tools, on PYTHONPATH
import parasim
from parasim_explore.run_request import EXAMPLE_ANSWERS

EXAMPLE = {name: value for name, value in EXAMPLE_ANSWERS.items() if name != "generations"}
# name: (answers, generations before the window, generations in it)
SCENARIOS = {
    "example (about 700 parasites)": (dict(EXAMPLE), 100, 300),
    "10,000 parasites": (dict(EXAMPLE, carrying_capacity=2000), 40, 30),
}
SEED = 42
ROUNDS = 3


def unwatched(answers, before, window):
    sim = parasim.Simulation(parasim.Parameters(**answers, generations=before + window + 10),
                             seed=SEED)
    sim.run(before)
    started = time.monotonic()
    sim.run(window)
    return window / (time.monotonic() - started), sim.population_size


class Explorer:
    def __init__(self, launcher):
        self.process = subprocess.Popen([launcher, "--no-browser"], stdout=subprocess.PIPE,
                                        text=True)
        self.address = self.process.stdout.readline().split("open ", 1)[1].strip()
        parts = urllib.parse.urlsplit(self.address)
        self.base = f"{parts.scheme}://{parts.netloc}"
        self.token = urllib.parse.parse_qs(parts.query)["token"][0]

    def call(self, method, path, value=None):
        request = urllib.request.Request(
            self.base + path, method=method,
            data=None if value is None else json.dumps(value).encode(),
            headers={"X-Parasim-Token": self.token, "Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=600) as response:
            return response.read()

    def state(self):
        return json.loads(self.call("GET", "/api/state?history=0"))

    def wait_for(self, generation):
        while True:
            state = self.state()
            if state["generation"] >= generation:
                return time.monotonic(), state["generation"]
            time.sleep(0.05)

    def stop(self):
        self.process.terminate()
        self.process.wait(60)


def watched(launcher, answers, before, window):
    explorer = Explorer(launcher)
    try:
        with page_browser.PageBrowser(loopback=True) as browser:
            browser.driver.get(explorer.address)
            explorer.call("POST", "/api/run", {
                "parameters": {**answers, "generations": before + window + 10000}, "seed": SEED})
            start, first = explorer.wait_for(before)
            end, last = explorer.wait_for(before + window)
            rate = (last - first) / (end - start)
            clicked = time.monotonic()
            explorer.call("POST", "/api/pause")
            pause = time.monotonic() - clicked
            clicked = time.monotonic()
            explorer.call("POST", "/api/step")
            step = time.monotonic() - clicked
            sizes = (len(explorer.call("GET", "/api/state")),
                     len(explorer.call("GET", "/api/state?history=0")))
            errors = browser.errors()
        return rate, pause, step, sizes, errors
    finally:
        explorer.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("launcher", help="parasim-explore of a build")
    options = parser.parse_args()
    missing = page_browser.unavailable()
    if missing:
        print(f"explore_watched.py: {missing}", file=sys.stderr)
        return 2
    print(f"{'scenario':<30} {'parasites':>9} {'alone_gen/s':>11} {'watched_gen/s':>13} "
          f"{'ratio':>6} {'pause_s':>8} {'step_s':>7} {'state_kB':>9} {'now_kB':>7}")
    for name, (answers, before, window) in SCENARIOS.items():
        alone, seen = [], []
        for _ in range(ROUNDS):
            rate, parasites = unwatched(answers, before, window)
            alone.append(rate)
            rate, pause, step, sizes, errors = watched(options.launcher, answers, before,
                                                       window)
            seen.append((rate, pause, step))
            if errors:
                print(f"  the page's console: {errors}")
        alone = statistics.median(alone)
        rate, pause, step = (statistics.median(values) for values in zip(*seen))
        print(f"{name:<30} {parasites:>9} {alone:>11.1f} {rate:>13.1f} {rate / alone:>6.2f} "
              f"{pause:>8.2f} {step:>7.2f} {sizes[0] / 1e3:>9.0f} {sizes[1] / 1e3:>7.0f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
