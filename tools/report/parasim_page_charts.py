"""The charts of a parasim run's web page, as plotly figures, from the tables parasim-report
writes (see parasim_page.py). The layouts (colours, tree rows, Muller bands, hosts in phenotype
order) are those of parasim_history, so the page shows what the PNG and SVG figures show.

Every species keeps one colour in every chart. The MOST_NAMED_SPECIES largest are named in the
legends, one entry each; the others are greys and share one entry, "other species", whose click
hides or shows them all. Hovering a point names its species whatever its colour.
"""

import math
from dataclasses import dataclass

import numpy as np
import plotly.graph_objects as go
from plotly.subplots import make_subplots

import parasim_history as ph

# The phenotype chart draws each marker as an SVG element; past this many the page grows slow
# to open, and every k-th reported generation is drawn, k = ceil(markers / MOST_MARKERS).
MOST_MARKERS = 10000
# The Muller and host-use charts draw at most this many generations: every k-th, the first and
# the last included.
MOST_GENERATIONS = 1000
HOST_PANELS_PER_COLUMN = 6
LARGEST_MARKER_PIXELS = 24  # the diameter of the marker of the largest group
SMALLEST_MARKER_PIXELS = 4
TIP_LABELS_FOR_ALL = 40  # with more species, only the named ones get a tip label
TEMPLATE = "plotly_white"
HOST_LINE_COLOUR = "rgb(150,150,150)"
LINK_COLOUR = "rgb(140,140,140)"
OTHERS_GROUP = "others"

RESULTS_GENERATION_COLUMNS = ["generation", "population", "species", "phenotype_mean",
                              "phenotype_sd"]
RESULTS_HOST_COLUMNS = ["generation", "host", "load", "host_phenotype", "species_present",
                        "species_list"]
HOST_POINT_COLUMNS = ["generation", "species", "phenotype", "host", "count"]


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
    generation, population, species_count, _, _ = ph.read_columns(
        folder / "generations.csv", RESULTS_GENERATION_COLUMNS,
        [ph.whole, ph.whole, ph.whole, ph.real, ph.real])
    _, host, _, host_phenotype, _, _ = ph.read_columns(
        folder / "hosts.csv", RESULTS_HOST_COLUMNS,
        [ph.whole, ph.whole, ph.whole, ph.real, ph.whole, str])
    point_columns = ph.read_columns(folder / "host_points.csv", HOST_POINT_COLUMNS,
                                    [ph.whole, ph.whole, ph.real, ph.whole, ph.whole])
    g, label, phenotype, point_host, count = (np.array(values) for values in point_columns)
    return Results(
        generation=np.array(generation, dtype=np.int64),
        population=np.array(population, dtype=np.int64),
        species_count=np.array(species_count, dtype=np.int64),
        host_phenotype=dict(zip(host, host_phenotype)),
        point_generation=g.astype(np.int64), point_label=label.astype(np.int64),
        point_phenotype=phenotype.astype(float), point_host=point_host.astype(np.int64),
        point_count=count.astype(np.int64))


def css_colour(rgba):
    red, green, blue = (round(255 * channel) for channel in rgba[:3])
    return f"rgb({red},{green},{blue})"


class Naming:
    """Names and colours of species, the same in every chart: keyed by the history's species
    numbers, or by the results file's labels when there is no history."""

    def __init__(self, colours, names):
        self.colours = colours
        self.names = names  # key -> name

    @classmethod
    def of_history(cls, history):
        return cls(ph.history_colours(history),
                   {int(s): ph.species_name(history, s) for s in history.species})

    @classmethod
    def of_results(cls, results):
        labels = np.unique(results.point_label)
        weights = [int(results.point_count[results.point_label == label].sum())
                   for label in labels]
        return cls(ph.SpeciesColours(labels, weights),
                   {int(label): f"species {label}" for label in labels})

    def colour(self, key):
        return css_colour(self.colours(key))

    def legend_groups(self, keys):
        """The traces a chart draws for these species: (keys, name, colour, legend group,
        legend rank), one for each named species, largest first, then one for the other
        species of each grey; the first of these carries the legend entry of all of them."""
        keys = sorted({int(key) for key in keys}, key=self.colours.rank)
        named = [key for key in keys if key in self.colours.named]
        others = [key for key in keys if key not in self.colours.named]
        groups = [([key], self.names[key], self.colour(key), f"species-{key}", rank)
                  for rank, key in enumerate(named)]
        by_grey = {}
        for key in others:
            by_grey.setdefault(self.colour(key), []).append(key)
        name = f"other species ({len(others)}, greys)"
        groups += [(members, name, colour, OTHERS_GROUP, len(self.colours.named))
                   for colour, members in by_grey.items()]
        return groups


