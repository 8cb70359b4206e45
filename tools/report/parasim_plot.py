#!/usr/bin/python3
"""Figures of a parasim run, drawn from the tables that `parasim-report --csv DIR` writes.

    /usr/bin/python3 parasim_plot.py DIR [--out OUT] [--results] [--history]

writes into OUT (DIR when not given), each as PNG and SVG. From the tables of a results file
(generations.csv, hosts.csv, points.csv; --results):

  phenotypes   parasite phenotype against generation. Each row of points.csv (the parasites
               of one species sharing a phenotype in a generation) is one marker, its area
               proportional to the number of parasites (a key gives the scale); species that
               share a phenotype in a generation are set side by side, and the smaller
               species are drawn over the larger. Every host phenotype is a dashed line.
               When points.csv has more than 10000 rows, only every k-th reported generation
               is drawn, k = ceil(rows / 10000), and the title says so.
  population   population size (above) and number of species (below) against generation.

From the tables of a species history (species_history.csv, species_sizes.csv, host_use.csv,
lineages.csv; --history):

  tree         the species tree against generations: a line per species from its birth to its
               last generation, a link from its mother where it split off, x where it died out.
  muller       a Muller plot: the parasites of each species over time, daughters inside their
               mothers.
  host_use     one panel per host, in phenotype order, the parasites of each species stacked.
  lineages     lineages through time on a log scale: species alive, lineages of the extant
               species' tree, speciation events and extinctions so far.

Without --results or --history, every set whose tables are in DIR is drawn. With a history,
the phenotype figure colours each species as the history figures do (labels given again to a
later species are told apart). Each species keeps one colour in every figure; the 15 largest
are named in the legends, the others are greys and share the entry "other species".

Nothing is drawn at random, and the files come out byte for byte the same from the same tables.
Exit status: 0 done, 1 a malformed table (the message gives FILE:LINE), 2 wrong usage or a file
that cannot be read or written.
"""

import argparse
import math
import pathlib
import sys
from dataclasses import dataclass

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402  (the backend must be chosen first)
import numpy as np  # noqa: E402
from matplotlib.lines import Line2D  # noqa: E402
from matplotlib.patches import Patch  # noqa: E402

import parasim_history as ph  # noqa: E402
from parasim_history import TableError, read_columns, real, whole  # noqa: E402

FIGURE_INCHES = (10.0, 6.0)
FIGURE_DPI = 100  # so the PNG figures are 1000 x 600 pixels
SMALLEST_MARKER_AREA = 4.0  # points squared, for a single parasite
LARGEST_MARKER_AREA = 150.0  # for the largest group of the figure
MOST_MARKERS = 10000  # an SVG marker of its own size takes about 700 bytes
MOST_DRAWN_GENERATIONS = 2000  # per band of the Muller and host-use figures
HOST_PANELS_PER_COLUMN = 6
TIP_LABELS_FOR_ALL = 40  # with more species, only the named ones get a tip label
LEGEND_STRIP = 0.78  # share of the figure's width left of the species legend

# Fixed, so that the SVG element ids, and with them the files, do not change between runs.
matplotlib.rcParams["svg.hashsalt"] = "parasim-report"

GENERATION_COLUMNS = ["generation", "population", "species", "phenotype_mean", "phenotype_sd"]
HOST_COLUMNS = ["generation", "host", "load", "host_phenotype", "species_present", "species_list"]
POINT_COLUMNS = ["generation", "species", "phenotype", "count"]


@dataclass
class Tables:
    generation: np.ndarray  # one entry per reported generation, ascending
    population: np.ndarray
    species_count: np.ndarray
    host_phenotypes: np.ndarray  # the distinct phenotypes of the hosts ever occupied, ascending
    point_generation: np.ndarray
    point_species: np.ndarray  # the label in the results file
    point_phenotype: np.ndarray
    point_count: np.ndarray


def load_tables(folder):
    folder = pathlib.Path(folder)
    generation, population, species_count = read_columns(
        folder / "generations.csv", GENERATION_COLUMNS, [whole, whole, whole]
    )
    _, _, _, host_phenotype = read_columns(
        folder / "hosts.csv", HOST_COLUMNS, [whole, whole, whole, real]
    )
    point_generation, point_species, point_phenotype, point_count = read_columns(
        folder / "points.csv", POINT_COLUMNS, [whole, whole, real, whole]
    )
    return Tables(
        generation=np.array(generation, dtype=np.int64),
        population=np.array(population, dtype=np.int64),
        species_count=np.array(species_count, dtype=np.int64),
        host_phenotypes=np.unique(np.array(host_phenotype, dtype=float)),
        point_generation=np.array(point_generation, dtype=np.int64),
        point_species=np.array(point_species, dtype=np.int64),
        point_phenotype=np.array(point_phenotype, dtype=float),
        point_count=np.array(point_count, dtype=np.int64),
    )


