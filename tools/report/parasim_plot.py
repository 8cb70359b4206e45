#!/usr/bin/python3
"""Figures of a parasim run, drawn from the tables that `parasim-report --csv DIR` writes.

    /usr/bin/python3 parasim_plot.py DIR [--out OUT]

reads DIR/generations.csv, DIR/hosts.csv and DIR/points.csv and writes into OUT (DIR when not
given), each as PNG and SVG:

  phenotypes.png/.svg  parasite phenotype against generation. Each row of points.csv (the
                       parasites of one species sharing a phenotype in a generation) is one
                       marker, its area proportional to the number of parasites, coloured by
                       species; every host phenotype is a dashed horizontal line. When
                       points.csv has more than 10000 rows, only every k-th reported generation
                       is drawn, starting with the first, k = ceil(rows / 10000), and the title
                       says so; this keeps the SVG to a few megabytes.
  population.png/.svg  population size (above) and number of species (below) against generation.

Within a drawn generation every parasite is shown; nothing is drawn at random, and the files come
out byte for byte the same from the same tables. Exit status: 0 done, 1 a malformed table (the
message gives FILE:LINE), 2 wrong usage or a file that cannot be read or written.
"""

import argparse
import csv
import math
import pathlib
import sys
from dataclasses import dataclass

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402  (the backend must be chosen first)
import numpy as np  # noqa: E402

FIGURE_INCHES = (10.0, 6.0)
FIGURE_DPI = 100  # so the PNG figures are 1000 x 600 pixels
SMALLEST_MARKER_AREA = 4.0  # points squared, for a single parasite
LARGEST_MARKER_AREA = 150.0  # for the largest group of the figure
MOST_SPECIES_IN_LEGEND = 20
MOST_MARKERS = 10000  # an SVG marker of its own size takes about 700 bytes

# Fixed, so that the SVG element ids, and with them the files, do not change between runs.
matplotlib.rcParams["svg.hashsalt"] = "parasim-report"

GENERATION_COLUMNS = ["generation", "population", "species", "phenotype_mean", "phenotype_sd"]
HOST_COLUMNS = ["generation", "host", "load", "host_phenotype", "species_present", "species_list"]
POINT_COLUMNS = ["generation", "species", "phenotype", "count"]


class TableError(Exception):
    """A table that is not as parasim-report writes it; the message starts with FILE:LINE."""


@dataclass
class Tables:
    generation: np.ndarray  # one entry per reported generation, ascending
    population: np.ndarray
    species_count: np.ndarray
    host_phenotypes: np.ndarray  # the distinct phenotypes of the hosts ever occupied, ascending
    point_generation: np.ndarray
    point_species: np.ndarray
    point_phenotype: np.ndarray
    point_count: np.ndarray


def read_columns(path, columns, kinds):
    """The named columns of a CSV table, each as a list of values of the given kind."""
    values = [[] for _ in kinds]
    with open(path, newline="", encoding="ascii") as table:
        rows = csv.reader(table)
        header = next(rows, None)
        if header != columns:
            raise TableError(f"{path}:1: the header row must be {','.join(columns)}")
        for line, row in enumerate(rows, start=2):
            if len(row) != len(columns):
                raise TableError(f"{path}:{line}: {len(row)} fields, expected {len(columns)}")
            for i, kind in enumerate(kinds):
                try:
                    values[i].append(kind(row[i]))
                except ValueError:
                    expected = "a whole number" if kind is int else "a number"
                    raise TableError(
                        f"{path}:{line}: {columns[i]} \"{row[i]}\" is not {expected}"
                    ) from None
    return values