def _trace_style(name, group, rank, traces_of_group):
    """Legend settings of a trace: a legend group gets its entry on its first trace, in legend
    order (the largest species first) whatever the order of the traces. The uid names the group
    and the trace's place in it: species-7, then species-7-2, species-7-3, ..."""
    number = traces_of_group.get(group, 0) + 1
    traces_of_group[group] = number
    return {"name": name, "legendgroup": group, "showlegend": number == 1, "legendrank": rank,
            "uid": group if number == 1 else f"{group}-{number}"}


def _figure(title, height=480):
    figure = go.Figure()
    figure.update_layout(template=TEMPLATE, title=title, height=height, hovermode="closest",
                         legend={"title": {"text": "click to hide or show"}, "tracegroupgap": 0,
                                 "itemsizing": "constant"},
                         margin={"l": 60, "r": 20, "t": 70, "b": 50})
    return figure


def _empty(figure, text):
    figure.add_annotation(text=text, xref="paper", yref="paper", x=0.5, y=0.5,
                          showarrow=False, font={"size": 16})


@dataclass
class Chart:
    name: str  # the id of its element on the page
    title: str
    figure: go.Figure
    note: str  # what the page says about how it was drawn


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
    generation, species, phenotype, host)."""
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
        keys = ph.species_of_label(history, points.label, points.generation)
        if np.any(keys == 0):
            first = int(np.argmax(keys == 0))
            raise ph.TableError(
                f"host_points.csv: label {points.label[first]} at generation "
                f"{points.generation[first]} belongs to no species of the history; are the "
                "results file and the history of the same run?")
    spacing = float(np.median(np.diff(drawn))) if len(drawn) > 1 else 10.0
    ranks = np.array([naming.colours.rank(key) for key in keys])
    x = np.round(ph.dodged_generations(points.generation, points.phenotype, ranks, spacing), 3)
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
    figure = _figure(title, height=560)
    shown = {}
    for members, name, colour, group, rank in naming.legend_groups(keys):
        chosen = np.isin(keys, members)
        figure.add_trace(go.Scatter(
            x=x[chosen], y=points.phenotype[chosen], mode="markers",
            marker={"size": points.count[chosen], "sizemode": "area",
                    "sizeref": largest / (2.0 * LARGEST_MARKER_PIXELS ** 2),
                    "sizemin": SMALLEST_MARKER_PIXELS, "color": colour, "opacity": 0.85,
                    "line": {"color": "white", "width": 0.5}},
            customdata=[[naming.names[int(k)], int(g), int(n), hosts] for k, g, n, hosts in zip(
                keys[chosen], points.generation[chosen], points.count[chosen],
                np.array(points.hosts, dtype=object)[chosen])],
            hovertemplate=("<b>%{customdata[0]}</b><br>generation %{customdata[1]}, "
                           "phenotype %{y:.1f}<br>%{customdata[2]} parasites<br>"
                           "%{customdata[3]}<extra></extra>"),
            **_trace_style(name, group, rank, shown)))
    for phenotype in sorted(set(results.host_phenotype.values())):
        figure.add_hline(y=phenotype, line={"color": HOST_LINE_COLOUR, "dash": "dash",
                                            "width": 1}, layer="below")
    figure.update_xaxes(title="generation")
    figure.update_yaxes(title="parasite phenotype")
    if not len(points.count):
        _empty(figure, "no generation reported")
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


def _thinning_note(stride, drawn, every):
    if stride == 1:
        return f" Every generation is drawn ({len(every)})."
    return (f" At most {MOST_GENERATIONS} generations are drawn: every k-th, k = "
            f"ceil(generations / {MOST_GENERATIONS}) = {stride}, the first and the last "
            f"included ({len(drawn)} of {len(every)}).")


def _thinned_title(title, stride):
    return title + (f"<br><sup>one generation in {stride} drawn</sup>" if stride > 1 else "")


def _polygon(x, low, high):
    """A closed band from low to high over x, as the vertices of a 'toself' fill."""
    return list(x) + list(x[::-1]), list(high) + list(low[::-1])


def muller_chart(history, naming):
    generations, stride = ph.drawn_generations(history, MOST_GENERATIONS)
    bottom, top = ph.muller_bands(history, generations)
    own = ph.size_matrix(history, generations)
    figure = _figure(_thinned_title(
        "Muller plot: parasites of each species, daughters inside their mothers", stride))
    shown = {}
    for members, name, colour, group, rank in naming.legend_groups(history.species):
        xs, ys, data = [], [], []
        for key in members:
            index = key - 1
            span = ph.band_span(own[index])
            if span is None:
                continue
            g = generations[span]
            half = own[index][span] / 2.0
            # The species' own parasites: half below its daughters' bands, half above.
            for low, high in ((bottom[index][span], bottom[index][span] + half),
                              (top[index][span] - half, top[index][span])):
                px, py = _polygon(g, low, high)
                counts = list(own[index][span].astype(int))
                xs += px + [None]
                ys += py + [None]
                # Numbers only, one triple a vertex: a long run has a great many vertices.
                label = int(history.label[index])
                data += [[key, label, int(n)] for n in counts + counts[::-1]] + [None]
        if xs:
            figure.add_trace(go.Scatter(
                x=xs, y=ys, mode="lines", fill="toself", fillcolor=colour,
                line={"width": 0, "color": colour}, hoveron="points+fills", customdata=data,
                hovertemplate=("<b>species %{customdata[0]} (label %{customdata[1]})</b><br>"
                               "generation %{x}: %{customdata[2]} parasites<extra></extra>"),
                **_trace_style(name, group, rank, shown)))
    figure.update_xaxes(title="generation")
    figure.update_yaxes(title="parasites", rangemode="tozero")
    note = ("Each species' band holds its own parasites, half below and half above the bands "
            "of its daughters, which are nested inside it in order of origin."
            + _thinning_note(stride, generations, history.generation))
    return Chart("muller", "Muller plot", figure, note)


def _tree_text(history, naming, index):
    species = int(history.species[index])
    parent = int(history.parent[index])
    origin = (f" from {naming.names[parent]}" if parent else " (the founders)")
    end = "alive at the end" if history.extant[index] else "died out"
    return (f"<b>{naming.names[species]}</b><br>born at generation {history.born[index]}"
            f"{origin}<br>{history.size_at_birth[index]} parasites at birth<br>"
            f"last generation {history.last_seen[index]} ({end})")


def tree_chart(history, naming):
    layout = ph.tree_layout(history)
    count = len(history)
    figure = _figure(
        f"Species tree: {count} species, {int(history.extant.sum())} alive at the end "
        "(x: died out)", height=min(1400, max(480, 12 * count + 160)))
    links_x, links_y = [], []
    for index in range(count):
        if layout.link_from[index] != layout.row[index]:
            links_x += [layout.start[index]] * 2 + [None]
            links_y += [layout.link_from[index], layout.row[index], None]
    figure.add_trace(go.Scatter(x=links_x, y=links_y, mode="lines", hoverinfo="skip",
                                line={"color": LINK_COLOUR, "width": 0.8}, showlegend=False,
                                name="splits", uid="splits"))
    label_all = count <= TIP_LABELS_FOR_ALL
    shown = {}
    for members, name, colour, group, rank in naming.legend_groups(history.species):
        xs, ys, symbols, texts, data = [], [], [], [], []
        for key in members:
            index = key - 1
            info = _tree_text(history, naming, index)
            xs += [layout.start[index], layout.end[index], None]
            ys += [layout.row[index]] * 2 + [None]
            symbols += ["circle", "circle" if history.extant[index] else "x", "circle"]
            labelled = label_all or key in naming.colours.named
            texts += ["", str(key) if labelled else "", ""]
            data += [info, info, None]
        figure.add_trace(go.Scatter(
            x=xs, y=ys, mode="lines+markers+text", text=texts, textposition="middle right",
            textfont={"size": 10}, line={"color": colour, "width": 3 if group != OTHERS_GROUP
                                         else 1.5},
            marker={"symbol": symbols, "size": 7, "color": colour}, customdata=data,
            hovertemplate="%{customdata}<extra></extra>",
            **_trace_style(name, group, rank, shown)))
    figure.update_xaxes(title="generation")
    figure.update_yaxes(showticklabels=False, showgrid=False, zeroline=False,
                        range=[0.3, count + 0.7])
    note = ("Each species is a line from its birth to its last generation, at the row of its "
            "tip in tree.nwk; a grey link joins it to its mother's line where it split off. "
            "Hover a line's ends for its birth, mother, size at birth and last generation; "
            "numbers at the ends are species numbers"
            + ("." if label_all else " (of the named species only).")
            + " The table of species below lists them all.")
    return Chart("tree", "Species tree", figure, note)


def host_use_chart(history, naming):
    hosts = ph.hosts_by_phenotype(history)
    columns = max(1, math.ceil(len(hosts) / HOST_PANELS_PER_COLUMN))
    rows = max(1, math.ceil(len(hosts) / columns))
    generations, stride = ph.drawn_generations(history, MOST_GENERATIONS)
    figure = make_subplots(
        rows=rows, cols=columns, shared_xaxes="all", vertical_spacing=min(0.08, 0.3 / rows),
        subplot_titles=[f"host {host} (phenotype {phenotype:g})" for host, phenotype in hosts])
    figure.update_layout(
        template=TEMPLATE, height=180 * rows + 140, hovermode="closest",
        title=_thinned_title("Host use: parasites of each species on each host, hosts in "
                             "phenotype order (lowest first)", stride),
        legend={"title": {"text": "click to hide or show"}, "tracegroupgap": 0},
        margin={"l": 60, "r": 20, "t": 90, "b": 50})
    shown = {}
    groups = naming.legend_groups(history.species)
    for place, (host, phenotype) in enumerate(hosts):
        row, column = place // columns + 1, place % columns + 1
        counts = ph.host_matrix(history, host, generations)
        for members, name, colour, group, rank in groups:
            band = counts[[key - 1 for key in members]].sum(axis=0)
            span = ph.band_span(band)
            if span is None:
                continue
            figure.add_trace(go.Scatter(
                x=generations[span], y=band[span].astype(int), mode="lines",
                stackgroup=f"host-{host}", line={"width": 0.5, "color": colour},
                fillcolor=colour,
                hovertemplate=(f"<b>{name}</b><br>host {host}, generation %{{x}}: %{{y}} "
                               "parasites<extra></extra>"),
                **_trace_style(name, group, rank, shown)), row=row, col=column)
        figure.update_yaxes(rangemode="tozero", row=row, col=column)
    for column in range(1, columns + 1):
        figure.update_xaxes(title="generation", row=rows, col=column)
    if not hosts:
        _empty(figure, "no parasite in the history")
    note = ("One panel per host that ever held parasites, in phenotype order from the lowest "
            "(host numbers alternate around host 1); in each, the parasites of each species "
            "stacked; the other species of one grey are stacked together."
            + _thinning_note(stride, generations, history.generation))
    return Chart("host-use", "Host use", figure, note)


def lineages_chart(history):
    figure = _figure("Lineages through time (log scale)")
    series = [
        ("species alive", history.species_alive, "black", "solid", 2.8),
        ("lineages of the extant species' tree", history.extant_lineages, "rgb(23,190,207)",
         "solid", 1.2),
        ("speciation events so far", history.speciation_events, "rgb(44,160,44)", "dash", 1.2),
        ("extinctions so far", history.extinctions, "rgb(214,39,40)", "dash", 1.2),
    ]
    generations = history.generation
    changes = ph.step_rows([values for _, values, _, _, _ in series])
    for name, values, colour, dash, width in series:
        shown = [int(v) if v > 0 else None for v in values[changes]]
        figure.add_trace(go.Scatter(
            x=generations[changes], y=shown, mode="lines", line_shape="hv", name=name,
            line={"color": colour, "dash": dash, "width": width}, uid=name,
            hovertemplate=f"generation %{{x}}: %{{y}}<extra>{name}</extra>"))
    figure.update_xaxes(title="generation")
    figure.update_yaxes(title="count (log scale)", type="log")
    note = ("Species alive at each generation, the branches of the extant species' tree, and "
            "the speciation events and extinctions so far; a count of 0 is left out of the "
            "log scale.")
    return Chart("lineages", "Lineages through time", figure, note)


def build_charts(results, history):
    """The charts of the page, in the order it shows them, and the naming they share."""
    naming = Naming.of_history(history) if history is not None else Naming.of_results(results)
    charts = []
    if results is not None:
        charts.append(phenotype_chart(results, naming, history))
    charts.append(population_chart(results, history))
    if history is not None:
        charts += [muller_chart(history, naming), tree_chart(history, naming),
                   host_use_chart(history, naming), lineages_chart(history)]
    return charts, naming
