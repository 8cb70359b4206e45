"""The charts of a run's web page drawn from a species history's tables: the Muller plot, the
species tree, host use and lineages through time. The layouts are those of the figures
(layouts, species_bands), so the page shows what the PNG and SVG figures show; the bands are
built for the named species and the summed others only."""

import math

import numpy as np
import plotly.graph_objects as go
from plotly.subplots import make_subplots

from . import layouts
from .edge_labels import muller_labels, tree_labels
from .chart_naming import (OTHERS_COLOUR, OTHERS_GROUP, TEMPLATE, Chart, mark_empty, new_figure,
                           trace_style)
from .species_bands import OTHERS, band_counts, muller_bands, muller_groups, stacked_groups

# The Muller and host-use charts draw at most this many generations: every k-th, the first and
# the last included.
MOST_GENERATIONS = 1000
HOST_PANELS_PER_COLUMN = 6
TIP_LABELS_FOR_ALL = 40  # with more species, only the named ones get a tip label
LINK_COLOUR = "rgb(140,140,140)"
EDGE_ROOM = 0.22  # the share of the generations added right of the tree for the names there


def edge_name(figure, naming, key, x, y, anchor):
    """A species named at the right edge of a chart, framed in its colour."""
    figure.add_annotation(x=x, y=y, text=naming.name(key), name=f"name-species-{key}",
                          xanchor=anchor, xshift=4 if anchor == "left" else -2,
                          showarrow=False, font={"size": 10}, bgcolor="rgba(255,255,255,0.8)",
                          bordercolor=naming.colour(key), borderwidth=1)


def thinning_note(stride, drawn, every):
    if stride == 1:
        return f" Every generation is drawn ({len(every)})."
    return (f" At most {MOST_GENERATIONS} generations are drawn: every k-th, k = "
            f"ceil(generations / {MOST_GENERATIONS}) = {stride}, the first and the last "
            f"included ({len(drawn)} of {len(every)}).")


def thinned_title(title, stride):
    return title + (f"<br><sup>one generation in {stride} drawn</sup>" if stride > 1 else "")


def band_legend(naming, bands):
    """(band indexes, name, colour, legend group, rank) for each trace of a band chart: one per
    named species, largest first, then the bands of other species together."""
    named = sorted((band for band, key in enumerate(bands.key) if key != OTHERS),
                   key=lambda band: naming.colours.rank(bands.key[band]))
    traces = [([band], naming.name(int(bands.key[band])), naming.colour(bands.key[band]),
               f"species-{bands.key[band]}", rank) for rank, band in enumerate(named)]
    others = [band for band, key in enumerate(bands.key) if key == OTHERS]
    if others:
        traces.append((others, naming.others_name(), OTHERS_COLOUR, OTHERS_GROUP,
                       len(naming.colours.named)))
    return traces


def polygon(x, low, high):
    """A closed band from low to high over x, as the vertices of a 'toself' fill."""
    return list(x) + list(x[::-1]), list(high) + list(low[::-1])


def muller_chart(history, naming):
    generations, stride = layouts.drawn_generations(history, MOST_GENERATIONS)
    bands = muller_groups(history.parent, naming.colours.named)
    own = band_counts(bands, generations, history.size_generation, history.size_species,
                      history.size_count)
    bottom, top = muller_bands(bands, own)
    figure = new_figure(thinned_title(
        "Muller plot: parasites of each species, daughters inside their mothers", stride),
        height=naming.chart_height(480))
    shown = {}
    for members, name, colour, group, rank in band_legend(naming, bands):
        xs, ys, data = [], [], []
        for band in members:
            span = layouts.band_span(own[band])
            if span is None:
                continue
            g = generations[span]
            half = own[band][span] / 2.0
            key = int(bands.key[band])
            label = int(history.label[key - 1]) if key != OTHERS else 0
            counts = list(own[band][span].astype(int))
            # The band's own parasites: half below the bands nested in it, half above.
            for low, high in ((bottom[band][span], bottom[band][span] + half),
                              (top[band][span] - half, top[band][span])):
                px, py = polygon(g, low, high)
                xs += px + [None]
                ys += py + [None]
                # Numbers only, one triple a vertex: a long run has a great many vertices.
                data += [[key, label, int(n)] for n in counts + counts[::-1]] + [None]
        if xs:
            what = ("species %{customdata[0]} (label %{customdata[1]})" if group != OTHERS_GROUP
                    else "other species")
            figure.add_trace(go.Scatter(
                x=xs, y=ys, mode="lines", fill="toself", fillcolor=colour,
                line={"width": 0, "color": colour}, hoveron="points+fills", customdata=data,
                hovertemplate=(f"<b>{what}</b><br>generation %{{x}}: %{{customdata[2]}} "
                               "parasites<extra></extra>"),
                **trace_style(name, group, rank, shown)))
    for key, height in muller_labels(bands, own, bottom, top):
        edge_name(figure, naming, key, int(generations[-1]), height, "right")
    figure.update_xaxes(title="generation")
    figure.update_yaxes(title="parasites", rangemode="tozero")
    note = ("Each species' band holds its own parasites, half below and half above the bands "
            "of its daughters, which are nested inside it in order of origin; the largest "
            "species at the last generation are named at the right edge. The species not "
            "named in the legend are summed into grey bands, one for those below each named "
            "species." + thinning_note(stride, generations, history.generation))
    return Chart("muller", "Muller plot", figure, note)


