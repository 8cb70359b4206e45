"""The figures of parasim_report.figures, and parasim-report --plot from a results file to the
images."""

import os
import pathlib
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

import results_file_writer
from parasim_report import columns, figures
from parasim_report.figure_legends import FIGURE_DPI, FIGURE_INCHES
from parasim_report.results_figures import (LARGEST_MARKER_AREA, MOST_MARKERS, generation_stride,
                                            load_tables, phenotype_figure, population_figure)

FIGURES = [sys.executable, "-m", "parasim_report.figures"]

SVG = "{http://www.w3.org/2000/svg}"
FIGURE_STEMS = ["phenotypes", "population"]


def write_tables(folder, generations, hosts, points):
    """Writes the three tables the script reads, from rows given as tuples."""
    for table, rows in ((columns.GENERATIONS, generations), (columns.HOSTS, hosts),
                        (columns.POINTS, points)):
        lines = [table.header] + [",".join(str(value) for value in row) for row in rows]
        (pathlib.Path(folder) / table.file).write_text("\n".join(lines) + "\n", encoding="ascii")


# Three species on two hosts at phenotypes 5 and 6; species 3 appears at generation 20.
GENERATIONS = [(1, 3, 1, 5.0, 0.0), (10, 5, 2, 5.4, 0.4), (20, 6, 3, 5.3, 0.5)]
HOSTS = [
    (1, 1, 3, "5.0000", 1, "1"),
    (10, 1, 3, "5.0000", 1, "1"),
    (10, 2, 2, "6.0000", 1, "2"),
    (20, 1, 4, "5.0000", 2, "1;3"),
    (20, 2, 2, "6.0000", 1, "2"),
]
POINTS = [
    (1, 1, "5.0000", 3),
    (10, 1, "5.0000", 2),
    (10, 1, "5.1000", 1),
    (10, 2, "6.0000", 2),
    (20, 1, "5.0000", 2),
    (20, 2, "6.0000", 2),
    (20, 3, "4.8000", 1),
    (20, 3, "4.9000", 1),
    (20, 3, "5.0000", 1),
]


def png_size(path):
    """Width and height from the PNG signature and its IHDR chunk."""
    data = pathlib.Path(path).read_bytes()
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise AssertionError(f"{path} is not a PNG")
    return struct.unpack(">II", data[16:24])


def svg_group_ids(path, prefix):
    root = ElementTree.parse(path).getroot()
    return sorted(
        element.get("id")
        for element in root.iter(f"{SVG}g")
        if element.get("id", "").startswith(prefix)
    )


