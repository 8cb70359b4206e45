"""Plotting a collected sweep: one figure per swept answer, a panel per statistic of runs.csv,
each run a point and the replicates' mean and spread drawn."""

import os
import statistics
import struct
import unittest

import sweep_support as support

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as pyplot  # noqa: E402
from matplotlib.collections import PathCollection  # noqa: E402

from parasim_sweep import plot  # noqa: E402
from parasim_sweep.plan import load_plan  # noqa: E402
from parasim_sweep.runs_table import read_runs  # noqa: E402


def png_size(path):
    with open(path, "rb") as stream:
        data = stream.read(24)
    return struct.unpack(">II", data[16:24])


class Plot(support.SweepCase):
    def test_each_statistic_against_each_swept_answer(self):
        folder = self.planned(dict(support.TINY, mutation_rate=[0.002, 0.01], generations=60,
                                   carrying_capacity=60), replicates=3)
        done = self.sweep("plot", folder)
        self.assertEqual(done.returncode, 2)
        self.assertIn("run 'parasim-sweep collect' first", done.stderr)

        self.sweep_ok("run", folder)
        self.sweep_ok("collect", folder)
        done = self.sweep_ok("plot", folder)
        self.assertIn("runs-by-mutation_rate, runs-by-dispersal_prob", done.stdout)
        for stem in ("runs-by-mutation_rate", "runs-by-dispersal_prob"):
            self.assertGreater(png_size(os.path.join(folder, "plots", f"{stem}.png"))[0], 0)
            self.assertTrue(os.path.isfile(os.path.join(folder, "plots", f"{stem}.svg")))

        rows = read_runs(load_plan(folder))
        figure = plot.answer_figure(pyplot, rows, ["mutation_rate", "dispersal_prob"],
                                    "dispersal_prob")
        panels = [axes for axes in figure.axes if axes.get_visible()]
        self.assertEqual(len(panels), len(plot.DRAWN))
        species = panels[plot.DRAWN.index("species_at_end")]
        self.assertEqual([t.get_text() for t in species.get_xticklabels()], ["0.02", "0.1"])
        # Two series (the mutation rates), each of three replicates at each dispersal value:
        # the points are the runs' values, the bars their means.
        points = sorted(value for collection in species.collections
                        if isinstance(collection, PathCollection)
                        for value in collection.get_offsets()[:, 1])
        self.assertEqual(points, sorted(row["species_at_end"] for row in rows))
        means = sorted(line.get_ydata()[0] for line in species.lines if line.get_gid() == "mean")
        expected = sorted(
            statistics.fmean(row["species_at_end"] for row in rows
                             if (row["mutation_rate"], row["dispersal_prob"]) == key)
            for key in {(row["mutation_rate"], row["dispersal_prob"]) for row in rows})
        self.assertEqual(len(means), 4)
        self.assertGreater(len(set(points)), 1, "the runs should differ")
        for mean, value in zip(means, expected):
            self.assertAlmostEqual(mean, value)
        pyplot.close(figure)


if __name__ == "__main__":
    unittest.main()