def tree_text(history, naming, index):
    species = int(history.species[index])
    parent = int(history.parent[index])
    origin = (f" from {naming.name(parent)}" if parent else " (the founders)")
    end = "alive at the end" if history.extant[index] else "died out"
    return (f"<b>{naming.name(species)}</b><br>born at generation {history.born[index]}"
            f"{origin}<br>{history.size_at_birth[index]} parasites at birth<br>"
            f"last generation {history.last_seen[index]} ({end})")


def tree_chart(history, naming):
    layout = layouts.tree_layout(history)
    count = len(history)
    figure = new_figure(
        f"Species tree: {count} species, {int(history.extant.sum())} alive at the end "
        "(x: died out)", height=min(1400, max(naming.chart_height(480), 12 * count + 160)))
    bare = count > layouts.MOST_DETAILED_SPECIES
    linked = np.flatnonzero(layout.link_from != layout.row)
    if bare:
        linked = np.intersect1d(linked, np.array(naming.colours.named, dtype=np.int64) - 1)
    links_x = np.full(3 * len(linked), np.nan)
    links_y = np.full(3 * len(linked), np.nan)
    links_x[0::3] = links_x[1::3] = layout.start[linked]
    links_y[0::3], links_y[1::3] = layout.link_from[linked], layout.row[linked]
    figure.add_trace(go.Scatter(x=links_x, y=links_y, mode="lines", hoverinfo="skip",
                                connectgaps=False, line={"color": LINK_COLOUR, "width": 0.8},
                                showlegend=False, name="splits", uid="splits"))
    label_all = count <= TIP_LABELS_FOR_ALL
    # The largest species alive at the end are named where their lines end, the others numbered.
    edge = dict(tree_labels(history, layout, naming.colours.named))
    shown = {}
    for members, name, colour, group, rank in naming.legend_groups(history.species):
        if group == OTHERS_GROUP and bare:
            continue
        index = np.array(members, dtype=np.int64) - 1
        xs = np.full(3 * len(index), np.nan)
        ys = np.full(3 * len(index), np.nan)
        xs[0::3], xs[1::3] = layout.start[index], layout.end[index]
        ys[0::3] = ys[1::3] = layout.row[index]
        style = trace_style(name, group, rank, shown)
        symbols = np.full(3 * len(index), "circle", dtype=object)
        symbols[1::3] = np.where(history.extant[index], "circle", "x")
        texts = np.full(3 * len(index), "", dtype=object)
        if label_all or group != OTHERS_GROUP:
            texts[1::3] = [str(key) if key not in edge else "" for key in (index + 1).tolist()]
        if group != OTHERS_GROUP:
            info = tree_text(history, naming, index[0])
            data = [info, info, None]
            hover = "%{customdata}<extra></extra>"
        else:
            # Numbers only for the other species; the table of species has the rest.
            pairs = [[int(s), int(history.label[s - 1])] for s in index + 1]
            data = [item for pair in pairs for item in (pair, pair, None)]
            hover = ("<b>species %{customdata[0]} (label %{customdata[1]})</b><br>generation "
                     "%{x}<extra></extra>")
        figure.add_trace(go.Scatter(
            x=xs, y=ys, mode="lines+markers+text", text=texts, textposition="middle right",
            textfont={"size": 10}, line={"color": colour, "width": 3 if group != OTHERS_GROUP
                                         else 1.5},
            marker={"symbol": symbols, "size": 7, "color": colour}, customdata=data,
            hovertemplate=hover, **style))
    for key, row in edge.items():
        edge_name(figure, naming, key, float(layout.end[key - 1]), row, "left")
    figure.update_xaxes(title="generation")
    if edge:
        first, last = float(layout.start.min()), float(layout.end.max())
        figure.update_xaxes(range=[first - 0.02 * (last - first),
                                   last + EDGE_ROOM * max(1.0, last - first)])
    figure.update_yaxes(showticklabels=False, showgrid=False, zeroline=False,
                        range=[0.3, count + 0.7])
    note = ("Each species is a line from its birth to its last generation, at the row of its "
            "tip in tree.nwk; a grey link joins it to its mother's line where it split off. "
            "Hover a line's ends for its birth, mother, size at birth and last generation; "
            "the largest species alive at the end are named where their lines end, the "
            "numbers at the other ends are species numbers"
            + ("." if label_all else " (of the named species only).")
            + (f" Of these {count} species only the {len(naming.colours.named)} named ones are "
               f"drawn: past {layouts.MOST_DETAILED_SPECIES} species the lines of all would "
               "take the page minutes to open (the figure tree.png draws every one)."
               if bare else "")
            + " The table of species below lists them all.")
    return Chart("tree", "Species tree", figure, note)


