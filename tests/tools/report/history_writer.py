"""A made-up species history of any number of species, as parasim --history writes it
(species.csv and abundance.csv), valid for parasim-report's checks: for the tests of large
histories, and to measure the figures and the page on them.

    /usr/bin/python3 tests/tools/report/history_writer.py DIR --species 100000
        [--generations 2000] [--longest-life 40] [--hosts 9]

Species 1 lives through the run; species 2 ... N are born one after another over generations
2 ... G, each living 1 ... longest-life generations on one host, with s parasites at most; a
daughter's mother is the species before it when that one still lives at its birth (long
chains of descent, as in a run that splits fast), else species 1. Nothing is random: the same
arguments give the same bytes.
"""

import argparse
import pathlib

from parasim_report.columns import HISTORY_ABUNDANCE, HISTORY_SPECIES


def species_rows(count, generations, longest_life):
    """(species, label, parent, born, size_at_birth, last_seen) of every species."""
    rows = [[1, 1, 0, 1, 0, generations]]
    for species in range(2, count + 1):
        born = 2 + (species - 2) * (generations - 1) // max(1, count - 1)
        last = min(generations, born + (species * 7919) % longest_life)
        before = rows[-1]
        parent = before[0] if before[3] <= born <= before[5] and species % 5 else 1
        rows.append([species, species, parent, born, 0, last])
    return rows


def parasites(species, generation):
    return 1 + (species + generation) % 5 + species % 3


def write_history(folder, count, generations=2000, longest_life=40, hosts=9):
    """Writes species.csv and abundance.csv into folder (made when missing)."""
    folder = pathlib.Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    rows = species_rows(count, generations, longest_life)
    for row in rows:
        row[4] = parasites(row[0], row[3])
    with open(folder / HISTORY_ABUNDANCE.file, "w", encoding="ascii") as table:
        table.write(HISTORY_ABUNDANCE.header + "\n")
        alive, next_born = [], 0
        for generation in range(1, generations + 1):
            while next_born < len(rows) and rows[next_born][3] == generation:
                alive.append(rows[next_born])
                next_born += 1
            alive = [row for row in alive if row[5] >= generation]
            table.write("".join(
                f"{generation},{species},{label},{1 + species % hosts},{species % hosts * 0.5},"
                f"{parasites(species, generation)},{species % hosts * 0.5},0\n"
                for species, label, _, _, _, _ in alive))
    def hosts_at_birth(species, parent):
        """birth_host, parent_host, host_shift: every species lives on one host."""
        if not parent:
            return f"{1 + species % hosts},,"
        shift = "true" if species % hosts != parent % hosts else "false"
        return f"{1 + species % hosts},{1 + parent % hosts},{shift}"

    with open(folder / HISTORY_SPECIES.file, "w", encoding="ascii") as table:
        table.write(HISTORY_SPECIES.header + "\n")
        table.write("".join(
            f"{species},{label},{parent or ''},{born},{size},{last},"
            f"{'true' if last == generations else 'false'},{hosts_at_birth(species, parent)}\n"
            for species, label, parent, born, size, last in rows))
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("folder")
    parser.add_argument("--species", type=int, required=True)
    parser.add_argument("--generations", type=int, default=2000)
    parser.add_argument("--longest-life", type=int, default=40)
    parser.add_argument("--hosts", type=int, default=9)
    options = parser.parse_args()
    write_history(options.folder, options.species, options.generations, options.longest_life,
                  options.hosts)


if __name__ == "__main__":
    main()
