"""The figures of a species history's tables: the species tree, the Muller plot, host use and
lineages through time. The bands of the Muller plot and host use are built for the named species
and the summed others only (species_bands), so a history of very many species draws as fast as
one of few."""

import math

import matplotlib.pyplot as plt
import numpy as np
from matplotlib.collections import LineCollection

from . import layouts
from .edge_labels import muller_labels, tree_labels
from .figure_legends import (FIGURE_DPI, FIGURE_INCHES, fit_beside_legend, legend_beside,
                             species_handles, thinning_note)
from .species_bands import OTHERS, band_counts, muller_bands, muller_groups, stacked_groups
from .species_colours import OTHER_SPECIES_COLOUR

MOST_DRAWN_GENERATIONS = 2000  # per band of the Muller and host-use figures
HOST_PANELS_PER_COLUMN = 6
TIP_LABELS_FOR_ALL = 40  # with more species, only the named ones get a tip label


def band_colour(naming, key):
    return OTHER_SPECIES_COLOUR if key == OTHERS else naming.colours(key)


def band_ids(bands, prefix=""):
    """The SVG id of each band: species-N for a named species, others-1, others-2, ... for
    the bands of other species."""
    ids, others = [], 0
    for key in bands.key:
        if key == OTHERS:
            others += 1
        ids.append(f"{prefix}species-{key}" if key != OTHERS else f"{prefix}others-{others}")
    return ids


EDGE_ROOM = 0.22  # the share of the generations added right of the tree for the names there


def edge_name(axes, x, y, text, colour, key, align):
    """A species named at the right edge of a figure, framed in its colour (SVG id
    name-species-N)."""
    axes.text(x, y, text, ha=align, va="center", fontsize=7, gid=f"name-species-{key}",
              bbox={"boxstyle": "round,pad=0.2", "facecolor": "white", "alpha": 0.8,
                    "edgecolor": colour, "linewidth": 1})


def tree_figure(history, naming):
    """Each named species is a line of its own (id species-N); the other species are drawn
    together, each in its grey (id others)."""
    figure, axes = plt.subplots(figsize=FIGURE_INCHES, dpi=FIGURE_DPI)
    layout = layouts.tree_layout(history)
    label_all = len(history) <= TIP_LABELS_FOR_ALL
    as_image = len(history) > layouts.MOST_DETAILED_SPECIES
    linked = np.flatnonzero(layout.link_from != layout.row)
    axes.add_collection(LineCollection(
        np.stack([np.column_stack([layout.start[linked], layout.link_from[linked]]),
                  np.column_stack([layout.start[linked], layout.row[linked]])], axis=1),
        colors="0.55", linewidths=0.6, zorder=1, gid="splits", rasterized=as_image))
    named = set(naming.colours.named)
    for species in sorted(named):
        index = species - 1
        axes.plot([layout.start[index], layout.end[index]], [layout.row[index]] * 2,
                  color=naming.colours(species), linewidth=2.2, solid_capstyle="butt",
                  zorder=2, gid=f"species-{species}")
    others = np.setdiff1d(np.arange(len(history)), np.array(sorted(named), dtype=np.int64) - 1)
    if len(others):
        axes.add_collection(LineCollection(
            np.stack([np.column_stack([layout.start[others], layout.row[others]]),
                      np.column_stack([layout.end[others], layout.row[others]])], axis=1),
            colors=[naming.colours(i + 1) for i in others.tolist()], linewidths=1.2,
            capstyle="butt", zorder=2, gid="others", rasterized=as_image))
    # The largest species alive at the end are named where their lines end, the others numbered.
    edge = dict(tree_labels(history, layout, named))
    for index in range(len(history)) if label_all else [s - 1 for s in sorted(named)]:
        if index + 1 in edge:
            edge_name(axes, layout.end[index], layout.row[index], naming.name(index + 1),
                      naming.colours(index + 1), index + 1, "left")
        else:
            axes.text(layout.end[index], layout.row[index], f" {index + 1}",
                      fontsize=6 if label_all else 7, va="center", ha="left")
    ended = ~history.extant
    axes.scatter(layout.end[ended], layout.row[ended], marker="x", s=12, color="0.2",
                 linewidths=0.8, zorder=3, gid="extinctions", rasterized=as_image)
    axes.set_yticks([])
    axes.autoscale_view()
    if edge:
        # Room for the names right of the last generation, where the axis has no ticks.
        left, right = axes.get_xlim()
        ticks = [tick for tick in axes.get_xticks() if left <= tick <= right]
        axes.set_xlim(left, right + EDGE_ROOM * (right - left))
        axes.set_xticks(ticks)
        axes.spines["bottom"].set_bounds(left, right)
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


