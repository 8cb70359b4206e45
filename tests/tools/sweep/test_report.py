"""parasim-sweep report: the sweep's web page and a page per run, made on demand; in headless
Chromium with the network off, each statistic drawn against each swept answer with a point per
run and a bar per combination, the table of runs sorted by a click, each run linking to its
own page."""

import csv
import os
import tempfile
import unittest

import page_browser
import sweep_support as support
from parasim_report import plotly_library
from parasim_sweep.plot import DRAWN

BROWSER_MISSING = page_browser.unavailable()
SCREENSHOTS = os.environ.get("PARASIM_SCREENSHOTS") or tempfile.gettempdir()

RUN_TRACES = """
const chart = document.getElementById("chart-" + arguments[0]);
const drawn = {};
chart._fullData.forEach(function (trace) {
  const group = chart.querySelector(".trace" + CSS.escape(trace.uid));
  drawn[trace.uid] = group ? group.querySelectorAll(".point").length : -1;
});
return drawn;
"""


def read_runs(folder):
    with open(os.path.join(folder, "runs.csv"), newline="") as stream:
        return list(csv.DictReader(stream))


def page_times(folder):
    runs = os.path.join(folder, "runs")
    return {name: os.stat(os.path.join(runs, name, "report.html")).st_mtime_ns
            for name in sorted(os.listdir(runs))}