class FiguresFromTables(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)
        self.path = pathlib.Path(self.folder.name)
        write_tables(self.path, GENERATIONS, HOSTS, POINTS)

    def test_phenotype_figure_has_a_series_per_species_and_a_line_per_host(self):
        figure = phenotype_figure(load_tables(self.path))
        axes = figure.axes[0]
        series = {collection.get_gid(): collection for collection in axes.collections}
        self.assertEqual(sorted(series), ["species-1", "species-2", "species-3"])
        self.assertEqual(len(series["species-1"].get_offsets()), 4)
        # Species 1 and 3 share phenotype 5.0 at generation 20: side by side around 20, the
        # larger species on the left, 0.15 of the median report spacing (9.5) apart.
        self.assertEqual(series["species-3"].get_offsets().tolist()[:2], [[20, 4.8], [20, 4.9]])
        shift = 0.15 * 9.5 / 2
        self.assertAlmostEqual(series["species-1"].get_offsets()[-1][0], 20 - shift)
        self.assertAlmostEqual(series["species-3"].get_offsets()[-1][0], 20 + shift)
        colours = {tuple(collection.get_facecolor()[0]) for collection in series.values()}
        self.assertEqual(len(colours), 3)
        # The group of three founders is the largest: it gets the largest marker.
        self.assertEqual(series["species-1"].get_sizes()[0], LARGEST_MARKER_AREA)
        self.assertAlmostEqual(
            series["species-3"].get_sizes()[0], LARGEST_MARKER_AREA / 3
        )
        host_lines = [line for line in axes.lines if line.get_gid().startswith("host-phenotype")]
        self.assertEqual(sorted(line.get_ydata()[0] for line in host_lines), [5.0, 6.0])
        species_key, size_key = figure.legends
        self.assertEqual([text.get_text() for text in species_key.get_texts()],
                         ["label 1", "label 2", "label 3"])
        self.assertEqual([text.get_text() for text in size_key.get_texts()], ["1", "3"])

    def test_population_figure_plots_population_and_species(self):
        figure = population_figure(load_tables(self.path))
        population, species = (axes.lines[0] for axes in figure.axes)
        self.assertEqual(population.get_xdata().tolist(), [1, 10, 20])
        self.assertEqual(population.get_ydata().tolist(), [3, 5, 6])
        self.assertEqual(species.get_ydata().tolist(), [1, 2, 3])

    def test_files_decode_as_images_of_the_figure_size(self):
        self.assertEqual(figures.main([str(self.path)]), 0)
        width = int(FIGURE_INCHES[0] * FIGURE_DPI)
        height = int(FIGURE_INCHES[1] * FIGURE_DPI)
        for stem in FIGURE_STEMS:
            self.assertEqual(png_size(self.path / f"{stem}.png"), (width, height))
            root = ElementTree.parse(self.path / f"{stem}.svg").getroot()
            self.assertEqual(root.tag, f"{SVG}svg")
            self.assertEqual(root.get("width"), f"{FIGURE_INCHES[0] * 72:g}pt")
        svg = self.path / "phenotypes.svg"
        self.assertEqual(svg_group_ids(svg, "species-"), ["species-1", "species-2", "species-3"])
        self.assertEqual(len(svg_group_ids(svg, "host-phenotype-")), 2)

    def test_same_tables_give_the_same_bytes(self):
        for out in ("first", "second"):
            self.assertEqual(figures.main([str(self.path), "--out", str(self.path / out)]), 0)
        for stem in FIGURE_STEMS:
            for suffix in (".png", ".svg"):
                name = stem + suffix
                self.assertEqual(
                    (self.path / "first" / name).read_bytes(),
                    (self.path / "second" / name).read_bytes(),
                    name,
                )

    def test_many_points_draw_every_kth_generation(self):
        generations = [(g, 1, 1, 5.0, 0.0) for g in range(1, 31)]
        rows_per_generation = MOST_MARKERS // 10
        points = [
            (g, 1, f"{0.1 * i:.4f}", 1) for g in range(1, 31) for i in range(rows_per_generation)
        ]
        write_tables(self.path, generations, HOSTS[:1], points)
        tables = load_tables(self.path)
        self.assertEqual(generation_stride(tables), 3)
        axes = phenotype_figure(tables).axes[0]
        drawn = sorted({int(x) for x, _ in axes.collections[0].get_offsets()})
        self.assertEqual(drawn, list(range(1, 31, 3)))
        self.assertIn("one reported generation in 3 drawn", axes.get_title())

    def test_tables_without_generations_still_draw(self):
        write_tables(self.path, [], [], [])
        self.assertEqual(figures.main([str(self.path)]), 0)
        self.assertEqual(svg_group_ids(self.path / "phenotypes.svg", "species-"), [])

    def test_bad_tables_are_reported_with_file_and_line(self):
        write_tables(self.path, GENERATIONS, HOSTS, POINTS[:2] + [(10, "x", "5.0000", 1)])
        result = subprocess.run([*FIGURES, str(self.path)], capture_output=True, text=True)
        self.assertEqual(result.returncode, 1)
        self.assertIn(f"{self.path / 'points.csv'}:4: label \"x\" is not a whole number",
                      result.stderr)

        # Values a hand-edited table may hold: each names its file and line, none a traceback.
        for row, message in [
            ((10, 1, "5.0000", 2**63), "count \"9223372036854775808\" is not a whole number"),
            ((10, 1, "5.0000", -2), "count \"-2\" is not a whole number of 0 or more"),
            ((10, 1, "nan", 2), "phenotype \"nan\" is not a finite number"),
            ((10, 1, "inf", 2), "phenotype \"inf\" is not a finite number"),
        ]:
            with self.subTest(row=row):
                write_tables(self.path, GENERATIONS, HOSTS, POINTS[:2] + [row])
                result = subprocess.run([*FIGURES, str(self.path)], capture_output=True, text=True)
                self.assertEqual(result.returncode, 1)
                self.assertIn(f"{self.path / 'points.csv'}:4: {message}", result.stderr)
                self.assertNotIn("Traceback", result.stderr)
        write_tables(self.path, GENERATIONS, HOSTS, POINTS)
        with open(self.path / "points.csv", "ab") as table:
            table.write(b"20,3,5.\xff,1\n")
        result = subprocess.run([*FIGURES, str(self.path)], capture_output=True, text=True)
        self.assertEqual(result.returncode, 1)
        self.assertIn(f"{self.path / 'points.csv'}:{len(POINTS) + 2}: not ASCII text",
                      result.stderr)

        (self.path / "hosts.csv").write_text("generation,host\n", encoding="ascii")
        self.assertEqual(figures.main([str(self.path)]), 1)
        (self.path / "hosts.csv").unlink()
        self.assertEqual(figures.main([str(self.path)]), 2)


@unittest.skipUnless(
    os.environ.get("PARASIM_REPORT_BINARY"), "set PARASIM_REPORT_BINARY to parasim-report"
)
class PlotFromResultsFile(unittest.TestCase):
    def test_plot_writes_tables_and_figures_from_a_results_file(self):
        with tempfile.TemporaryDirectory() as folder:
            path = pathlib.Path(folder)
            records = list(results_file_writer.made_up_run(3000, seed=7, generations=12))
            (path / "Output.dat").write_text(
                results_file_writer.results_text(records), encoding="ascii", newline=""
            )
            result = subprocess.run(
                [os.environ["PARASIM_REPORT_BINARY"], str(path / "Output.dat"), "--plot",
                 str(path / "figures")],
                capture_output=True,
                text=True,
            )
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn("12 generations reported, from 1 to 110; 3000 parasite records",
                          result.stdout)
            figures = path / "figures"
            for name in [table.file for table in (columns.GENERATIONS,
                                                  columns.SPECIES_BY_GENERATION, columns.HOSTS,
                                                  columns.POINTS)]:
                self.assertTrue((figures / name).is_file(), name)
            for stem in FIGURE_STEMS:
                self.assertEqual(png_size(figures / f"{stem}.png"), (1000, 600))
            labels = sorted({species for _, _, _, _, species in records})
            self.assertEqual(
                svg_group_ids(figures / "phenotypes.svg", "species-"),
                sorted(f"species-{label}" for label in labels),
            )


if __name__ == "__main__":
    unittest.main()
