"""One colour per species, the same in every figure and chart: the largest species named and
coloured, the others grey."""

import numpy as np

from .palette import (NAMED_SPECIES, OTHER_SPECIES_GREY, OTHER_SPECIES_GREYS, SPECIES_COLOURS,
                      grey, rgba)

# The species named in legends: the largest, by parasites summed over the run. The others share
# one legend entry, "other species", and are drawn in greys.
MOST_NAMED_SPECIES = SPECIES_COLOURS
OTHER_SPECIES_COLOUR = grey(OTHER_SPECIES_GREY)  # their legend entry, and their summed bands


class SpeciesColours:
    """Colours of species by key (a species number, or a label without a history). The
    `most_named` largest keys (by weight: parasites summed over the run) get strong colours of
    their own and a legend entry; the others get greys, alternating so that neighbours stay
    apart, and share the legend entry "other species"."""

    def __init__(self, keys, weights, most_named=MOST_NAMED_SPECIES):
        keys = np.asarray(keys, dtype=np.int64)
        weights = np.asarray(weights, dtype=np.int64)
        order = np.lexsort((keys, -weights))  # largest first, ties by key
        named_count = min(most_named, len(NAMED_SPECIES), len(keys))
        self.named = [int(key) for key in keys[order[:named_count]]]
        self._named_colours = {key: rgba(NAMED_SPECIES[rank])
                               for rank, key in enumerate(self.named)}
        self._rank = {key: rank for rank, key in enumerate(self.named)}
        self.others = len(keys) - len(self.named)

    def __call__(self, key):
        key = int(key)
        colour = self._named_colours.get(key)
        if colour is None:
            colour = grey(OTHER_SPECIES_GREYS[key % len(OTHER_SPECIES_GREYS)])
        return colour

    def is_named(self, key):
        return int(key) in self._rank

    def rank(self, key):
        """The place of a key in the legend order: the named ones first, largest first, then
        the others by key."""
        key = int(key)
        return self._rank.get(key, len(self.named) + key)

    def ranks(self, keys):
        """rank() of each of an array of keys."""
        keys = np.asarray(keys, dtype=np.int64)
        ranks = keys + len(self.named)
        for key, rank in self._rank.items():
            ranks[keys == key] = rank
        return ranks


def colours_of_rows(keys, counts):
    """Colours of the keys of table rows, each key weighted by the counts of its rows."""
    unique, row_key = np.unique(np.asarray(keys, dtype=np.int64), return_inverse=True)
    weights = np.zeros(len(unique), dtype=np.int64)
    np.add.at(weights, row_key, np.asarray(counts, dtype=np.int64))
    return SpeciesColours(unique, weights)