@dataclass
class Naming:
    """How the figures name and colour species: by history species number, or by label when
    there is no history."""

    colours: ph.SpeciesColours
    name: object  # key -> legend text

    @classmethod
    def of_history(cls, history):
        return cls(ph.history_colours(history), lambda key: ph.species_name(history, key))

    @classmethod
    def of_labels(cls, tables):
        labels = np.unique(tables.point_species)
        weights = [int(tables.point_count[tables.point_species == label].sum()) for label in labels]
        return cls(ph.SpeciesColours(labels, weights), lambda key: f"species {key}")


def species_handles(naming, present=None):
    """Legend entries: the named species (those present, when given), then the others."""
    handles = [Patch(color=naming.colours(key), label=naming.name(key))
               for key in naming.colours.named if present is None or key in present]
    others = (naming.colours.others if present is None
              else len([key for key in present if key not in naming.colours.named]))
    if others:
        handles.append(Patch(color=ph.OTHER_SPECIES_COLOUR,
                             label=f"other species ({others}, greys)"))
    return handles


def legend_beside(figure, handles, title=None, location="upper left", height=0.97):
    """A legend in the strip right of the plots (see fit_beside_legend)."""
    return figure.legend(handles=handles, loc=location, bbox_to_anchor=(LEGEND_STRIP, height),
                         fontsize="small", title=title, title_fontsize="small", frameon=False)


def fit_beside_legend(figure):
    """Lays the plots out left of the legend strip."""
    figure.tight_layout(rect=(0, 0, LEGEND_STRIP, 1))


def marker_areas(counts, largest):
    """Areas proportional to the number of parasites, a group of `largest` getting the largest
    area."""
    if counts.size == 0:
        return counts.astype(float)
    return np.maximum(SMALLEST_MARKER_AREA, LARGEST_MARKER_AREA * counts / largest)


def size_key_counts(largest):
    """A few round numbers of parasites up to the largest group, for the key of marker sizes."""
    counts = [10 ** power for power in range(int(math.log10(largest)) + 1)] if largest else []
    if largest and counts[-1] != largest:
        counts.append(int(largest))
    return counts[-4:] if len(counts) > 4 else counts


def generation_stride(tables):
    """Every how many reported generations the phenotype figure draws one."""
    return max(1, math.ceil(len(tables.point_count) / MOST_MARKERS))


def phenotype_figure(tables, naming=None, history=None):
    """The phenotype figure; with a history, points are keyed by the species carrying their
    label at their generation."""
    naming = naming or Naming.of_labels(tables)
    figure, axes = plt.subplots(figsize=FIGURE_INCHES, dpi=FIGURE_DPI)
    stride = generation_stride(tables)
    drawn_generations = tables.generation[::stride]
    drawn = np.isin(tables.point_generation, drawn_generations)
    for i, phenotype in enumerate(tables.host_phenotypes):
        axes.axhline(phenotype, color="0.6", linestyle="--", linewidth=0.8, zorder=0,
                     gid=f"host-phenotype-{i + 1}")
    generations = tables.point_generation[drawn]
    phenotypes = tables.point_phenotype[drawn]
    counts = tables.point_count[drawn]
    keys = tables.point_species[drawn]
    if history is not None:
        keys = ph.species_of_label(history, keys, generations)
        if np.any(keys == 0):
            first = int(np.argmax(keys == 0))
            raise TableError(
                f"points.csv: label {tables.point_species[drawn][first]} at generation "
                f"{generations[first]} belongs to no species of the history; are the results "
                "file and the history of the same run?")
    spacing = float(np.median(np.diff(drawn_generations))) if len(drawn_generations) > 1 else 10.0
    ranks = np.array([naming.colours.rank(key) for key in keys])
    x = ph.dodged_generations(generations, phenotypes, ranks, spacing)
    largest = int(counts.max()) if counts.size else 1
    areas = marker_areas(counts, largest)
    present = sorted(set(keys.tolist()), key=naming.colours.rank)
    # The largest species first, so that the smaller ones are drawn over them.
    for zorder, key in enumerate(present):
        chosen = keys == key
        axes.scatter(x[chosen], phenotypes[chosen], s=areas[chosen], color=naming.colours(key),
                     alpha=0.85, edgecolors="white", linewidths=0.3, zorder=2 + zorder,
                     label=naming.name(key), gid=f"species-{key}")
    axes.set_xlabel("generation")
    axes.set_ylabel("parasite phenotype")
    title = "Parasite phenotypes by species (dashed: host phenotypes)"
    if stride > 1:
        title += f"\none reported generation in {stride} drawn"
    axes.set_title(title)
    if not present:
        axes.text(0.5, 0.5, "no generation reported", transform=axes.transAxes, ha="center")
    else:
        legend_beside(figure, species_handles(naming, set(present)))
        size_handles = [
            Line2D([], [], linestyle="", marker="o", color="0.4",
                   markersize=math.sqrt(marker_areas(np.array([n]), largest)[0]),
                   label=f"{n}")
            for n in size_key_counts(largest)
        ]
        legend_beside(figure, size_handles, title="parasites per marker", location="lower left",
                      height=0.03)
    fit_beside_legend(figure)
    return figure


