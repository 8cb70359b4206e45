"""Writes results files in the run's format, for the tests and for timing parasim-report.

    /usr/bin/python3 results_file_writer.py OUT --records N [--seed S]

writes a made-up run of about N records to OUT: hosts at 5, 6, 4, 7, 3, ... as a run lays them
out, species that split off and die out, phenotypes on the 0.1 grid near their host's.
"""

import argparse
import random

# The header as parasim writes it; the tests hand these files to parasim-report, whose reader
# checks them against the header the run writes, so the two cannot drift apart.
HEADER = [
    " This file is organized as following:",
    " --First column: generation time",
    " --Second column: parasite phenotype ",
    " --Third column: host id",
    " --Fourth column: host phenotype",
    " --Fifth column: parasite species",
]


def record_line(generation, phenotype, host, host_phenotype, species):
    """One record, without its line end: blank, I8, three times blank and F15.4, blank, I8."""
    return f" {generation:8d} {phenotype:15.4f} {float(host):15.4f} {host_phenotype:15.4f} {species:8d}"


def results_text(records, line_end="\r\n"):
    lines = HEADER + [record_line(*record) for record in records]
    return "".join(line + line_end for line in lines)


def host_phenotypes(host_count, first=5.0, spacing=1.0):
    """Hosts 2, 4, 6, ... above host 1 and hosts 3, 5, 7, ... below it, one spacing apart."""
    phenotypes = [first]
    for host in range(2, host_count + 1):
        steps = host // 2
        phenotypes.append(first + steps * spacing if host % 2 == 0 else first - steps * spacing)
    return phenotypes


def made_up_run(records_wanted, seed=1, host_count=9, generations=100):
    """Records of a made-up run, generation by generation, host by host."""
    rng = random.Random(seed)
    phenotypes = host_phenotypes(host_count)
    per_generation = max(1, records_wanted // generations)
    alive = [1]
    next_label = 2
    for index in range(generations):
        generation = 1 if index == 0 else 10 * index
        if index > 0 and rng.random() < 0.3:
            alive.append(next_label)
            next_label += 1
        if len(alive) > 1 and rng.random() < 0.1:
            alive.remove(rng.choice(alive))
        loads = [per_generation // host_count] * host_count
        loads[0] += per_generation - sum(loads)
        for host, load in enumerate(loads, start=1):
            home = phenotypes[host - 1]
            lines = []
            for _ in range(load):
                phenotype = max(0.0, round(home * 10 + rng.gauss(0.0, 3.0)) / 10)
                lines.append((generation, phenotype, host, home, rng.choice(alive)))
            yield from lines


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out")
    parser.add_argument("--records", type=int, required=True)
    parser.add_argument("--seed", type=int, default=1)
    options = parser.parse_args()
    with open(options.out, "w", encoding="ascii", newline="") as out:
        out.write(results_text([]))
        batch = []
        for record in made_up_run(options.records, options.seed):
            batch.append(record_line(*record))
            if len(batch) == 100000:
                out.write("\r\n".join(batch) + "\r\n")
                batch = []
        if batch:
            out.write("\r\n".join(batch) + "\r\n")


if __name__ == "__main__":
    main()
