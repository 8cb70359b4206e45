"""The species history of a parasim run as parasim-report leaves it, ready for figures.

`parasim-report --history HISTORY --csv DIR` reads the history a run kept (species.csv and
abundance.csv), checks it, and writes into DIR the tables this module reads:

  species_history.csv  one row per species: label, parent, born, last_seen, extant, ...,
                       tip_order (its row in the species tree, the order of tree.nwk)
  species_sizes.csv    generation, species, count, hosts_occupied
  host_use.csv         generation, host, host_phenotype, species, count
  lineages.csv         generation, species_alive, speciation_events, extinctions,
                       extant_lineages
  tree.nwk, tree-extant.nwk

Besides reading them, it lays out what the figures draw, independent of any plotting library:
one colour per species (`SpeciesColours`), the species tree against generations
(`tree_layout`), the nested bands of a Muller plot (`muller_bands`), the hosts in phenotype
order (`hosts_by_phenotype`), the species behind a label at a generation
(`species_of_label`) and species sharing a phenotype set side by side
(`dodged_generations`). Only numpy is needed.
"""

import csv
import math
import pathlib
import re
from dataclasses import dataclass

import numpy as np

SPECIES_COLUMNS = [
    "species", "label", "parent", "born", "last_seen", "extant", "size_at_birth", "daughters",
    "lifetime", "peak_count", "parasite_generations", "final_count", "tip_order",
]
SIZE_COLUMNS = ["generation", "species", "count", "hosts_occupied"]
HOST_USE_COLUMNS = ["generation", "host", "host_phenotype", "species", "count"]
LINEAGE_COLUMNS = [
    "generation", "species_alive", "speciation_events", "extinctions", "extant_lineages",
]

# The species named in legends: the largest, by parasites summed over the run. The others
# share one legend entry, "other species", and are drawn in greys.
MOST_NAMED_SPECIES = 15
# Strong colours that stay apart from each other and from the greys of the other species
# (tab20 without its greys: its strong colours first, then their light companions).
_NAMED_PALETTE_INDEXES = [0, 2, 4, 6, 8, 10, 12, 16, 18, 1, 3, 5, 7, 9, 11, 13, 17, 19]
_OTHER_GREYS = [0.55, 0.68, 0.78, 0.62, 0.72]
OTHER_SPECIES_COLOUR = (0.68, 0.68, 0.68, 1.0)  # their legend entry
# Species sharing a phenotype in a generation are set this share of the report spacing apart,
# and spread over at most DODGE_WIDTH of it.
DODGE_STEP = 0.15
DODGE_WIDTH = 0.8


class TableError(Exception):
    """A table that is not as parasim-report writes it; the message starts with FILE:LINE."""


_WHOLE = re.compile(r"[0-9]+")
_REAL = re.compile(r"-?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][-+]?[0-9]+)?")
_LARGEST_WHOLE = 2**63 - 1  # the tables' numbers go into 64-bit arrays


def whole(text):
    """A count, a generation, a species, label or host number: a whole number of 0 or more
    that fits 64 bits, written in plain digits."""
    if not _WHOLE.fullmatch(text) or int(text) > _LARGEST_WHOLE:
        raise ValueError(text)
    return int(text)


def optional_whole(text):
    """A whole number, or 0 for an empty field (the parent of the founders' species)."""
    return whole(text) if text != "" else 0


def real(text):
    """A finite number in decimal notation (no nan, no infinity)."""
    if not _REAL.fullmatch(text):
        raise ValueError(text)
    value = float(text)
    if not math.isfinite(value):
        raise ValueError(text)
    return value


def truth(text):
    if text not in ("true", "false"):
        raise ValueError(text)
    return text == "true"


_KIND_NAMES = {whole: "a whole number of 0 or more", optional_whole: "a whole number or empty",
               real: "a finite number", truth: "true or false"}


def _lines(path):
    """The table's lines as text, each with its number; TableError for a line that is not
    ASCII text, as every table of parasim-report is."""
    with open(path, "rb") as table:
        for number, raw in enumerate(table, start=1):
            try:
                yield number, raw.decode("ascii")
            except UnicodeDecodeError:
                raise TableError(f"{path}:{number}: not ASCII text") from None


