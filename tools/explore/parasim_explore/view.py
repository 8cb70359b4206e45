"""The charts of the page, built from a look at the run, as plotly figures in JSON: small enough
to send ten times a second however large the run. The parasites now are grouped (one marker per
host, phenotype and species, its area their number); the series through time draw at most
MOST_GENERATIONS generations.

Species are named and coloured as on the run's page (parasim_report's Naming: the largest by
parasites summed over the run so far get colours of their own, the others greys); the species
tree is the run page's own chart and the Muller plot has the run page's bands, drawn from the
run's tables so far. The charts of the run now (parasites, host use) are made for every look,
as plain JSON on the run page's layout. The species tree is made through plotly's figure
objects (a tenth of a second or more), so the charts through time are made at most once every
HISTORY_SECONDS while the run goes, and never more often than keeps their making under a fifth
of the time.
"""

import functools
import json
import threading
import time

import numpy as np

from parasim_report import history_charts, layouts
from parasim_report.chart_naming import Naming, new_figure, trace_style
from parasim_report.history import species_name
from parasim_report.species_bands import muller_bands, muller_groups, band_counts
from parasim_report.species_colours import SpeciesColours

from .live_history import LiveHistory

MOST_GENERATIONS = 1000
HISTORY_SECONDS = 1.0
HISTORY_SHARE = 0.2  # of the time spent making the charts through time, at most
LARGEST_MARKER_PIXELS = 16
HOST_COLOUR = "rgb(40,40,40)"


def naming_of(history):
    return Naming(SpeciesColours(history.species, history.parasite_generations),
                  lambda key: species_name(history, key))


@functools.lru_cache(maxsize=1)
def _page_layout():
    """The layout of the run page's charts, made once: plotly takes a tenth of a second to
    make and check it."""
    return new_figure("").to_plotly_json()["layout"]


def _figure(title, height=440):
    return {"data": [], "layout": {**_page_layout(), "title": {"text": title}, "height": height}}


def _plain(value):
    """numpy's values for json: arrays as lists, NaN (a gap in a line) as null."""
    if isinstance(value, np.ndarray):
        if value.dtype.kind == "f":
            return [None if number != number else number for number in value.tolist()]
        return value.tolist()
    if isinstance(value, np.generic):
        return value.item()
    raise TypeError(f"{type(value).__name__} is not JSON")


def encode(body):
    return json.dumps(body, default=_plain, allow_nan=False, separators=(",", ":")).encode()


