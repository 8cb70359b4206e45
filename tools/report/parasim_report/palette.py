"""The colours of parasim's figures and pages, without a plotting library: the page and the
sweep's page use them as CSS colours, the figures as matplotlib's RGBA tuples, so a species or a
series has the same colour in both.

The two lists are matplotlib's qualitative maps tab20 and tab10 (tab10 is also plotly's default
sequence), which keeps the figures as they were drawn from matplotlib's own maps.
"""

TAB20 = ("#1f77b4", "#aec7e8", "#ff7f0e", "#ffbb78", "#2ca02c", "#98df8a", "#d62728", "#ff9896",
         "#9467bd", "#c5b0d5", "#8c564b", "#c49c94", "#e377c2", "#f7b6d2", "#7f7f7f", "#c7c7c7",
         "#bcbd22", "#dbdb8d", "#17becf", "#9edae5")
TAB10 = TAB20[::2]

# The named species: strong colours that stay apart from each other and from the greys of the
# other species (tab20 without its greys: its strong colours first, then their light companions).
NAMED_SPECIES = tuple(TAB20[i] for i in (0, 2, 4, 6, 8, 10, 12, 16, 18, 1, 3, 5, 7, 9, 11, 13,
                                         17, 19))
# The other species alternate between these greys (levels of 0 black ... 1 white), so that
# neighbours stay apart; their shared legend entry has the colour OTHER_SPECIES_GREY.
OTHER_SPECIES_GREYS = (0.55, 0.68, 0.78, 0.62, 0.72)
OTHER_SPECIES_GREY = 0.68


def rgba(hex_colour):
    """'#1f77b4' as matplotlib's (red, green, blue, alpha), each 0 ... 1."""
    return tuple(int(hex_colour[i:i + 2], 16) / 255 for i in (1, 3, 5)) + (1.0,)


def grey(level):
    return (level, level, level, 1.0)


def css(colour):
    """An RGBA tuple as a CSS colour, rgb(r,g,b)."""
    red, green, blue = (round(255 * channel) for channel in colour[:3])
    return f"rgb({red},{green},{blue})"
