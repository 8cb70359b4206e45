"""The species history after parasim-report: its tables read back, the layouts of the figures
(tree rows, Muller bands, hosts in phenotype order, labels to species), one colour per species
in every figure, the Newick trees read by Biopython, and the figures from a real run."""

import json
import math
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

import numpy as np
from parasim_report import edge_labels, layouts, palette
from parasim_report.figure_legends import Naming
from parasim_report.figures import main as draw_figures
from parasim_report.history import load_history
from parasim_report.history_figures import host_use_figure, muller_figure, tree_figure
from parasim_report.results_figures import load_tables, phenotype_figure
from parasim_report.species_bands import (band_counts, muller_bands, muller_groups,
                                          stacked_groups)
from parasim_report.species_colours import MOST_NAMED_SPECIES, OTHER_SPECIES_COLOUR
from parasim_report.tables import TableError

HERE = pathlib.Path(__file__).resolve().parent

FIXTURE = HERE / "data" / "five_species_history"
SVG = "{http://www.w3.org/2000/svg}"
HISTORY_FIGURES = ["tree", "muller", "host_use", "lineages"]
REPORT = os.environ.get("PARASIM_REPORT_BINARY")
PARASIM = os.environ.get("PARASIM_BINARY")


def report(*arguments):
    done = subprocess.run([REPORT, *map(str, arguments)], capture_output=True, text=True)
    if done.returncode != 0:
        raise AssertionError(f"parasim-report {arguments} failed:\n{done.stderr}")
    return done.stdout


def write_history(folder, species_rows, abundance_rows):
    """A history folder as parasim --history writes it, from rows given as tuples."""
    folder = pathlib.Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    lines = ["species,label,parent,born,size_at_birth,last_seen,extant"]
    lines += [",".join("" if v is None else str(v).lower() for v in row) for row in species_rows]
    (folder / "species.csv").write_text("\n".join(lines) + "\n", encoding="ascii")
    lines = ["generation,species,label,host,host_phenotype,count,phenotype_mean,phenotype_sd"]
    lines += [",".join(str(v) for v in row) for row in abundance_rows]
    (folder / "abundance.csv").write_text("\n".join(lines) + "\n", encoding="ascii")


HOST_PHENOTYPES = {1: 5, 2: 5.5, 3: 4.5}


def many_species_history(folder, count=60, generations=40):
    """`count` species, all daughters of species 1, two born a generation from generation 2,
    species s with s parasites on host 1 + s % 3; every third dies after five generations."""
    species, abundance = [], []
    for s in range(1, count + 1):
        born = 1 if s == 1 else 1 + s // 2
        last = generations if s % 3 else born + 5
        species.append((s, s, None if s == 1 else 1, born, s, last, last == generations))
    for g in range(1, generations + 1):
        for s, label, _, born, _, last, _ in species:
            if born <= g <= last:
                host = 1 + s % 3
                abundance.append((g, s, label, host, HOST_PHENOTYPES[host], s, 5, 0))
    write_history(folder, species, abundance)


def muller_of(history, generations):
    """(bottom, top) of the Muller plot's bands at the given generations."""
    bands = muller_groups(history.parent, Naming.of_history(history).colours.named)
    own = band_counts(bands, generations, history.size_generation, history.size_species,
                      history.size_count)
    return muller_bands(bands, own)


def host_counts(history, host, generations):
    """Parasites of each band of host use (the named species in order of origin, then the
    others) on one host."""
    bands = stacked_groups(len(history), Naming.of_history(history).colours.named)
    on_host = history.host == host
    return band_counts(bands, generations, history.host_generation[on_host],
                       history.host_species[on_host], history.host_count[on_host])


def svg_ids(path, prefix):
    root = ElementTree.parse(path).getroot()
    return {element.get("id") for element in root.iter()
            if element.get("id", "").startswith(prefix)}