def parasites_chart(look, naming):
    """The parasites now: phenotype against their host's phenotype, one marker per host,
    phenotype and species; the hosts on the diagonal, where a parasite fits its host best."""
    figure = _figure(f"Generation {look.state['generation']}: parasites by host<br><sup>"
                     "one marker per phenotype and species; hosts on the diagonal</sup>",
                     height=520)
    hosts = look.hosts
    host_phenotype = np.asarray(hosts.phenotype, dtype=float)
    loci = np.rint(np.asarray(look.phenotype) * 10).astype(np.int64)
    groups, counts = np.unique(np.stack([look.host, loci, look.species], axis=1), axis=0,
                               return_counts=True)
    group_host, group_loci, group_species = groups.T if len(groups) else ([], [], [])
    x_host = host_phenotype[np.asarray(group_host, dtype=np.int64) - 1]
    spread = np.diff(np.unique(host_phenotype))
    spacing = float(spread.min()) if len(spread) else 1.0
    x = np.round(layouts.dodged_generations(x_host, np.asarray(group_loci),
                                            naming.colours.ranks(group_species), spacing), 4)
    largest = int(counts.max()) if len(counts) else 1
    traces = []
    if len(host_phenotype):
        low, high = float(host_phenotype.min()) - spacing, float(host_phenotype.max()) + spacing
        traces.append({"type": "scatter", "x": [low, high], "y": [low, high], "mode": "lines",
                       "line": {"color": "rgb(190,190,190)", "dash": "dash", "width": 1},
                       "hoverinfo": "skip", "showlegend": False, "uid": "host-line"})
        traces.append({
            "type": "scatter", "x": host_phenotype, "y": host_phenotype, "mode": "markers",
            "name": "hosts", "uid": "hosts", "legendrank": 0,
            "marker": {"symbol": "line-ew-open", "size": 22, "line": {"width": 3},
                       "color": HOST_COLOUR},
            "customdata": np.stack([np.arange(1, len(host_phenotype) + 1),
                                    np.asarray(hosts.load)], axis=1),
            "hovertemplate": ("<b>host %{customdata[0]}</b><br>phenotype %{x}<br>"
                              "%{customdata[1]} parasites<extra></extra>")})
    shown = {}
    for members, name, colour, group, rank in naming.legend_groups(group_species):
        chosen = np.isin(group_species, members)
        traces.append({
            "type": "scatter", "x": x[chosen], "y": group_loci[chosen] / 10.0,
            "mode": "markers",
            "marker": {"size": counts[chosen], "sizemode": "area",
                       "sizeref": largest / (2.0 * LARGEST_MARKER_PIXELS ** 2), "sizemin": 3,
                       "color": colour, "opacity": 0.85,
                       "line": {"color": "white", "width": 0.5}},
            "customdata": np.stack([group_species[chosen], group_host[chosen], counts[chosen]],
                                   axis=1),
            "hovertemplate": ("<b>species %{customdata[0]}</b><br>host %{customdata[1]}, "
                              "phenotype %{y:.1f}<br>%{customdata[2]} parasites<extra></extra>"),
            **trace_style(name, group, rank + 1, shown)})
    figure["data"] = traces
    figure["layout"]["xaxis"] = {"title": {"text": "host phenotype"}}
    figure["layout"]["yaxis"] = {"title": {"text": "parasite phenotype"}}
    return figure


def host_use_chart(look, naming):
    """The parasites of each species on each host now, hosts in phenotype order."""
    figure = _figure("Host use now: parasites of each species on each host")
    phenotype = np.asarray(look.hosts.phenotype, dtype=float)
    order = np.lexsort((np.arange(len(phenotype)), phenotype))
    names = [f"host {host + 1} ({phenotype[host]:g})" for host in order]
    place = np.empty(len(order), dtype=np.int64)
    place[order] = np.arange(len(order))
    host = np.asarray(look.host, dtype=np.int64)
    species = np.asarray(look.species, dtype=np.int64)
    shown = {}
    traces = []
    for members, name, colour, group, rank in naming.legend_groups(species):
        on = np.isin(species, members)
        counts = np.bincount(place[host[on] - 1], minlength=len(order))
        traces.append({"type": "bar", "x": names, "y": counts, "marker": {"color": colour},
                       "hovertemplate": f"<b>{name}</b><br>%{{x}}: %{{y}} parasites"
                                        "<extra></extra>",
                       **trace_style(name, group, rank, shown)})
    figure["data"] = traces
    figure["layout"].update(barmode="stack", xaxis={"title": {"text": "host (phenotype)"}},
                            yaxis={"title": {"text": "parasites"}})
    return figure


def population_chart(history):
    """Population and species of every generation so far (at most MOST_GENERATIONS drawn)."""
    generations, stride = layouts.drawn_generations(history, MOST_GENERATIONS)
    rows = np.searchsorted(history.generation, generations)
    title = "Population and species through time"
    figure = _figure(history_charts.thinned_title(title, stride))
    figure["data"] = [
        {"type": "scatter", "x": generations, "y": history.population[rows], "mode": "lines",
         "name": "parasites", "uid": "parasites", "line": {"color": "rgb(31,119,180)"}},
        {"type": "scatter", "x": generations, "y": history.species_alive[rows],
         "mode": "lines", "name": "species", "uid": "species", "yaxis": "y2",
         "line": {"color": "rgb(214,39,40)", "shape": "hv"}}]
    figure["layout"].update(
        hovermode="x unified", xaxis={"title": {"text": "generation"}},
        yaxis={"title": {"text": "parasites"}, "rangemode": "tozero"},
        yaxis2={"title": {"text": "species"}, "overlaying": "y", "side": "right",
                "rangemode": "tozero"})
    return figure