def host_use_chart(history, naming):
    hosts = layouts.hosts_by_phenotype(history)
    columns = max(1, math.ceil(len(hosts) / HOST_PANELS_PER_COLUMN))
    rows = max(1, math.ceil(len(hosts) / columns))
    generations, stride = layouts.drawn_generations(history, MOST_GENERATIONS)
    figure = make_subplots(
        rows=rows, cols=columns, shared_xaxes="all", vertical_spacing=min(0.08, 0.3 / rows),
        subplot_titles=[f"host {host} (phenotype {phenotype:g})" for host, phenotype in hosts])
    figure.update_layout(
        template=TEMPLATE, height=max(180 * rows + 140, naming.chart_height(480)),
        hovermode="closest",
        title=thinned_title("Host use: parasites of each species on each host, hosts in "
                            "phenotype order (lowest first)", stride),
        legend={"title": {"text": "click to hide or show"}, "tracegroupgap": 0},
        margin={"l": 60, "r": 20, "t": 90, "b": 50})
    shown = {}
    bands = stacked_groups(len(history), naming.colours.named)
    legend = {members[0]: (name, colour, group, rank)
              for members, name, colour, group, rank in band_legend(naming, bands)}
    for place, (host, phenotype) in enumerate(hosts):
        row, column = place // columns + 1, place % columns + 1
        on_host = history.host == host
        counts = band_counts(bands, generations, history.host_generation[on_host],
                             history.host_species[on_host], history.host_count[on_host])
        for band in range(len(bands)):
            name, colour, group, rank = legend[band]
            span = layouts.band_span(counts[band])
            if span is None:
                continue
            figure.add_trace(go.Scatter(
                x=generations[span], y=counts[band][span].astype(int), mode="lines",
                stackgroup=f"host-{host}", line={"width": 0.5, "color": colour},
                fillcolor=colour,
                hovertemplate=(f"<b>{name}</b><br>host {host}, generation %{{x}}: %{{y}} "
                               "parasites<extra></extra>"),
                **trace_style(name, group, rank, shown)), row=row, col=column)
        figure.update_yaxes(rangemode="tozero", row=row, col=column)
    for column in range(1, columns + 1):
        figure.update_xaxes(title="generation", row=rows, col=column)
    if not hosts:
        mark_empty(figure, "no parasite in the history")
    note = ("One panel per host that ever held parasites, in phenotype order from the lowest "
            "(host numbers alternate around host 1); in each, the parasites of each named "
            "species stacked in order of origin, the other species summed on top."
            + thinning_note(stride, generations, history.generation))
    return Chart("host-use", "Host use", figure, note)


def lineages_chart(history):
    figure = new_figure("Lineages through time (log scale)")
    series = [
        ("species alive", history.species_alive, "black", "solid", 2.8),
        ("lineages of the extant species' tree", history.extant_lineages, "rgb(23,190,207)",
         "solid", 1.2),
        ("speciation events so far", history.speciation_events, "rgb(44,160,44)", "dash", 1.2),
        ("extinctions so far", history.extinctions, "rgb(214,39,40)", "dash", 1.2),
    ]
    generations = history.generation
    changes = layouts.step_rows([values for _, values, _, _, _ in series])
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