@unittest.skipUnless(REPORT, "set PARASIM_REPORT_BINARY to parasim-report")
class FixtureLayouts(unittest.TestCase):
    """The hand-made history of five species (see its species.csv): tables by parasim-report."""

    @classmethod
    def setUpClass(cls):
        cls.folder = pathlib.Path(tempfile.mkdtemp(prefix="parasim-history-test-"))
        report("--history", FIXTURE, "--csv", cls.folder)
        cls.history = load_history(cls.folder)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def test_tables_read_back(self):
        h = self.history
        self.assertEqual(h.species.tolist(), [1, 2, 3, 4, 5])
        self.assertEqual(h.parent.tolist(), [0, 1, 1, 2, 1])
        self.assertEqual(h.extant.tolist(), [True, True, False, True, True])
        self.assertEqual(h.generation.tolist(), list(range(1, 13)))
        self.assertEqual(h.daughters().tolist(), [3, 1, 0, 0, 0])
        self.assertEqual(h.tree, "(((sp1_L1:3,sp5_L4:3):4,sp3_L3:2):2,(sp2_L2:4,sp4_L3:4):5):2;")

    def test_tree_rows_follow_the_newick_tips_from_the_top(self):
        layout = layouts.tree_layout(self.history)
        # tips in tree.nwk: 1, 5, 3, 2, 4
        self.assertEqual(layout.row.tolist(), [5, 2, 3, 1, 4])
        self.assertEqual(layout.link_from.tolist(), [5, 5, 5, 2, 5])
        self.assertEqual(layout.start.tolist(), [1, 3, 5, 8, 9])
        self.assertEqual(layout.end.tolist(), [12, 12, 7, 12, 12])

    def test_muller_bands_nest_daughters_inside_mothers(self):
        bottom, top = muller_of(self.history, np.array([5, 12]))
        # Generation 12: species 1, 2, 4, 5 have 1, 3, 14, 23 parasites; species 4 sits in 2.
        # Generation 5: species 1, 2, 3 have 12, 12, 11.
        self.assertEqual(bottom[:, 1].tolist(), [0, 0.5, 17.5, 2, 17.5])
        self.assertEqual(top[:, 1].tolist(), [41, 17.5, 17.5, 16, 40.5])
        # Species 4 is not born yet: an empty band where its mother's own parasites divide.
        self.assertEqual(bottom[:, 0].tolist(), [0, 6, 18, 12, 29])
        self.assertEqual(top[:, 0].tolist(), [35, 18, 29, 12, 29])

    def test_host_bands_stack_in_order_of_origin_where_species_live(self):
        counts = host_counts(self.history, 2, np.array([3, 8, 12]))
        # Host 2: species 2 from generation 3, species 4 from 8, species 5 only at 12.
        self.assertEqual(counts[[1, 3, 4]].tolist(), [[11, 2, 2], [0, 11, 14], [0, 0, 3]])
        bottom, top = layouts.stacked_bands(counts)
        self.assertEqual(bottom[4].tolist(), [11, 13, 16])
        self.assertEqual(top[4].tolist(), [11, 13, 19])
        self.assertEqual(layouts.band_span(counts[3]), slice(0, 3))
        self.assertEqual(layouts.band_span(counts[4]), slice(1, 3))
        self.assertEqual(layouts.band_span(np.array([0, 5, 0, 0, 0])), slice(0, 3))
        self.assertIsNone(layouts.band_span(counts[0]))

    def test_hosts_in_phenotype_order_and_labels_to_species(self):
        self.assertEqual(layouts.hosts_by_phenotype(self.history), [(3, 4.5), (1, 5.0), (2, 5.5)])
        found = layouts.species_of_label(self.history, [3, 3, 3, 4, 9], [6, 8, 12, 12, 12])
        self.assertEqual(found.tolist(), [3, 4, 4, 5, 0])

    def test_phenotypes_keyed_by_species_set_side_by_side(self):
        # Reported generations 1 and 10; label 3 is species 4 by generation 10, and it shares
        # phenotype 5.5 with species 2 there.
        tables = self.folder / "with-points"
        tables.mkdir(exist_ok=True)
        (tables / "generations.csv").write_text(
            "generation,population,species,phenotype_mean,phenotype_sd\n"
            "1,3,1,5,0\n10,36,4,5,0.3\n", encoding="ascii")
        (tables / "hosts.csv").write_text(
            "generation,host,load,host_phenotype,species_present,labels\n"
            "1,1,3,5.0000,1,1\n10,1,21,5.0000,2,1;4\n10,2,14,5.5000,2,2;3\n", encoding="ascii")
        (tables / "points.csv").write_text(
            "generation,label,phenotype,count\n1,1,5.0000,3\n10,1,4.9000,1\n"
            "10,2,5.5000,2\n10,3,5.5000,12\n10,4,5.0000,20\n", encoding="ascii")
        naming = Naming.of_history(self.history)
        figure = phenotype_figure(load_tables(tables), naming, self.history)
        series = {c.get_gid(): c.get_offsets().tolist() for c in figure.axes[0].collections}
        self.assertEqual(sorted(series), ["species-1", "species-2", "species-4", "species-5"])
        (x2, y2), = series["species-2"]
        (x4, y4), = series["species-4"]
        self.assertEqual((y2, y4), (5.5, 5.5))
        self.assertAlmostEqual(x2 + x4, 20.0)
        self.assertNotEqual(x2, x4)
        self.assertEqual(series["species-5"], [[10.0, 5.0]], "alone at its phenotype, not moved")
        (tables / "points.csv").write_text(
            "generation,label,phenotype,count\n10,9,5.0000,3\n", encoding="ascii")
        with self.assertRaisesRegex(TableError, "label 9 at generation 10 belongs to no"):
            phenotype_figure(load_tables(tables), naming, self.history)

    def test_biopython_reads_both_trees_with_their_tips_and_lengths(self):
        from Bio import Phylo

        rows = (FIXTURE / "species.csv").read_text(encoding="ascii").splitlines()[1:]
        last_seen = {f"sp{r.split(',')[0]}_L{r.split(',')[1]}": int(r.split(",")[5])
                     for r in rows}
        for name, expected in (("tree.nwk", set(last_seen)),
                               ("tree-extant.nwk", set(last_seen) - {"sp3_L3"})):
            tree = Phylo.read(self.folder / name, "newick")
            tips = {tip.name: tree.root.branch_length + tree.distance(tip)
                    for tip in tree.get_terminals()}
            self.assertEqual(set(tips), expected, name)
            for tip, depth in tips.items():
                self.assertEqual(depth, last_seen[tip] - 1, f"{name}: {tip}")


