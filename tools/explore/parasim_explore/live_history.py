"""The species history of a run so far in the shape parasim_report's charts read (its History):
the species table the run keeps, and per generation the totals and species sizes the page
follows, so the Muller plot and the species tree of the run's page draw the run while it goes.
"""

import numpy as np


def tree_order(parent, born):
    """The place of each species (index s - 1) from the top of the tree: each mother above her
    daughters, the daughters born last nearest to her, so that no mother-daughter link crosses
    the line of another species (every line between them starts after the link)."""
    count = len(parent)
    daughters = [[] for _ in range(count + 1)]
    for species in range(1, count + 1):
        daughters[int(parent[species - 1])].append(species)  # the founders' under 0
    order = np.zeros(count, dtype=np.int64)
    place = 0
    waiting = list(reversed(daughters[0]))
    while waiting:
        species = waiting.pop()
        place += 1
        order[species - 1] = place
        # Pushed in order of birth, so the daughter born last is taken next.
        waiting.extend(sorted(daughters[species], key=lambda d: (int(born[d - 1]), d)))
    return order


class LiveHistory:
    """A look's tables as parasim_report.history.History names them (the columns its charts
    read); species s at index s - 1."""

    def __init__(self, look):
        table = look.species_table
        self.species = np.asarray(table["species"], dtype=np.int64)
        self.label = np.asarray(table["label"], dtype=np.int64)
        self.parent = np.asarray(table["parent"], dtype=np.int64)
        self.born = np.asarray(table["born"], dtype=np.int64)
        self.last_seen = np.asarray(table["last_seen"], dtype=np.int64)
        self.extant = np.asarray(table["extant"], dtype=bool)
        self.size_at_birth = np.asarray(table["size_at_birth"], dtype=np.int64)
        self.tip_order = tree_order(self.parent, self.born)
        self.generation = look.totals["generation"]
        self.population = look.totals["population"]
        self.species_alive = look.totals["species"]
        self.size_generation = look.sizes["generation"]
        self.size_species = look.sizes["species"]
        self.size_count = look.sizes["count"]
        self.parasite_generations = np.bincount(
            self.size_species, weights=self.size_count,
            minlength=len(self.species) + 1)[1:len(self.species) + 1].astype(np.int64)

    def __len__(self):
        return len(self.species)
