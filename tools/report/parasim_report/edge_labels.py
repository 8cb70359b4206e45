"""Where the largest species are named directly, at the right edge of the Muller plot and of the
species tree, in the figures and on the page alike: so a species can be told by its name where
its band or line ends, not only by matching its colour in the legend.

A name is kept only at least LABEL_GAP of the axis away from every name kept before it, the
largest species first, so that no two overlap however many species end together.
"""

import numpy as np

from .species_bands import OTHERS

LABEL_GAP = 0.05  # the share of the vertical axis that two names keep between them


def spaced(keys, heights, sizes, span, gap=LABEL_GAP):
    """(key, height) of the labels kept, lowest first: the largest sizes first, each kept when
    it is at least gap * span from every one kept before; a size of 0 gets no label."""
    keys, heights, sizes = (np.asarray(values) for values in (keys, heights, sizes))
    kept = []
    for index in np.lexsort((keys, -sizes)).tolist():
        height = float(heights[index])
        if sizes[index] > 0 and all(abs(height - other) >= gap * span for _, other in kept):
            kept.append((int(keys[index]), height))
    return sorted(kept, key=lambda label: label[1])


def muller_labels(bands, own, bottom, top):
    """The named species of the Muller plot that have parasites at its last drawn generation
    (the last column of own, bottom, top), each at the middle of its own parasites below its
    daughters' bands, weighted by those parasites."""
    if not own.shape[1]:
        return []
    named = np.flatnonzero(bands.key != OTHERS)
    counts = own[named, -1]
    return spaced(bands.key[named], bottom[named, -1] + counts / 4, counts, float(top.max()))


def tree_labels(history, layout, named):
    """The named species alive at the end, at the rows of their lines in the species tree,
    weighted by their parasites summed over the run."""
    index = np.array(sorted(named), dtype=np.int64) - 1
    alive = index[history.extant[index]]
    return spaced(alive + 1, layout.row[alive], history.parasite_generations[alive],
                  max(1, len(history)))