@unittest.skipUnless(REPORT, "set PARASIM_REPORT_BINARY to parasim-report")
class ManySpecies(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = pathlib.Path(tempfile.mkdtemp(prefix="parasim-history-test-"))
        many_species_history(cls.folder / "history")
        report("--history", cls.folder / "history", "--plot", cls.folder / "figures")
        cls.history = load_history(cls.folder / "figures")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def test_legends_name_the_largest_and_group_the_rest(self):
        naming = Naming.of_history(self.history)
        # Species s has s parasites a generation; the largest live longest.
        self.assertEqual(len(naming.colours.named), MOST_NAMED_SPECIES)
        figure = muller_figure(self.history, naming)
        texts = [text.get_text() for text in figure.legends[0].get_texts()]
        self.assertEqual(len(texts), MOST_NAMED_SPECIES + 1)
        self.assertEqual(texts[-1], f"other species ({60 - MOST_NAMED_SPECIES}, greys)")
        named_colours = {naming.colours(key) for key in naming.colours.named}
        self.assertEqual(len(named_colours), MOST_NAMED_SPECIES)

    def test_a_species_has_one_colour_in_every_figure(self):
        naming = Naming.of_history(self.history)
        named = set(naming.colours.named)
        colours = {}  # named species -> the colours it was drawn in
        others = set()  # the colours of the bands and lines of the other species
        host_use = host_use_figure(self.history, naming)
        tree = tree_figure(self.history, naming)
        for figure in (tree, muller_figure(self.history, naming), host_use):
            for axes in figure.axes:
                drawn = [(line.get_gid() or "", line.get_color()) for line in axes.lines]
                drawn += [(band.get_gid() or "", band.get_facecolor()[0])
                          for band in axes.collections if len(band.get_facecolor())]
                for gid, colour in drawn:
                    if gid.split("-")[-2:-1] == ["species"]:
                        colours.setdefault(int(gid.split("-")[-1]), set()).add(to_rgba(colour))
                    elif "others-" in gid:
                        others.add(to_rgba(colour))
        self.assertEqual(set(colours), named)
        for species, drawn in colours.items():
            self.assertEqual(drawn, {to_rgba(naming.colours(species))}, species)
        self.assertEqual(others, {to_rgba(OTHER_SPECIES_COLOUR)})
        # In the tree every other species is a line of its own grey.
        (lines,) = [c for c in tree.axes[0].collections if c.get_gid() == "others"]
        self.assertEqual([to_rgba(c) for c in lines.get_colors()],
                         [to_rgba(naming.colours(s)) for s in range(1, 61) if s not in named])
        self.assertEqual([axes.texts[0].get_text() for axes in host_use.axes],
                         ["host 3 (phenotype 4.5)", "host 1 (phenotype 5)",
                          "host 2 (phenotype 5.5)"])

    def test_one_colour_per_species_in_the_svg_figures_and_the_page(self):
        page = self.folder / "page.html"
        report("--history", self.folder / "history", "--html", page)
        charts = page_charts(page)
        named = Naming.of_history(self.history).colours.named
        seen = {}  # species -> {where: colour}
        for stem in ("tree", "muller", "host_use"):
            for key, colours in svg_colours(self.folder / "figures" / f"{stem}.svg").items():
                seen.setdefault(key, {})[stem + ".svg"] = colours
        for chart in ("tree", "muller", "host-use"):
            for key, colours in chart_colours(charts[chart]).items():
                seen.setdefault(key, {})[chart + " chart"] = colours
        self.assertEqual(sorted(seen), sorted(named))
        for key, places in seen.items():
            self.assertEqual(len(places), 6, key)
            self.assertEqual(len(set().union(*places.values())), 1, (key, places))
        self.assertEqual(len({next(iter(places["muller chart"])) for places in seen.values()}),
                         MOST_NAMED_SPECIES)
        # The largest species at the end (59: 59 parasites, alive) named at the right edge,
        # framed in its own colour, in both figures and both charts.
        for stem in ("tree", "muller"):
            framed = svg_colours(self.folder / "figures" / f"{stem}.svg", "name-species")
            self.assertIn(59, framed, stem)
            self.assertLessEqual(seen[59][f"{stem}.svg"], framed[59], stem)  # its frame
            names = {annotation["name"]: annotation["text"]
                     for annotation in charts[stem]["layout"]["annotations"]}
            self.assertEqual(names.get("name-species-59"), "species 59 (label 59)", stem)

    def test_figures_are_written_and_the_same_bytes_again(self):
        figures = self.folder / "figures"
        for stem in HISTORY_FIGURES:
            self.assertTrue((figures / f"{stem}.png").stat().st_size > 0, stem)
        self.assertEqual(len(svg_ids(figures / "tree.svg", "species-")), MOST_NAMED_SPECIES)
        self.assertEqual(svg_ids(figures / "tree.svg", "others"), {"others"})
        again = self.folder / "again"
        self.assertEqual(draw_figures([str(figures), "--out", str(again), "--history"]), 0)
        for stem in HISTORY_FIGURES:
            for suffix in (".png", ".svg"):
                self.assertEqual((figures / f"{stem}{suffix}").read_bytes(),
                                 (again / f"{stem}{suffix}").read_bytes(), stem + suffix)

    def test_a_damaged_table_is_named_with_its_line(self):
        damaged = self.folder / "damaged"
        shutil.copytree(self.folder / "figures", damaged)
        table = damaged / "species_sizes.csv"
        lines = table.read_text(encoding="ascii").splitlines()
        lines[3] = "3,x,1,1"
        table.write_text("\n".join(lines) + "\n", encoding="ascii")
        done = subprocess.run([sys.executable, "-m", "parasim_report.figures", str(table.parent),
                               "--history"], capture_output=True, text=True)
        self.assertEqual(done.returncode, 1)
        self.assertIn(f"{table}:4: species \"x\" is not a whole number", done.stderr)


class Palette(unittest.TestCase):
    def test_species_colours_are_glasbeys_and_stand_apart_from_the_greys(self):
        import colorcet
        import matplotlib

        # glasbey's colours in glasbey's order, the muted ones left out
        places = [colorcet.glasbey_dark.index(colour) for colour in palette.NAMED_SPECIES]
        self.assertEqual(places, sorted(places))
        self.assertEqual(len(set(palette.NAMED_SPECIES)), MOST_NAMED_SPECIES)
        self.assertGreaterEqual(MOST_NAMED_SPECIES, 30)
        greys = [(level,) * 3 for level in palette.OTHER_SPECIES_GREYS]
        for colour in palette.NAMED_SPECIES:
            channels = palette.rgba(colour)[:3]
            # far from every grey of the other species, and not too light to see on white
            self.assertGreater(min(math.dist(channels, grey) for grey in greys), 0.2, colour)
            self.assertLess(min(channels), 0.85, colour)
        tab10 = [matplotlib.colormaps["tab10"](i) for i in range(10)]
        self.assertEqual([palette.rgba(colour) for colour in palette.TAB10], tab10)
        self.assertEqual(palette.css(palette.rgba("#1f77b4")), "rgb(31,119,180)")


class EdgeNames(unittest.TestCase):
    def test_the_largest_are_kept_and_none_too_close(self):
        cases = [  # keys, heights, sizes, span -> (key, height) kept, lowest first
            ([1, 2, 3], [10, 12, 50], [5, 9, 1], 100, [(2, 12), (3, 50)]),
            ([1, 2, 3], [10, 13, 16], [5, 9, 1], 100, [(2, 13)]),
            ([1, 2], [10, 90], [0, 3], 100, [(2, 90)]),  # no parasites, no name
            ([4, 7], [5, 5], [3, 3], 100, [(4, 5)]),  # a tie goes to the lower key
            ([], [], [], 100, []),
        ]
        for keys, heights, sizes, span, kept in cases:
            with self.subTest(keys=keys, heights=heights, sizes=sizes):
                self.assertEqual(edge_labels.spaced(keys, heights, sizes, span), kept)


def hex_colour(colour):
    """'#d60000' or 'rgb(214,0,0)' as '#d60000'."""
    if colour.startswith("rgb("):
        return "#" + "".join(f"{int(part):02x}" for part in colour[4:-1].split(","))
    return colour.lower()


def svg_colours(path, kind=r"(?:host-\d+-)?species"):
    """The fill and stroke colours drawn in each SVG group of a species (id species-N, or
    host-H-species-N), or of another kind of group (name-species-N), by species."""
    colours = {}
    for group in ElementTree.parse(path).getroot().iter(f"{SVG}g"):
        found = re.fullmatch(kind + r"-(\d+)", group.get("id", ""))
        if found:
            styles = " ".join(element.get("style", "") for element in group.iter())
            colours.setdefault(int(found.group(1)), set()).update(
                re.findall(r"(?:fill|stroke): (#[0-9a-f]{6})", styles))
    return colours


def page_charts(page):
    """The page's charts, by name, as the plotly figures it draws."""
    text = page.read_text(encoding="utf-8")
    found = re.search(r'<script type="application/json" id="parasim-charts">(.*?)</script>',
                      text, re.S)
    return {chart["name"]: chart["figure"] for chart in json.loads(found.group(1))}


def chart_colours(figure):
    """The colours of the traces of each named species of a chart."""
    colours = {}
    for trace in figure["data"]:
        group = trace.get("legendgroup", "")
        if group.startswith("species-"):
            colour = trace.get("fillcolor") or trace["line"]["color"]
            colours.setdefault(int(group[8:]), set()).add(hex_colour(colour))
    return colours


def to_rgba(colour):
    import matplotlib.colors

    return tuple(round(value, 6) for value in matplotlib.colors.to_rgba(colour))


def colless_and_gamma(tree, present):
    """The Colless index and gamma of a Biopython tree, worked out here from its node depths
    (root branch included) as a check on parasim-report's own."""
    depth = {id(tree.root): tree.root.branch_length}
    colless = 0
    splits = []
    for clade in tree.find_clades(order="preorder"):
        for child in clade.clades:
            depth[id(child)] = depth[id(clade)] + child.branch_length
        if len(clade.clades) == 2:
            left, right = (len(child.get_terminals()) for child in clade.clades)
            colless += abs(left - right)
            splits.append(depth[id(clade)])
    n = len(tree.get_terminals())
    times = sorted(splits) + [present]
    g = {k: times[k - 1] - times[k - 2] for k in range(2, n + 1)}
    total = sum(k * g[k] for k in range(2, n + 1))
    inner = sum(sum(k * g[k] for k in range(2, i + 1)) for i in range(2, n)) / (n - 2)
    gamma = (inner - total / 2) / (total * (1 / (12 * (n - 2))) ** 0.5)
    return colless, gamma


@unittest.skipUnless(REPORT and PARASIM, "set PARASIM_REPORT_BINARY and PARASIM_BINARY")
class RealRun(unittest.TestCase):
    """A run that splits, from parasim to the figures."""

    def test_history_of_a_run_checked_independently(self):
        from Bio import Phylo

        with tempfile.TemporaryDirectory() as folder:
            folder = pathlib.Path(folder)
            answers = "60\n0.1\n0.01\n2\n0.1\n5\n0.75\n200\n0.5\n150\n"
            subprocess.run([PARASIM, "--seed", "31", "--history", "history"], cwd=folder,
                           input=answers, capture_output=True, text=True, check=True)
            summary = report("--history", folder / "history", "--plot", folder / "figures",
                             folder / "Output.dat")
            self.assertIn("Species history in", summary)
            figures = folder / "figures"
            for stem in HISTORY_FIGURES + ["phenotypes", "population"]:
                self.assertTrue((figures / f"{stem}.svg").is_file(), stem)

            rows = (folder / "history" / "species.csv").read_text().splitlines()[1:]
            species = [row.split(",") for row in rows]
            self.assertGreater(len(species), 3, "the run should split")
            extant = {f"sp{s[0]}_L{s[1]}" for s in species if s[6] == "true"}
            tree = Phylo.read(figures / "tree.nwk", "newick")
            self.assertEqual({t.name for t in tree.get_terminals()},
                             {f"sp{s[0]}_L{s[1]}" for s in species})
            extant_tree = Phylo.read(figures / "tree-extant.nwk", "newick")
            self.assertEqual({t.name for t in extant_tree.get_terminals()}, extant)
            for tip in extant_tree.get_terminals():
                self.assertEqual(extant_tree.root.branch_length + extant_tree.distance(tip), 149)

            values = dict(zip(*[line.split(",") for line in
                                (figures / "history_summary.csv").read_text().splitlines()]))
            self.assertEqual(int(values["species_at_end"]), len(extant))
            if len(extant) >= 3:
                colless, gamma = colless_and_gamma(extant_tree, present=149)
                self.assertEqual(int(values["colless_index"]), colless)
                self.assertAlmostEqual(float(values["gamma"]), gamma, places=9)


if __name__ == "__main__":
    unittest.main()
