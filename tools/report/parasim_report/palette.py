"""The colours of parasim's figures and pages, without a plotting library: the page and the
sweep's page use them as CSS colours, the figures as matplotlib's RGBA tuples, so a species or a
series has the same colour in both.

The species' colours are the Glasbey palette of Debian's python3-colorcet that keeps away from
greys, black and white (`glasbey_dark`: every colour of some chroma and at most 70 of lightness),
each as far from all before it as the palette could find, less its few muted colours: so the
named species stand apart from each other, from the greys of the other species and from the
white background. The sweep's
series take matplotlib's qualitative tab10 (also plotly's default sequence).
"""

import sys

TAB10 = ("#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd", "#8c564b", "#e377c2", "#7f7f7f",
         "#bcbd22", "#17becf")

# How many species get a colour and a name of their own in the legends (see species_colours).
SPECIES_COLOURS = 30


def _glasbey_dark():
    """colorcet's glasbey_dark. colorcet registers its hundreds of maps with matplotlib when it
    can import it, which takes a page (that needs no matplotlib) half a second and the figures
    a warning per map; so colorcet is imported as if matplotlib were not installed."""
    loaded = sys.modules.get("matplotlib")
    sys.modules["matplotlib"] = None  # an import of it raises ImportError, which colorcet takes
    try:
        import colorcet
    finally:
        if loaded is None:
            del sys.modules["matplotlib"]
        else:
            sys.modules["matplotlib"] = loaded
    return tuple(colorcet.glasbey_dark)


def rgba(hex_colour):
    """'#1f77b4' as matplotlib's (red, green, blue, alpha), each 0 ... 1."""
    return tuple(int(hex_colour[i:i + 2], 16) / 255 for i in (1, 3, 5)) + (1.0,)


def chroma(hex_colour):
    """How far a colour is from grey: the spread of its channels, 0 ... 1."""
    channels = rgba(hex_colour)[:3]
    return max(channels) - min(channels)


# The named species, largest first: the palette in its order, less its muted colours (sage,
# pale cyan, mauve), which read as the greys of the other species beside them.
MIN_CHROMA = 0.25
NAMED_SPECIES = tuple(colour for colour in _glasbey_dark()
                      if chroma(colour) >= MIN_CHROMA)[:SPECIES_COLOURS]
# The other species alternate between these greys (levels of 0 black ... 1 white), so that
# neighbours stay apart; their shared legend entry has the colour OTHER_SPECIES_GREY.
OTHER_SPECIES_GREYS = (0.55, 0.68, 0.78, 0.62, 0.72)
OTHER_SPECIES_GREY = 0.68


def grey(level):
    return (level, level, level, 1.0)


def css(colour):
    """An RGBA tuple as a CSS colour, rgb(r,g,b)."""
    red, green, blue = (round(255 * channel) for channel in colour[:3])
    return f"rgb({red},{green},{blue})"