def population_figure(tables):
    figure, (population_axes, species_axes) = plt.subplots(
        2, 1, sharex=True, figsize=FIGURE_INCHES, dpi=FIGURE_DPI
    )
    population_axes.plot(tables.generation, tables.population, marker="o", markersize=3)
    population_axes.set_ylabel("population")
    population_axes.set_title("Population size and number of species")
    species_axes.plot(
        tables.generation, tables.species_count, marker="o", markersize=3, color="tab:orange"
    )
    species_axes.set_ylabel("species")
    species_axes.set_xlabel("generation")
    species_axes.yaxis.get_major_locator().set_params(integer=True)
    figure.tight_layout()
    return figure


def tree_figure(history, naming):
    figure, axes = plt.subplots(figsize=FIGURE_INCHES, dpi=FIGURE_DPI)
    layout = ph.tree_layout(history)
    label_all = len(history) <= TIP_LABELS_FOR_ALL
    for index, species in enumerate(history.species):
        colour = naming.colours(species)
        named = species in naming.colours.named
        if layout.link_from[index] != layout.row[index]:
            axes.plot([layout.start[index]] * 2, [layout.link_from[index], layout.row[index]],
                      color="0.55", linewidth=0.6, zorder=1)
        axes.plot([layout.start[index], layout.end[index]], [layout.row[index]] * 2,
                  color=colour, linewidth=2.2 if named else 1.2, solid_capstyle="butt",
                  zorder=2, gid=f"species-{species}")
        if label_all or named:
            axes.text(layout.end[index], layout.row[index], f" {species}",
                      fontsize=6 if label_all else 7, va="center", ha="left")
    ended = ~history.extant
    axes.scatter(layout.end[ended], layout.row[ended], marker="x", s=12, color="0.2",
                 linewidths=0.8, zorder=3, gid="extinctions")
    axes.set_yticks([])
    axes.set_ylim(0.3, len(history) + 0.7)
    for side in ("left", "right", "top"):
        axes.spines[side].set_visible(False)
    axes.set_xlabel("generation")
    alive = int(history.extant.sum())
    last = int(history.generation[-1]) if len(history.generation) else 0
    axes.set_title(f"Species tree: {len(history)} species, {alive} alive at generation {last} "
                   "(x: died out; numbers: species)")
    legend_beside(figure, species_handles(naming))
    fit_beside_legend(figure)
    return figure


def _thinning_note(stride):
    return f"\none generation in {stride} drawn" if stride > 1 else ""


def muller_figure(history, naming):
    figure, axes = plt.subplots(figsize=FIGURE_INCHES, dpi=FIGURE_DPI)
    generations, stride = ph.drawn_generations(history, MOST_DRAWN_GENERATIONS)
    bottom, top = ph.muller_bands(history, generations)
    for index, species in enumerate(history.species):
        span = ph.band_span(top[index] - bottom[index])
        if span is not None:
            axes.fill_between(generations[span], bottom[index][span], top[index][span],
                              linewidth=0, color=naming.colours(species), gid=f"species-{species}")
    axes.set_xlabel("generation")
    axes.set_ylabel("parasites")
    axes.set_xlim(generations[0] if len(generations) else 0,
                  generations[-1] if len(generations) else 1)
    axes.set_ylim(bottom=0)
    axes.set_title("Muller plot: parasites of each species, daughters inside their mothers"
                   + _thinning_note(stride))
    legend_beside(figure, species_handles(naming))
    fit_beside_legend(figure)
    return figure


