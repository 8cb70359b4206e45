"""The charts of a run's web page drawn from a results file's tables (generations.csv,
hosts.csv, host_points.csv): phenotypes by species, and population and species, with the
history's every generation when there is one."""

import math
import pathlib
from dataclasses import dataclass

import numpy as np
import plotly.graph_objects as go
from plotly.subplots import make_subplots

from . import columns, layouts
from .chart_naming import TEMPLATE, Chart, mark_empty, new_figure, trace_style
from .tables import TableError, read_table

# The phenotype chart draws each marker as an SVG element; past this many the page grows slow
# to open, and every k-th reported generation is drawn, k = ceil(markers / MOST_MARKERS).
MOST_MARKERS = 10000
LARGEST_MARKER_PIXELS = 24  # the diameter of the marker of the largest group
SMALLEST_MARKER_PIXELS = 4
HOST_LINE_COLOUR = "rgb(150,150,150)"


@dataclass
class Results:
    """The page's tables of a results file."""

    generation: np.ndarray  # each reported generation, ascending
    population: np.ndarray
    species_count: np.ndarray
    host_phenotype: dict  # host -> its phenotype, for the hosts ever occupied
    point_generation: np.ndarray  # host_points.csv, row by row
    point_label: np.ndarray
    point_phenotype: np.ndarray
    point_host: np.ndarray
    point_count: np.ndarray


def load_results(folder):
    folder = pathlib.Path(folder)
    generations = read_table(folder, columns.GENERATIONS)
    hosts = read_table(folder, columns.HOSTS)
    points = read_table(folder, columns.HOST_POINTS)
    return Results(
        generation=generations["generation"], population=generations["population"],
        species_count=generations["species"],
        host_phenotype=dict(zip(hosts["host"].tolist(), hosts["host_phenotype"].tolist())),
        point_generation=points["generation"], point_label=points["label"],
        point_phenotype=points["phenotype"], point_host=points["host"],
        point_count=points["count"])


@dataclass
class PhenotypePoints:
    """The parasites of one generation sharing a species and a phenotype, one marker each;
    hosts tells on which hosts they live, and how many on each."""

    generation: np.ndarray
    label: np.ndarray
    phenotype: np.ndarray
    count: np.ndarray
    hosts: list


def phenotype_points(results, generations):
    """The markers of the given reported generations, from host_points.csv (ordered by
    generation, label, phenotype, host)."""
    rows = np.flatnonzero(np.isin(results.point_generation, generations))
    g = results.point_generation[rows]
    label = results.point_label[rows]
    phenotype = results.point_phenotype[rows]
    starts = np.flatnonzero(np.concatenate(
        [[True], (g[1:] != g[:-1]) | (label[1:] != label[:-1])
         | (phenotype[1:] != phenotype[:-1])])) if len(rows) else np.array([], dtype=np.int64)
    count = (np.add.reduceat(results.point_count[rows], starts) if len(rows)
             else np.array([], dtype=np.int64))
    ends = np.append(starts[1:], len(rows))
    hosts = []
    for start, end in zip(starts, ends):
        hosts.append(", ".join(
            f"host {h} (phenotype {results.host_phenotype[int(h)]:g}): {n}"
            for h, n in zip(results.point_host[rows[start:end]],
                            results.point_count[rows[start:end]])))
    return PhenotypePoints(g[starts], label[starts], phenotype[starts], count, hosts)


def marker_count(results):
    """How many markers the phenotype chart would draw with every reported generation."""
    if len(results.point_generation) == 0:
        return 0
    changes = ((results.point_generation[1:] != results.point_generation[:-1])
               | (results.point_label[1:] != results.point_label[:-1])
               | (results.point_phenotype[1:] != results.point_phenotype[:-1]))
    return 1 + int(changes.sum())


