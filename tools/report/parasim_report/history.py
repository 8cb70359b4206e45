"""The species history of a parasim run as parasim-report leaves it, ready for figures.

`parasim-report --history HISTORY --csv DIR` reads the history a run kept (species.csv and
abundance.csv), checks it, and writes into DIR the tables this module reads (see `columns`):
species_history.csv (one row per species, tip_order its row in the species tree),
species_sizes.csv, host_use.csv, lineages.csv, tree.nwk and tree-extant.nwk.
"""

import pathlib
from dataclasses import dataclass

import numpy as np

from . import columns
from .tables import TableError, read_table


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
        """The number of daughters of each species (by index)."""
        return np.bincount(self.parent[self.parent > 0] - 1, minlength=len(self))


def load_history(folder):
    """Reads the history tables of parasim-report from folder. Raises TableError for a table
    that is not as parasim-report writes it and OSError for one that cannot be read."""
    folder = pathlib.Path(folder)
    species = read_table(folder, columns.SPECIES_HISTORY)
    count = len(species["species"])
    if not np.array_equal(species["species"], np.arange(1, count + 1)):
        raise TableError(f"{folder / columns.SPECIES_HISTORY.file}: species must run 1, 2, "
                         "3, ...")
    lineages = read_table(folder, columns.LINEAGES)
    sizes = read_table(folder, columns.SPECIES_SIZES)
    host_use = read_table(folder, columns.HOST_USE)
    for table, numbers in ((columns.SPECIES_SIZES, sizes["species"]),
                           (columns.HOST_USE, host_use["species"])):
        if numbers.size and not 1 <= numbers.min() <= numbers.max() <= count:
            wrong = numbers.max() if numbers.max() > count else numbers.min()
            raise TableError(f"{folder / table.file}: species {wrong} is not in "
                             f"{columns.SPECIES_HISTORY.file}")
    parent = species["parent"]
    if count and (parent[0] != 0 or np.any(parent[1:] < 1)
                  or np.any(parent[1:] >= np.arange(2, count + 1))):
        raise TableError(f"{folder / columns.SPECIES_HISTORY.file}: every species but the "
                         "first must have an earlier species as its mother")
    return History(
        species=species["species"], label=species["label"], parent=parent,
        born=species["born"], last_seen=species["last_seen"], extant=species["extant"],
        size_at_birth=species["size_at_birth"], peak_count=species["peak_count"],
        parasite_generations=species["parasite_generations"],
        final_count=species["final_count"], tip_order=species["tip_order"],
        generation=lineages["generation"], species_alive=lineages["species_alive"],
        speciation_events=lineages["speciation_events"], extinctions=lineages["extinctions"],
        extant_lineages=lineages["extant_lineages"],
        size_generation=sizes["generation"], size_species=sizes["species"],
        size_count=sizes["count"], host_generation=host_use["generation"],
        host=host_use["host"], host_phenotype=host_use["host_phenotype"],
        host_species=host_use["species"], host_count=host_use["count"],
        tree=(folder / columns.TREE_FILE).read_text(encoding="ascii").strip(),
        extant_tree=(folder / columns.EXTANT_TREE_FILE).read_text(encoding="ascii").strip(),
    )


def species_name(history, species):
    return f"species {species} (label {history.label[species - 1]})"
