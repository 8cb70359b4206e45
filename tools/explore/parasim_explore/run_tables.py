"""What the page follows of a run through time, grown from the abundance rows the run adds after
each labelling: per generation the population and the species, and per generation and species
the parasites (summed over hosts), the counts of the Muller plot.

The run's labellings come in whole: each adds every row of its generation at once, so totals
made from the new rows alone are final. Columns grow in place with spare room; what `columns()`
hands out are views of the rows so far, which later rows never change, so a reader in another
thread may keep them while the run goes on.
"""

import numpy as np


class GrowingColumns:
    """Named integer columns that rows are appended to; the room doubles when it runs out."""

    def __init__(self, names):
        self._names = names
        self._length = 0
        self._data = {name: np.zeros(64, dtype=np.int64) for name in names}

    def __len__(self):
        return self._length

    def append(self, columns):
        added = len(columns[self._names[0]])
        needed = self._length + added
        room = len(self._data[self._names[0]])
        if needed > room:
            while room < needed:
                room *= 2
            for name in self._names:
                grown = np.zeros(room, dtype=np.int64)
                grown[:self._length] = self._data[name][:self._length]
                self._data[name] = grown
        for name in self._names:
            self._data[name][self._length:needed] = columns[name]
        self._length = needed

    def columns(self):
        return {name: self._data[name][:self._length] for name in self._names}


class RunTables:
    """The totals of a run's generations so far, from its abundance rows."""

    def __init__(self):
        self.totals = GrowingColumns(("generation", "population", "species"))
        self.sizes = GrowingColumns(("generation", "species", "count"))
        self.next_generation = 0  # the first generation whose rows are not taken yet

    def take(self, abundance):
        """Adds the abundance rows of the generations from next_generation on (a dict of
        arrays with generation, species and count, ordered by generation, species, host)."""
        generation = np.asarray(abundance["generation"], dtype=np.int64)
        if not len(generation):
            return
        species = np.asarray(abundance["species"], dtype=np.int64)
        count = np.asarray(abundance["count"], dtype=np.int64)
        # Rows of one generation and species are adjacent: one size per run of equal pairs.
        starts = np.flatnonzero(np.r_[True, (generation[1:] != generation[:-1])
                                      | (species[1:] != species[:-1])])
        size_generation = generation[starts]
        sizes = np.add.reduceat(count, starts)
        self.sizes.append({"generation": size_generation, "species": species[starts],
                           "count": sizes})
        firsts = np.flatnonzero(np.r_[True, size_generation[1:] != size_generation[:-1]])
        self.totals.append({"generation": size_generation[firsts],
                            "population": np.add.reduceat(sizes, firsts),
                            "species": np.diff(np.r_[firsts, len(starts)])})
        self.next_generation = int(generation[-1]) + 1