def muller_figure(history, naming):
    figure, axes = plt.subplots(figsize=FIGURE_INCHES, dpi=FIGURE_DPI)
    generations, stride = layouts.drawn_generations(history, MOST_DRAWN_GENERATIONS)
    bands = muller_groups(history.parent, naming.colours.named)
    own = band_counts(bands, generations, history.size_generation, history.size_species,
                      history.size_count)
    bottom, top = muller_bands(bands, own)
    for band, gid in enumerate(band_ids(bands)):
        span = layouts.band_span(top[band] - bottom[band])
        if span is not None:
            axes.fill_between(generations[span], bottom[band][span], top[band][span],
                              linewidth=0, color=band_colour(naming, bands.key[band]), gid=gid)
    for key, height in muller_labels(bands, own, bottom, top):
        edge_name(axes, generations[-1], height, naming.name(key), naming.colours(key), key,
                  "right")
    axes.set_xlabel("generation")
    axes.set_ylabel("parasites")
    axes.set_xlim(generations[0] if len(generations) else 0,
                  generations[-1] if len(generations) else 1)
    axes.set_ylim(bottom=0)
    axes.set_title("Muller plot: parasites of each species, daughters inside their mothers"
                   + thinning_note(stride))
    legend_beside(figure, species_handles(naming))
    fit_beside_legend(figure)
    return figure


def host_use_figure(history, naming):
    hosts = layouts.hosts_by_phenotype(history)
    columns = max(1, math.ceil(len(hosts) / HOST_PANELS_PER_COLUMN))
    rows = max(1, math.ceil(len(hosts) / columns))
    inches = (FIGURE_INCHES[0], max(FIGURE_INCHES[1], 1.1 * rows))
    figure, grid = plt.subplots(rows, columns, sharex=True, figsize=inches, dpi=FIGURE_DPI,
                                squeeze=False)
    generations, stride = layouts.drawn_generations(history, MOST_DRAWN_GENERATIONS)
    bands = stacked_groups(len(history), naming.colours.named)
    for place, axes in enumerate(grid.flat):
        if place >= len(hosts):
            axes.set_visible(False)
            continue
        host, phenotype = hosts[place]
        on_host = history.host == host
        counts = band_counts(bands, generations, history.host_generation[on_host],
                             history.host_species[on_host], history.host_count[on_host])
        bottom, top = layouts.stacked_bands(counts)
        # Each band only where it has parasites, which keeps the SVG of a long run small.
        for band, gid in enumerate(band_ids(bands, f"host-{host}-")):
            span = layouts.band_span(counts[band])
            if span is not None:
                axes.fill_between(generations[span], bottom[band][span], top[band][span],
                                  linewidth=0, color=band_colour(naming, bands.key[band]),
                                  gid=gid)
        axes.text(0.01, 0.95, f"host {host} (phenotype {phenotype:g})", transform=axes.transAxes,
                  fontsize="small", va="top")
        axes.set_ylim(bottom=0)
        axes.tick_params(labelsize="small")
        if place % columns == 0:
            axes.set_ylabel("parasites", fontsize="small")
        if place >= len(hosts) - columns:
            axes.set_xlabel("generation", fontsize="small")
    figure.suptitle("Host use: parasites of each species on each host, hosts in phenotype "
                    "order (lowest first)" + thinning_note(stride))
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
    changes = layouts.step_rows([values for _, values, _, _, _ in series])
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
