"""What the charts of a run's web page share: how they name and colour species (the same as the
figures), their legend groups, and the plotly figure they start from.

Every species keeps one colour in every chart. The MOST_NAMED_SPECIES largest are named in the
legends, one entry each; the others are greys and share one entry, "other species", whose click
hides or shows them all. Hovering a point names its species whatever its colour.
"""

from dataclasses import dataclass

import numpy as np
import plotly.graph_objects as go

from .history import species_name
from .palette import css
from .species_colours import OTHER_SPECIES_COLOUR, SpeciesColours, colours_of_rows

TEMPLATE = "plotly_white"
# A legend entry's height and what a chart takes above and below its legend, in pixels.
LEGEND_ENTRY_PIXELS = 19
LEGEND_MARGIN = 150
OTHERS_GROUP = "others"


class Naming:
    """Names and colours of species, the same in every chart: keyed by the history's species
    numbers, or by the results file's labels when there is no history. Names are made when
    asked for, so a history of a million species costs no list of a million names."""

    def __init__(self, colours, name):
        self.colours = colours
        self.name = name  # key -> name

    @classmethod
    def of_history(cls, history):
        return cls(SpeciesColours(history.species, history.parasite_generations),
                   lambda key: species_name(history, key))

    @classmethod
    def of_results(cls, results):
        return cls(colours_of_rows(results.point_label, results.point_count),
                   lambda key: f"label {key}")

    def chart_height(self, least):
        """A chart's height in pixels that shows its whole legend (the named species and the
        others' entry), at least `least`."""
        return max(least, LEGEND_ENTRY_PIXELS * (len(self.colours.named) + 1) + LEGEND_MARGIN)

    def colour(self, key):
        return css(self.colours(key))

    def others_name(self, count=None):
        return f"other species ({self.colours.others if count is None else count}, greys)"

    def legend_groups(self, keys):
        """The traces a chart draws for these species: (keys, name, colour, legend group,
        legend rank), one for each named species, largest first, then one for the other
        species of each grey; the first of these carries the legend entry of all of them."""
        keys = np.unique(np.asarray(keys, dtype=np.int64))
        named = sorted((int(key) for key in keys if self.colours.is_named(key)),
                       key=self.colours.rank)
        others = keys[~np.isin(keys, named)]
        groups = [([key], self.name(key), self.colour(key), f"species-{key}", rank)
                  for rank, key in enumerate(named)]
        by_grey = {}
        for key in others.tolist():
            by_grey.setdefault(self.colour(key), []).append(key)
        name = self.others_name(len(others))
        groups += [(members, name, colour, OTHERS_GROUP, len(self.colours.named))
                   for colour, members in by_grey.items()]
        return groups


OTHERS_COLOUR = css(OTHER_SPECIES_COLOUR)


def trace_style(name, group, rank, traces_of_group):
    """Legend settings of a trace: a legend group gets its entry on its first trace, in legend
    order (the largest species first) whatever the order of the traces. The uid names the group
    and the trace's place in it: species-7, then species-7-2, species-7-3, ..."""
    number = traces_of_group.get(group, 0) + 1
    traces_of_group[group] = number
    return {"name": name, "legendgroup": group, "showlegend": number == 1, "legendrank": rank,
            "uid": group if number == 1 else f"{group}-{number}"}


def new_figure(title, height=480):
    figure = go.Figure()
    figure.update_layout(template=TEMPLATE, title=title, height=height, hovermode="closest",
                         legend={"title": {"text": "click to hide or show"}, "tracegroupgap": 0,
                                 "itemsizing": "constant"},
                         margin={"l": 60, "r": 20, "t": 70, "b": 50})
    return figure


def mark_empty(figure, text):
    figure.add_annotation(text=text, xref="paper", yref="paper", x=0.5, y=0.5,
                          showarrow=False, font={"size": 16})


@dataclass
class Chart:
    name: str  # the id of its element on the page
    title: str
    figure: go.Figure
    note: str  # what the page says about how it was drawn
