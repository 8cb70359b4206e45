"""The bands of the Muller plot and of host use, built only for the species shown: each named
species (see species_colours) is a band of its own, and the other species are summed into
"others" bands first, so a history of a million species costs no more than one of twenty.

In the Muller plot the other species of a clade stay in it: those whose nearest named ancestor is
species a form one "others" band nested in a's band, and those with no named ancestor one band
at the root (holding species 1 unless it is named). A named species nests in the band of its
mother, named or not. So the bands keep who split from whom, and their parasites add up to the
population. Host use stacks the named species in order of origin and one "others" band on top.
"""

from dataclasses import dataclass

import numpy as np

OTHERS = 0  # the key of a band of other species (named bands are keyed by species number)


@dataclass
class Bands:
    key: np.ndarray  # per band: the species number of a named species, or OTHERS
    parent: np.ndarray  # per band: the band it nests in, -1 at the root
    of_species: np.ndarray  # per species (index s - 1): its band

    def __len__(self):
        return len(self.key)


def muller_groups(parents, named):
    """The Muller plot's bands, in order of origin (each after the band it nests in), for
    species with these mothers (0 for species 1) and the named species numbers."""
    count = len(parents)
    is_named = np.zeros(count + 1, dtype=bool)
    is_named[list(named)] = True
    # For each species, the nearest named species among itself and its ancestors (0: none);
    # a mother always comes before her daughters.
    nearest = np.zeros(count + 1, dtype=np.int64)
    parent_list = parents.tolist()
    for species in range(1, count + 1):
        nearest[species] = species if is_named[species] else nearest[parent_list[species - 1]]
    # A band per named species, and one per nearest named ancestor of other species; each band
    # takes its place in the order of origin from its first species.
    group = np.where(is_named[1:], np.arange(1, count + 1), -1 - nearest[1:])
    groups, first, of_species = np.unique(group, return_index=True, return_inverse=True)
    order = np.argsort(first, kind="stable")
    place = np.empty_like(order)
    place[order] = np.arange(len(order))
    of_species = place[of_species]
    key = np.where(groups[order] > 0, groups[order], OTHERS)
    parent = np.full(len(order), -1, dtype=np.int64)
    for band, group_id in enumerate(groups[order]):
        if group_id > 0:  # a named species: in the band of its mother
            mother = parent_list[group_id - 1]
            parent[band] = of_species[mother - 1] if mother else -1
        elif group_id < -1:  # others below a named species: in its band
            parent[band] = of_species[-group_id - 2]
    return Bands(key=key, parent=parent, of_species=of_species)


def stacked_groups(species_count, named):
    """Host use's bands: the named species in order of origin, then all others in one band."""
    named = sorted(named)
    of_species = np.full(species_count, len(named), dtype=np.int64)
    of_species[np.array(named, dtype=np.int64) - 1] = np.arange(len(named))
    key = np.array(named + ([OTHERS] if species_count > len(named) else []), dtype=np.int64)
    return Bands(key=key, parent=np.full(len(key), -1, dtype=np.int64), of_species=of_species)


def band_counts(bands, generations, row_generation, row_species, row_count):
    """Parasites of each band (rows) at the given generations (columns, ascending), summed from
    table rows of (generation, species, count)."""
    if not len(generations) or not len(row_generation):
        return np.zeros((len(bands), len(generations)), dtype=float)
    column = np.minimum(np.searchsorted(generations, row_generation), len(generations) - 1)
    drawn = generations[column] == row_generation
    cell = bands.of_species[row_species[drawn] - 1] * len(generations) + column[drawn]
    counts = np.bincount(cell, weights=row_count[drawn], minlength=len(bands) * len(generations))
    return counts.reshape(len(bands), len(generations))


def muller_bands(bands, own):
    """The nested bands of a Muller plot from each band's own parasites (bands by generation):
    (bottom, top). A band holds its own parasites and, nested inside, the bands that nest in
    it in order of origin, with half of its own parasites below them and half above; so
    drawing the bands in order, each over the ones before, shows every band as the part that
    the bands nested in it leave free."""
    clade = own.copy()
    for band in range(len(bands) - 1, 0, -1):
        if bands.parent[band] >= 0:
            clade[bands.parent[band]] += clade[band]
    bottom = np.zeros_like(own)
    cursor = np.zeros_like(own)
    for band in range(len(bands)):
        parent = bands.parent[band]
        if parent >= 0:
            bottom[band] = cursor[parent]
            cursor[parent] += clade[band]
        cursor[band] = bottom[band] + own[band] / 2.0
    return bottom, bottom + clade