class Report(support.SweepCase):
    def sweep_with_pages(self):
        folder = self.planned(dict(support.TINY, mutation_rate=[0.002, 0.01], generations=60,
                                   carrying_capacity=60), replicates=2)
        self.sweep_ok("run", folder)
        done = self.sweep_ok("report", folder)  # no collect before: report collects
        self.assertIn("runs.csv is missing: collecting first", done.stderr)
        self.assertEqual(len(read_runs(folder)), 8)
        return folder

    def test_report_collects_again_when_a_run_finished_after_runs_csv(self):
        folder = self.planned(dict(support.TINY, generations=30), replicates=1)
        self.sweep_ok("run", folder, "--task", "1")
        self.assertEqual(self.sweep("collect", folder, "--min-size", "3").returncode, 1)
        done = self.sweep_ok("report", folder)  # run 2 not done is not a fault of the page
        self.assertNotIn("collecting first", done.stderr)
        self.sweep_ok("run", folder, "--task", "2")
        done = self.sweep_ok("report", folder)
        self.assertIn("run 0002 finished after runs.csv was written: collecting first",
                      done.stderr)
        rows = read_runs(folder)
        self.assertEqual([row["run_id"] for row in rows], ["1", "2"])
        self.assertEqual({row["min_size"] for row in rows}, {"3"})  # the last collect's
        with open(os.path.join(folder, "report.html"), encoding="utf-8") as stream:
            self.assertIn('href="runs/0002/report.html"', stream.read())

    def test_pages_are_made_once_and_again_when_a_run_changes(self):
        folder = self.sweep_with_pages()
        self.assertTrue(os.path.isfile(os.path.join(folder, "report.html")))
        made = page_times(folder)
        self.assertEqual(len(made), 8)
        with open(os.path.join(folder, "report.html"), encoding="utf-8") as stream:
            page = stream.read()
        # one copy of plotly.js beside the pages, which link it
        with open(os.path.join(folder, "plotly.min.js"), encoding="utf-8") as stream:
            self.assertEqual(stream.read(), plotly_library.library_text())
        self.assertIn('<script src="plotly.min.js"', page)
        for name in made:
            with open(os.path.join(folder, "runs", name, "report.html"), encoding="utf-8") as run:
                run_page = run.read()
            self.assertIn('<script src="../../plotly.min.js"', run_page)
            self.assertNotIn(plotly_library.library_text()[:2000], run_page)
        # the two counts of the population at the end, each with its moment
        self.assertIn('title="final_population: the survivors after the last generation run',
                      page)
        self.assertIn('title="last_generation_population: the parasites at the start of the '
                      "last generation run, after its labelling", page)
        self.sweep_ok("report", folder)
        self.assertEqual(page_times(folder), made)
        # A run's record written anew makes its page again, and only its.
        record = os.path.join(folder, "runs", "0003", "record.json")
        os.utime(record, ns=(made["0003"] + 10**9, made["0003"] + 10**9))
        self.sweep_ok("report", folder)
        again = page_times(folder)
        self.assertGreater(again["0003"], made["0003"])
        self.assertEqual({k: v for k, v in again.items() if k != "0003"},
                         {k: v for k, v in made.items() if k != "0003"})

    def test_a_run_whose_page_fails_is_named_and_left_unlinked(self):
        folder = self.sweep_with_pages()
        run = os.path.join(folder, "runs", "0002")
        os.remove(os.path.join(run, "report.html"))
        results = os.path.join(run, "Output.dat")
        with open(results, "rb") as stream:
            text = stream.read()
        # Same size, so the run still counts as done, but a record the report refuses.
        at = text.index(b"\r\n", text.index(b"species")) + 2
        with open(results, "wb") as stream:
            stream.write(text[:at] + b"x" + text[at + 1:])
        done = self.sweep("report", folder)
        self.assertEqual(done.returncode, 1)
        self.assertIn("run 0002 has no page: parasim-report failed (exit status 1)", done.stderr)
        with open(os.path.join(folder, "report.html"), encoding="utf-8") as stream:
            page = stream.read()
        self.assertNotIn('href="runs/0002/report.html"', page)
        self.assertIn('href="runs/0001/report.html"', page)
        self.assertFalse(os.path.exists(os.path.join(run, "report.html")))

    @unittest.skipIf(BROWSER_MISSING, f"BROWSER TESTS SKIPPED: {BROWSER_MISSING}")
    def test_the_sweep_page_in_a_browser(self):
        folder = self.sweep_with_pages()
        rows = read_runs(folder)
        with page_browser.PageBrowser() as browser:
            browser.open(os.path.join(folder, "report.html"))
            self.assertEqual(browser.errors(), [])
            # nothing from a network; the charts drawn from the shared copy beside the page
            self.assertEqual(browser.fetched(), [])
            os.makedirs(SCREENSHOTS, exist_ok=True)
            shot = os.path.join(SCREENSHOTS, "sweep-page.png")
            browser.screenshot(shot)
            for chart, *box in page_browser.chart_regions(browser):
                coloured, colours = page_browser.ink(shot, box)
                self.assertGreater(coloured, 0.02, chart)
                self.assertGreater(colours, 50, chart)

            for answer, other in (("mutation_rate", "dispersal_prob"),
                                  ("dispersal_prob", "mutation_rate")):
                drawn = browser.run(RUN_TRACES, f"runs-by-{answer}")
                series = sorted({row[other] for row in rows}, key=float)
                for statistic in DRAWN:
                    for number, value in enumerate(series, start=1):
                        mine = [row for row in rows
                                if row[other] == value and row[statistic] != ""]
                        cells = {row[answer] for row in mine}
                        # A series without a value in a panel has no trace there.
                        self.assertEqual(drawn.get(f"{statistic}-runs-{number}", 0), len(mine))
                        self.assertEqual(drawn.get(f"{statistic}-mean-{number}", 0), len(cells))

            links = browser.run("return Array.from(document.querySelectorAll("
                                "'table.runs tbody a')).map(a => a.getAttribute('href'))")
            self.assertEqual(links, [f"runs/{name}/report.html"
                                     for name in support.run_folders(folder)])
            browser.run("document.querySelectorAll('table.runs th')[4].click()")
            seeds = browser.run("return Array.from(document.querySelectorAll("
                                "'table.runs tbody tr')).map(r => Number(r.cells[4].textContent))")
            self.assertEqual(seeds, sorted(int(row["seed"]) for row in rows))

            # A click on a run's point opens the run's page, which draws its own charts.
            browser.run("""
              const chart = document.getElementById("chart-runs-by-mutation_rate");
              const trace = chart._fullData.findIndex(t => t.uid === "final_population-runs-1");
              chart.emit("plotly_click", {points: [{customdata: chart.data[trace].customdata[0]}]});
            """)
            first = os.path.join(folder, "runs", support.run_folders(folder)[0], "report.html")
            browser.wait_until_ready(first)
            self.assertEqual(browser.errors(), [])
            self.assertIn("parasim run: Output.dat", browser.run("return document.title"))


if __name__ == "__main__":
    unittest.main()
