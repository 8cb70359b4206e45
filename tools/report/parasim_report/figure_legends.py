"""What the PNG and SVG figures share: their size, how they name and colour species, and the
legend strip right of the plots."""

import matplotlib

matplotlib.use("Agg")
from matplotlib.patches import Patch  # noqa: E402  (the backend must be chosen first)

from .history import species_name  # noqa: E402
from .species_colours import OTHER_SPECIES_COLOUR, SpeciesColours, colours_of_rows  # noqa: E402

FIGURE_INCHES = (10.0, 6.0)
FIGURE_DPI = 100  # so the PNG figures are 1000 x 600 pixels
LEGEND_STRIP = 0.78  # share of the figure's width left of the species legend

# Fixed, so that the SVG element ids, and with them the files, do not change between runs.
matplotlib.rcParams["svg.hashsalt"] = "parasim-report"


class Naming:
    """How the figures name and colour species: by history species number, or by label when
    there is no history."""

    def __init__(self, colours, name):
        self.colours = colours
        self.name = name  # key -> legend text

    @classmethod
    def of_history(cls, history):
        colours = SpeciesColours(history.species, history.parasite_generations)
        return cls(colours, lambda key: species_name(history, key))

    @classmethod
    def of_labels(cls, labels, counts):
        """Keyed by the labels of the results file, weighted by their parasites."""
        return cls(colours_of_rows(labels, counts), lambda key: f"label {key}")


def species_handles(naming, present=None):
    """Legend entries: the named species (those present, when given), then the others."""
    handles = [Patch(color=naming.colours(key), label=naming.name(key))
               for key in naming.colours.named if present is None or key in present]
    others = (naming.colours.others if present is None
              else len([key for key in present if not naming.colours.is_named(key)]))
    if others:
        handles.append(Patch(color=OTHER_SPECIES_COLOUR,
                             label=f"other species ({others}, greys)"))
    return handles


# Past this many entries the legend's text is smaller, so that the named species and the
# others' entry fit the figure's height.
LONG_LEGEND = 20


def legend_beside(figure, handles, title=None, location="upper left", height=0.97):
    """A legend in the strip right of the plots (see fit_beside_legend)."""
    size = "small" if len(handles) <= LONG_LEGEND else "x-small"
    return figure.legend(handles=handles, loc=location, bbox_to_anchor=(LEGEND_STRIP, height),
                         fontsize=size, title=title, title_fontsize="small", frameon=False)


def fit_beside_legend(figure):
    """Lays the plots out left of the legend strip."""
    figure.tight_layout(rect=(0, 0, LEGEND_STRIP, 1))


def thinning_note(stride):
    return f"\none generation in {stride} drawn" if stride > 1 else ""