def read_columns(path, columns, kinds):
    """The named columns of a CSV table, each as a list of values of the given kind."""
    values = [[] for _ in kinds]
    lines = _lines(path)
    numbers = []

    def text_lines():
        for number, line in lines:
            numbers.append(number)
            yield line

    rows = csv.reader(text_lines())
    try:
        header = next(rows, None)
        if header != columns:
            raise TableError(f"{path}:1: the header row must be {','.join(columns)}")
        for row in rows:
            line = numbers[-1]
            if len(row) != len(columns):
                raise TableError(f"{path}:{line}: {len(row)} fields, expected {len(columns)}")
            for i, kind in enumerate(kinds):
                try:
                    values[i].append(kind(row[i]))
                except ValueError:
                    raise TableError(
                        f"{path}:{line}: {columns[i]} \"{row[i]}\" is not "
                        f"{_KIND_NAMES.get(kind, 'valid')}"
                    ) from None
    except csv.Error as error:
        raise TableError(f"{path}:{numbers[-1] if numbers else 1}: {error}") from None
    return values


def _array(values, dtype=np.int64):
    return np.array(values, dtype=dtype)


@dataclass
class History:
    """The tables of one history. Species s is at index s - 1 of every species array."""

    species: np.ndarray  # 1, 2, ... in order of origin
    label: np.ndarray
    parent: np.ndarray  # 0 for species 1
    born: np.ndarray
    last_seen: np.ndarray
    extant: np.ndarray  # bool
    size_at_birth: np.ndarray
    peak_count: np.ndarray
    parasite_generations: np.ndarray
    final_count: np.ndarray
    tip_order: np.ndarray  # 1 = the first tip of tree.nwk
    generation: np.ndarray  # every generation of the run, ascending
    species_alive: np.ndarray
    speciation_events: np.ndarray
    extinctions: np.ndarray
    extant_lineages: np.ndarray
    size_generation: np.ndarray  # species_sizes.csv, row by row
    size_species: np.ndarray
    size_count: np.ndarray
    host_generation: np.ndarray  # host_use.csv, row by row
    host: np.ndarray
    host_phenotype: np.ndarray
    host_species: np.ndarray
    host_count: np.ndarray
    tree: str  # tree.nwk
    extant_tree: str  # tree-extant.nwk

    def __len__(self):
        return len(self.species)

    def daughters(self):
        """The daughters of each species (by index), in order of origin."""
        lists = [[] for _ in range(len(self))]
        for index, parent in enumerate(self.parent):
            if parent:
                lists[parent - 1].append(index)
        return lists


def load_history(folder):
    """Reads the history tables of parasim-report from folder. Raises TableError for a table
    that is not as parasim-report writes it and OSError for one that cannot be read."""
    folder = pathlib.Path(folder)
    (species, label, parent, born, last_seen, extant, size_at_birth, _daughters, _lifetime, peak,
     parasite_generations, final_count, tip_order) = read_columns(
        folder / "species_history.csv", SPECIES_COLUMNS,
        [whole, whole, optional_whole, whole, whole, truth, whole, whole, whole, whole, whole,
         whole, whole])
    if species != list(range(1, len(species) + 1)):
        raise TableError(f"{folder / 'species_history.csv'}: species must run 1, 2, 3, ...")
    generation, alive, speciation, extinct, extant_lineages = read_columns(
        folder / "lineages.csv", LINEAGE_COLUMNS, [whole] * 5)
    size_generation, size_species, size_count, _hosts = read_columns(
        folder / "species_sizes.csv", SIZE_COLUMNS, [whole] * 4)
    host_generation, host, host_phenotype, host_species, host_count = read_columns(
        folder / "host_use.csv", HOST_USE_COLUMNS, [whole, whole, real, whole, whole])
    for name, numbers in (("species_sizes.csv", size_species), ("host_use.csv", host_species)):
        if numbers and not 1 <= max(numbers) <= len(species):
            raise TableError(f"{folder / name}: species {max(numbers)} is not in "
                             "species_history.csv")
    return History(
        species=_array(species), label=_array(label), parent=_array(parent), born=_array(born),
        last_seen=_array(last_seen), extant=_array(extant, bool),
        size_at_birth=_array(size_at_birth), peak_count=_array(peak),
        parasite_generations=_array(parasite_generations), final_count=_array(final_count),
        tip_order=_array(tip_order), generation=_array(generation),
        species_alive=_array(alive), speciation_events=_array(speciation),
        extinctions=_array(extinct), extant_lineages=_array(extant_lineages),
        size_generation=_array(size_generation), size_species=_array(size_species),
        size_count=_array(size_count), host_generation=_array(host_generation),
        host=_array(host), host_phenotype=_array(host_phenotype, float),
        host_species=_array(host_species), host_count=_array(host_count),
        tree=(folder / "tree.nwk").read_text(encoding="ascii").strip(),
        extant_tree=(folder / "tree-extant.nwk").read_text(encoding="ascii").strip(),
    )


