"""Where the figures and the page put things, independent of any plotting library: the species
tree against generations, the generations a long run draws, species sharing a phenotype set side
by side, the hosts in phenotype order, the species behind a label of the results file, and the
rows a step line needs."""

import math
from dataclasses import dataclass

import numpy as np

# Past this many species, the tree leaves the species not named out of the page and draws them
# in the SVG figure as an image: drawn one by one they would make a page or an SVG of tens of
# megabytes that takes minutes to open or to write.
MOST_DETAILED_SPECIES = 5000
# Species sharing a phenotype in a generation are set this share of the report spacing apart,
# and spread over at most DODGE_WIDTH of it.
DODGE_STEP = 0.15
DODGE_WIDTH = 0.8


def species_of_label(history, labels, generations):
    """The species that carried each label at each generation (arrays of the same length), or
    0 where no species of the history did. A label is carried by one species at a time, so the
    species is the last one given the label at or before the generation, if it still lived."""
    labels = np.asarray(labels, dtype=np.int64)
    generations = np.asarray(generations, dtype=np.int64)
    found = np.zeros(labels.shape, dtype=np.int64)
    if not len(history) or not labels.size:
        return found
    known, label_rank = np.unique(np.concatenate([history.label, labels]), return_inverse=True)
    species_rank, point_rank = label_rank[:len(history)], label_rank[len(history):]
    # One key per (label, generation), ordered by label first; both as ranks, so the keys stay
    # far inside 64 bits.
    _, time_rank = np.unique(np.concatenate([history.born, generations]), return_inverse=True)
    span = len(time_rank) + 1
    species_key = species_rank * span + time_rank[:len(history)]
    order = np.argsort(species_key, kind="stable")
    point_key = point_rank * span + time_rank[len(history):]
    place = np.searchsorted(species_key[order], point_key, side="right") - 1
    candidate = order[np.maximum(place, 0)]
    carried = ((place >= 0) & (species_rank[candidate] == point_rank)
               & (history.last_seen[candidate] >= generations))
    found[carried] = candidate[carried] + 1
    return found


def dodged_generations(generations, phenotypes, ranks, spacing):
    """Generations moved aside so that species sharing a phenotype in a generation stand side
    by side, in legend order; a species alone stays where it is."""
    x = generations.astype(float).copy()
    groups = {}
    for i, key in enumerate(zip(generations.tolist(), phenotypes.tolist())):
        groups.setdefault(key, []).append(i)
    for members in groups.values():
        if len(members) > 1:
            members.sort(key=lambda i: ranks[i])
            step = spacing * min(DODGE_STEP, DODGE_WIDTH / len(members))
            middle = (len(members) - 1) / 2.0
            for place, i in enumerate(members):
                x[i] += (place - middle) * step
    return x


@dataclass
class TreeLayout:
    """The species tree against generations: species s is a horizontal line at height row[s-1]
    from born[s-1] to end[s-1]; a daughter's line starts with a vertical link from its
    mother's row at its birth. Rows follow the tips of tree.nwk from the top, so no link
    crosses a line."""

    row: np.ndarray
    start: np.ndarray
    end: np.ndarray
    link_from: np.ndarray  # the mother's row at each species' birth (its own row for 1)


def tree_layout(history):
    row = (len(history) + 1 - history.tip_order).astype(float)
    link_from = row.copy()
    has_parent = history.parent > 0
    link_from[has_parent] = row[history.parent[has_parent] - 1]
    return TreeLayout(row=row, start=history.born.astype(float),
                      end=history.last_seen.astype(float), link_from=link_from)


def drawn_generations(history, most):
    """Every k-th generation of the run, the first and the last included, k the smallest step
    that keeps their number at most `most`; and k."""
    generations = history.generation
    if len(generations) == 0:
        return generations, 1
    stride = max(1, math.ceil(len(generations) / most))
    chosen = generations[::stride]
    if chosen[-1] != generations[-1]:
        chosen = np.append(chosen, generations[-1])
    return chosen, stride


def stacked_bands(counts):
    """Counts (rows stacked in order, by column) as bands: (bottom, top), each row by column."""
    top = np.cumsum(counts, axis=0)
    return top - counts, top


def band_span(heights):
    """The columns worth drawing of a band of these heights: from the column before its first
    non-zero height to the column after its last, so that it starts and ends at zero; None for
    a band that is empty throughout."""
    present = np.flatnonzero(heights > 0)
    if present.size == 0:
        return None
    return slice(max(0, present[0] - 1), min(len(heights), present[-1] + 2))


def hosts_by_phenotype(history):
    """The hosts that ever held parasites, as (host, phenotype) pairs in phenotype order (ties
    by host number). Host numbers alternate above and below the founders' host, so this is
    not their numeric order."""
    hosts, first = np.unique(history.host, return_index=True)
    pairs = [(int(host), float(history.host_phenotype[row])) for host, row in zip(hosts, first)]
    return sorted(pairs, key=lambda pair: (pair[1], pair[0]))


def step_rows(columns):
    """Which rows a step line of these equally long columns needs: the first, the last and
    those where some column changes."""
    rows = len(columns[0])
    needed = np.ones(rows, dtype=bool)
    if rows > 2:
        stacked = np.vstack(columns)
        needed[1:-1] = np.any(stacked[:, 1:-1] != stacked[:, :-2], axis=0)
    return needed