def load_tables(folder):
    folder = pathlib.Path(folder)
    generation, population, species_count = read_columns(
        folder / "generations.csv", GENERATION_COLUMNS, [int, int, int]
    )
    _, _, _, host_phenotype = read_columns(
        folder / "hosts.csv", HOST_COLUMNS, [int, int, int, float]
    )
    point_generation, point_species, point_phenotype, point_count = read_columns(
        folder / "points.csv", POINT_COLUMNS, [int, int, float, int]
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


def species_colour(label):
    """A fixed colour for each label: the strong colours of tab20 first, then the light ones."""
    palette = matplotlib.colormaps["tab20"]
    index = (label - 1) % 20
    return palette(2 * index if index < 10 else 2 * (index - 10) + 1)


def marker_areas(counts):
    """Areas proportional to the number of parasites, the largest group getting the largest area."""
    if counts.size == 0:
        return counts.astype(float)
    return np.maximum(SMALLEST_MARKER_AREA, LARGEST_MARKER_AREA * counts / counts.max())


def generation_stride(tables):
    """Every how many reported generations the phenotype figure draws one."""
    return max(1, math.ceil(len(tables.point_count) / MOST_MARKERS))


def phenotype_figure(tables):
    figure, axes = plt.subplots(figsize=FIGURE_INCHES, dpi=FIGURE_DPI)
    stride = generation_stride(tables)
    drawn = np.isin(tables.point_generation, tables.generation[::stride])
    for i, phenotype in enumerate(tables.host_phenotypes):
        axes.axhline(
            phenotype,
            color="0.6",
            linestyle="--",
            linewidth=0.8,
            zorder=0,
            label="host phenotype" if i == 0 else None,
            gid=f"host-phenotype-{i + 1}",
        )
    areas = marker_areas(tables.point_count[drawn])
    species = tables.point_species[drawn]
    labels = np.unique(species)
    for label in labels:
        chosen = species == label
        axes.scatter(
            tables.point_generation[drawn][chosen],
            tables.point_phenotype[drawn][chosen],
            s=areas[chosen],
            color=species_colour(int(label)),
            alpha=0.75,
            linewidths=0,
            label=f"species {label}",
            gid=f"species-{label}",
        )
    axes.set_xlabel("generation")
    axes.set_ylabel("parasite phenotype")
    title = "Parasite phenotypes by species (marker area: number of parasites)"
    if stride > 1:
        title += f"\none reported generation in {stride} drawn"
    axes.set_title(title)
    if len(labels) == 0:
        axes.text(0.5, 0.5, "no generation reported", transform=axes.transAxes, ha="center")
    elif len(labels) <= MOST_SPECIES_IN_LEGEND:
        legend = axes.legend(loc="upper left", bbox_to_anchor=(1.01, 1.0), fontsize="small")
        # One marker size for every species in the legend, whatever its first group's size.
        handles = getattr(legend, "legend_handles", None) or legend.legendHandles
        for handle in handles:
            if hasattr(handle, "set_sizes"):
                handle.set_sizes([30.0])
    figure.tight_layout()
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


def save_figure(figure, folder, stem):
    """Writes stem.png and stem.svg without the date or version stamps that would vary."""
    folder = pathlib.Path(folder)
    figure.savefig(folder / f"{stem}.png", metadata={"Software": None})
    figure.savefig(folder / f"{stem}.svg", metadata={"Date": None, "Creator": None})
    plt.close(figure)


def main(argv=None):
    parser = argparse.ArgumentParser(
        prog="parasim_plot.py",
        description="Figures of a parasim run from the tables of parasim-report --csv.",
    )
    parser.add_argument("folder", help="folder holding generations.csv, hosts.csv and points.csv")
    parser.add_argument("--out", help="folder for the figures (default: the tables' folder)")
    try:
        options = parser.parse_args(argv)
    except SystemExit as stop:
        return 0 if stop.code == 0 else 2
    out = pathlib.Path(options.out or options.folder)
    try:
        tables = load_tables(options.folder)
        out.mkdir(parents=True, exist_ok=True)
        save_figure(phenotype_figure(tables), out, "phenotypes")
        save_figure(population_figure(tables), out, "population")
    except (TableError, csv.Error, UnicodeDecodeError) as error:
        print(f"parasim_plot.py: {error}", file=sys.stderr)
        return 1
    except OSError as error:
        print(f"parasim_plot.py: {error}", file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