def host_use_figure(history, naming):
    hosts = ph.hosts_by_phenotype(history)
    columns = max(1, math.ceil(len(hosts) / HOST_PANELS_PER_COLUMN))
    rows = max(1, math.ceil(len(hosts) / columns))
    inches = (FIGURE_INCHES[0], max(FIGURE_INCHES[1], 1.1 * rows))
    figure, grid = plt.subplots(rows, columns, sharex=True, figsize=inches, dpi=FIGURE_DPI,
                                squeeze=False)
    generations, stride = ph.drawn_generations(history, MOST_DRAWN_GENERATIONS)
    for place, axes in enumerate(grid.flat):
        if place >= len(hosts):
            axes.set_visible(False)
            continue
        host, phenotype = hosts[place]
        counts = ph.host_matrix(history, host, generations)
        bottom, top = ph.stacked_bands(counts)
        # Each species only where it lives, which keeps the SVG of a long run small.
        for index in range(len(history)):
            span = ph.band_span(counts[index])
            if span is not None:
                axes.fill_between(generations[span], bottom[index][span], top[index][span],
                                  linewidth=0, color=naming.colours(index + 1),
                                  gid=f"host-{host}-species-{index + 1}")
        axes.text(0.01, 0.95, f"host {host} (phenotype {phenotype:g})", transform=axes.transAxes,
                  fontsize="small", va="top")
        axes.set_ylim(bottom=0)
        axes.tick_params(labelsize="small")
        if place % columns == 0:
            axes.set_ylabel("parasites", fontsize="small")
        if place >= len(hosts) - columns:
            axes.set_xlabel("generation", fontsize="small")
    figure.suptitle("Host use: parasites of each species on each host, hosts in phenotype "
                    "order (lowest first)" + _thinning_note(stride))
    legend_beside(figure, species_handles(naming), height=0.9)
    fit_beside_legend(figure)
    return figure


def lineages_figure(history):
    figure, axes = plt.subplots(figsize=FIGURE_INCHES, dpi=FIGURE_DPI)
    # Species alive broad and below, as the extant species' lineages often run along it.
    series = [
        ("species alive", history.species_alive, "black", "-", 2.8),
        ("lineages of the extant species' tree", history.extant_lineages, "tab:cyan", "-", 1.2),
        ("speciation events so far", history.speciation_events, "tab:green", "--", 1.2),
        ("extinctions so far", history.extinctions, "tab:red", "--", 1.2),
    ]
    generations = history.generation
    changes = ph.step_rows([values for _, values, _, _, _ in series])
    for name, values, colour, style, width in series:
        shown = np.where(values > 0, values, np.nan).astype(float)
        axes.step(generations[changes], shown[changes], where="post", color=colour,
                  linestyle=style, linewidth=width, label=name)
    axes.set_yscale("log")
    axes.set_xlabel("generation")
    axes.set_ylabel("count (log scale)")
    axes.set_title("Lineages through time")
    axes.legend(loc="upper left", fontsize="small")
    figure.tight_layout()
    return figure


def save_figure(figure, folder, stem):
    """Writes stem.png and stem.svg without the date or version stamps that would vary."""
    folder = pathlib.Path(folder)
    figure.savefig(folder / f"{stem}.png", metadata={"Software": None})
    figure.savefig(folder / f"{stem}.svg", metadata={"Date": None, "Creator": None})
    plt.close(figure)


def draw(folder, out, results, history):
    """Draws the chosen figure sets from the tables in folder into out."""
    out.mkdir(parents=True, exist_ok=True)
    history_tables = ph.load_history(folder) if history else None
    naming = Naming.of_history(history_tables) if history else None
    if results:
        tables = load_tables(folder)
        save_figure(phenotype_figure(tables, naming, history_tables), out, "phenotypes")
        save_figure(population_figure(tables), out, "population")
    if history:
        save_figure(tree_figure(history_tables, naming), out, "tree")
        save_figure(muller_figure(history_tables, naming), out, "muller")
        save_figure(host_use_figure(history_tables, naming), out, "host_use")
        save_figure(lineages_figure(history_tables), out, "lineages")


def main(argv=None):
    parser = argparse.ArgumentParser(
        prog="parasim_plot.py",
        description="Figures of a parasim run from the tables of parasim-report --csv.",
    )
    parser.add_argument("folder", help="folder of the tables")
    parser.add_argument("--out", help="folder for the figures (default: the tables' folder)")
    parser.add_argument("--results", action="store_true",
                        help="draw the figures of a results file's tables")
    parser.add_argument("--history", action="store_true",
                        help="draw the figures of a species history's tables")
    try:
        options = parser.parse_args(argv)
    except SystemExit as stop:
        return 0 if stop.code == 0 else 2
    folder = pathlib.Path(options.folder)
    results, history = options.results, options.history
    if not results and not history:
        results = (folder / "generations.csv").is_file()
        history = (folder / "species_history.csv").is_file()
        if not results and not history:
            print(f"parasim_plot.py: {folder} holds no tables of parasim-report",
                  file=sys.stderr)
            return 2
    try:
        draw(folder, pathlib.Path(options.out or options.folder), results, history)
    except TableError as error:
        print(f"parasim_plot.py: {error}", file=sys.stderr)
        return 1
    except OSError as error:
        print(f"parasim_plot.py: {error}", file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