class SpeciesColours:
    """One colour per species, the same in every figure. The `most_named` largest species (by
    weight: parasites summed over the run) get strong colours of their own and a legend entry;
    the others get greys, alternating so that neighbours stay apart, and share the legend entry
    "other species"."""

    def __init__(self, keys, weights, most_named=MOST_NAMED_SPECIES):
        import matplotlib  # the colour maps only; no figure is made here

        palette = matplotlib.colormaps["tab20"]
        keys = [int(key) for key in keys]
        order = sorted(range(len(keys)), key=lambda i: (-weights[i], keys[i]))
        named_count = min(most_named, len(_NAMED_PALETTE_INDEXES))
        self.named = [keys[i] for i in order[:named_count]]
        self._colours = {}
        for rank, key in enumerate(self.named):
            self._colours[key] = palette(_NAMED_PALETTE_INDEXES[rank])
        for key in keys:
            if key not in self._colours:
                grey = _OTHER_GREYS[key % len(_OTHER_GREYS)]
                self._colours[key] = (grey, grey, grey, 1.0)
        self.others = len(keys) - len(self.named)

    def __call__(self, key):
        return self._colours[int(key)]

    def rank(self, key):
        """The place of a key in the legend order: the named ones first, largest first, then
        the others by key."""
        key = int(key)
        return self.named.index(key) if key in self.named else len(self.named) + key


def history_colours(history, most_named=MOST_NAMED_SPECIES):
    """Colours keyed by species number, the largest species named."""
    return SpeciesColours(history.species, history.parasite_generations, most_named)


def species_name(history, species):
    return f"species {species} (label {history.label[species - 1]})"


def species_of_label(history, labels, generations):
    """The species that carried each label at each generation (arrays of the same length), or
    0 where no species of the history did."""
    labels = np.asarray(labels)
    generations = np.asarray(generations)
    found = np.zeros(labels.shape, dtype=np.int64)
    for index in range(len(history)):
        carried = ((labels == history.label[index]) & (generations >= history.born[index])
                   & (generations <= history.last_seen[index]))
        found[carried] = index + 1
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


def size_matrix(history, generations):
    """Parasites of each species (rows, by index) at the given generations (columns)."""
    sizes = np.zeros((len(history), len(generations)), dtype=float)
    column = {int(g): i for i, g in enumerate(generations)}
    for g, s, n in zip(history.size_generation, history.size_species, history.size_count):
        i = column.get(int(g))
        if i is not None:
            sizes[s - 1, i] = n
    return sizes


def muller_bands(history, generations):
    """The bands of a Muller plot at the given generations: (bottom, top), each species by
    generation. A species' band holds its own parasites and, nested inside, the bands of its
    daughters in order of origin, with half of its own parasites below them and half above;
    so drawing the bands in order of origin, each over the ones before, shows every species
    as the part of its band that its daughters leave free."""
    own = size_matrix(history, generations)
    clade = own.copy()
    for index in range(len(history) - 1, 0, -1):
        parent = history.parent[index]
        if parent:
            clade[parent - 1] += clade[index]
    bottom = np.zeros_like(own)
    cursor = np.zeros_like(own)
    for index in range(len(history)):
        parent = history.parent[index]
        if parent:
            bottom[index] = cursor[parent - 1]
            cursor[parent - 1] += clade[index]
        cursor[index] = bottom[index] + own[index] / 2.0
    return bottom, bottom + clade


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
    pairs = {}
    for host, phenotype in zip(history.host, history.host_phenotype):
        pairs.setdefault(int(host), float(phenotype))
    return sorted(pairs.items(), key=lambda pair: (pair[1], pair[0]))


def host_matrix(history, host, generations):
    """Parasites of each species (rows, by index) on one host at the given generations."""
    counts = np.zeros((len(history), len(generations)), dtype=float)
    column = {int(g): i for i, g in enumerate(generations)}
    on_host = history.host == host
    for g, s, n in zip(history.host_generation[on_host], history.host_species[on_host],
                       history.host_count[on_host]):
        i = column.get(int(g))
        if i is not None:
            counts[s - 1, i] = n
    return counts


def step_rows(columns):
    """Which rows a step line of these equally long columns needs: the first, the last and
    those where some column changes."""
    rows = len(columns[0])
    needed = np.ones(rows, dtype=bool)
    if rows > 2:
        stacked = np.vstack(columns)
        needed[1:-1] = np.any(stacked[:, 1:-1] != stacked[:, :-2], axis=0)
    return needed