def phenotype_chart(results, naming, history=None):
    markers = marker_count(results)
    stride = max(1, math.ceil(markers / MOST_MARKERS))
    drawn = results.generation[::stride]
    points = phenotype_points(results, drawn)
    keys = points.label
    if history is not None:
        keys = layouts.species_of_label(history, points.label, points.generation)
        if np.any(keys == 0):
            first = int(np.argmax(keys == 0))
            raise TableError(
                f"{columns.HOST_POINTS.file}: label {points.label[first]} at generation "
                f"{points.generation[first]} belongs to no species of the history; are the "
                "results file and the history of the same run?")
    spacing = float(np.median(np.diff(drawn))) if len(drawn) > 1 else 10.0
    ranks = naming.colours.ranks(keys)
    x = np.round(layouts.dodged_generations(points.generation, points.phenotype, ranks,
                                            spacing), 3)
    largest = int(points.count.max()) if len(points.count) else 1
    title = "Parasite phenotypes by species (dashed: host phenotypes)"
    note = (f"Each marker stands for the parasites of one species sharing a phenotype in a "
            f"reported generation, its area in proportion to their number (the largest: "
            f"{largest} parasites); species sharing a phenotype are set side by side. "
            f"{markers} markers in all.")
    if stride > 1:
        title += f"<br><sup>one reported generation in {stride} drawn</sup>"
        note += (f" Past {MOST_MARKERS} markers only every k-th reported generation is drawn, "
                 f"k = ceil(markers / {MOST_MARKERS}) = {stride}, from the first: "
                 f"{len(drawn)} of {len(results.generation)} reported generations, "
                 f"{len(points.count)} markers.")
    else:
        note += " Every reported generation is drawn."
    figure = new_figure(title, height=naming.chart_height(560))
    shown = {}
    for members, name, colour, group, rank in naming.legend_groups(keys):
        chosen = np.isin(keys, members)
        figure.add_trace(go.Scatter(
            x=x[chosen], y=points.phenotype[chosen], mode="markers",
            marker={"size": points.count[chosen], "sizemode": "area",
                    "sizeref": largest / (2.0 * LARGEST_MARKER_PIXELS ** 2),
                    "sizemin": SMALLEST_MARKER_PIXELS, "color": colour, "opacity": 0.85,
                    "line": {"color": "white", "width": 0.5}},
            customdata=[[naming.name(int(k)), int(g), int(n), hosts] for k, g, n, hosts in zip(
                keys[chosen], points.generation[chosen], points.count[chosen],
                np.array(points.hosts, dtype=object)[chosen])],
            hovertemplate=("<b>%{customdata[0]}</b><br>generation %{customdata[1]}, "
                           "phenotype %{y:.1f}<br>%{customdata[2]} parasites<br>"
                           "%{customdata[3]}<extra></extra>"),
            **trace_style(name, group, rank, shown)))
    for phenotype in sorted(set(results.host_phenotype.values())):
        figure.add_hline(y=phenotype, line={"color": HOST_LINE_COLOUR, "dash": "dash",
                                            "width": 1}, layer="below")
    figure.update_xaxes(title="generation")
    figure.update_yaxes(title="parasite phenotype")
    if not len(points.count):
        mark_empty(figure, "no generation reported")
    return Chart("phenotypes", "Phenotypes by species", figure, note)


def population_chart(results, history):
    figure = make_subplots(rows=2, cols=1, shared_xaxes=True, vertical_spacing=0.08)
    figure.update_layout(template=TEMPLATE, height=480, hovermode="x unified",
                         title="Population size and number of species",
                         margin={"l": 60, "r": 20, "t": 70, "b": 50})
    series = []
    if history is not None:
        population = np.zeros(len(history.generation), dtype=np.int64)
        np.add.at(population, np.searchsorted(history.generation, history.size_generation),
                  history.size_count)
        series.append(("every generation (history)", history.generation, population,
                       history.species_alive, "lines", "rgb(31,119,180)"))
    if results is not None:
        series.append(("reported generations (results file)", results.generation,
                       results.population, results.species_count, "lines+markers",
                       "rgb(255,127,14)"))
    for name, generations, population, species, mode, colour in series:
        for row, values, what in ((1, population, "parasites"), (2, species, "species")):
            figure.add_trace(go.Scatter(
                x=generations, y=values, mode=mode, name=name, legendgroup=name,
                showlegend=row == 1, line={"color": colour, "width": 1.5},
                marker={"size": 5}, hovertemplate=f"%{{y}} {what}<extra>{name}</extra>",
                uid=f"{what}-{mode}"), row=row, col=1)
    figure.update_yaxes(title="population", row=1, col=1, rangemode="tozero")
    figure.update_yaxes(title="species", row=2, col=1, rangemode="tozero")
    figure.update_xaxes(title="generation", row=2, col=1)
    note = ("Parasites and species at the start of each generation, after its species are "
            "labelled.")
    return Chart("population", "Population and species richness", figure, note)