def muller_chart(history, naming):
    """The run page's Muller plot of the generations so far: each species' band holds its own
    parasites, half below and half above the bands of its daughters nested inside it; the
    species not named are summed into grey bands. Hovering a band names it (the run page also
    gives the count of every generation, which takes too long to make ten times a minute)."""
    generations, stride = layouts.drawn_generations(history, history_charts.MOST_GENERATIONS)
    bands = muller_groups(history.parent, naming.colours.named)
    own = band_counts(bands, generations, history.size_generation, history.size_species,
                      history.size_count)
    bottom, top = muller_bands(bands, own)
    figure = _figure(history_charts.thinned_title(
        "Muller plot: daughters inside their mothers", stride))
    shown = {}
    for members, name, colour, group, rank in history_charts.band_legend(naming, bands):
        xs, ys = [], []
        for band in members:
            span = layouts.band_span(own[band])
            if span is None:
                continue
            g = generations[span]
            half = own[band][span] / 2.0
            for low, high in ((bottom[band][span], bottom[band][span] + half),
                              (top[band][span] - half, top[band][span])):
                x, y = history_charts.polygon(g, low, high)
                xs += x + [None]
                ys += y + [None]
        if xs:
            figure["data"].append({
                "type": "scatter", "x": xs, "y": ys, "mode": "lines", "fill": "toself",
                "fillcolor": colour, "line": {"width": 0, "color": colour}, "hoveron": "fills",
                "hoverinfo": "name", **trace_style(name, group, rank, shown)})
    figure["layout"].update(xaxis={"title": {"text": "generation"}},
                            yaxis={"title": {"text": "parasites"}, "rangemode": "tozero"})
    return figure


def history_figures(history, naming):
    """The charts through time: population and species, the Muller plot and the tree."""
    tree = history_charts.tree_chart(history, naming).figure
    extant = int(history.extant.sum())
    tree.update_layout(title=f"Species tree: {len(history)} species, {extant} alive now "
                             "(x: died out)")
    return {"population": population_chart(history), "muller": muller_chart(history, naming),
            "tree": tree.to_plotly_json()}


class Views:
    """The JSON of GET /api/state for the last look, made once per look and request kind;
    the charts through time are made again at most once every HISTORY_SECONDS."""

    def __init__(self):
        self._lock = threading.Lock()
        self._made = {}  # with history -> (look version, JSON bytes)
        self._history = (None, 0.0, None)  # run, when made, figures
        self._history_wait = HISTORY_SECONDS

    def state(self, look, with_history):
        with self._lock:
            version, text = self._made.get(with_history, (None, None))
            if version != look.version:
                text = self._make(look, with_history)
                self._made[with_history] = (look.version, text)
            return text

    def _make(self, look, with_history):
        charts = {}
        if look.hosts is not None:
            history = LiveHistory(look)
            naming = naming_of(history)
            charts["parasites"] = parasites_chart(look, naming)
            charts["host_use"] = host_use_chart(look, naming)
            if with_history:
                run, made, figures = self._history
                now = time.monotonic()
                if (run != look.state["run"] or now - made >= self._history_wait
                        or not look.state["running"]):
                    figures = history_figures(history, naming)
                    spent = time.monotonic() - now
                    self._history = (look.state["run"], now, figures)
                    self._history_wait = max(HISTORY_SECONDS, spent / HISTORY_SHARE)
                charts.update(figures)
        return encode({**look.state, "version": look.version, "charts": charts})
