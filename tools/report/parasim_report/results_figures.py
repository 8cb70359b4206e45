"""The figures of a results file's tables (generations.csv, hosts.csv, points.csv): parasite
phenotypes by species, and population and species against generation."""

import math
import pathlib
from dataclasses import dataclass

import matplotlib.pyplot as plt
import numpy as np
from matplotlib.lines import Line2D

from . import columns, layouts

from .figure_legends import (FIGURE_DPI, FIGURE_INCHES, Naming, fit_beside_legend,
                             legend_beside, species_handles)
from .tables import TableError, read_table

SMALLEST_MARKER_AREA = 4.0  # points squared, for a single parasite
LARGEST_MARKER_AREA = 150.0  # for the largest group of the figure
MOST_MARKERS = 10000  # an SVG marker of its own size takes about 700 bytes


@dataclass
class Tables:
    generation: np.ndarray  # one entry per reported generation, ascending
    population: np.ndarray
    species_count: np.ndarray
    host_phenotypes: np.ndarray  # the distinct phenotypes of the hosts ever occupied, ascending
    point_generation: np.ndarray
    point_label: np.ndarray  # the species label of the results file
    point_phenotype: np.ndarray
    point_count: np.ndarray


def load_tables(folder):
    folder = pathlib.Path(folder)
    generations = read_table(folder, columns.GENERATIONS)
    hosts = read_table(folder, columns.HOSTS)
    points = read_table(folder, columns.POINTS)
    return Tables(
        generation=generations["generation"], population=generations["population"],
        species_count=generations["species"],
        host_phenotypes=np.unique(hosts["host_phenotype"]),
        point_generation=points["generation"], point_label=points["label"],
        point_phenotype=points["phenotype"], point_count=points["count"])


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
    label at their generation. Each named species is a series of its own; the other species
    share one, each point in its species' grey."""
    naming = naming or Naming.of_labels(tables.point_label, tables.point_count)
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
    keys = tables.point_label[drawn]
    if history is not None:
        keys = layouts.species_of_label(history, keys, generations)
        if np.any(keys == 0):
            first = int(np.argmax(keys == 0))
            raise TableError(
                f"{columns.POINTS.file}: label {tables.point_label[drawn][first]} at "
                f"generation {generations[first]} belongs to no species of the history; are "
                "the results file and the history of the same run?")
    spacing = float(np.median(np.diff(drawn_generations))) if len(drawn_generations) > 1 else 10.0
    ranks = naming.colours.ranks(keys)
    x = layouts.dodged_generations(generations, phenotypes, ranks, spacing)
    largest = int(counts.max()) if counts.size else 1
    areas = marker_areas(counts, largest)
    present = sorted(set(keys.tolist()), key=naming.colours.rank)
    named = [key for key in present if naming.colours.is_named(key)]
    # The largest species first, so that the smaller ones are drawn over them.
    for zorder, key in enumerate(named):
        chosen = keys == key
        axes.scatter(x[chosen], phenotypes[chosen], s=areas[chosen], color=naming.colours(key),
                     alpha=0.85, edgecolors="white", linewidths=0.3, zorder=2 + zorder,
                     label=naming.name(key), gid=f"species-{key}")
    others = ~np.isin(keys, named)
    if others.any():
        order = np.flatnonzero(others)[np.argsort(ranks[others], kind="stable")]
        axes.scatter(x[order], phenotypes[order], s=areas[order],
                     color=[naming.colours(key) for key in keys[order]], alpha=0.85,
                     edgecolors="white", linewidths=0.3, zorder=2 + len(named), gid="others")
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
