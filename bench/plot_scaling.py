"""Plots seconds per generation against the population at the start of the generation."""
import csv
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def main(table_path, figure_path):
    with open(table_path, newline="") as table:
        rows = [r for r in csv.DictReader(table) if int(r["population"]) >= 1000]
    population = [int(r["population"]) for r in rows]
    seconds = [float(r["seconds"]) for r in rows]
    figure, axes = plt.subplots(figsize=(7, 4.5))
    axes.loglog(population, seconds, "o-", label="measured")
    if population:
        # Every attempt draws a permutation of the whole population: cost grows as N^2.
        scale = seconds[-1] / population[-1] ** 2
        guide = [scale * n**2 for n in population]
        axes.loglog(population, guide, "--", color="grey", label="N\u00b2 through the last point")
    axes.set_xlabel("population at the start of the generation")
    axes.set_ylabel("seconds per generation")
    axes.set_title("Cost of one generation (genome size 64, one host of capacity 50,000)")
    axes.grid(True, which="both", alpha=0.3)
    axes.legend()
    figure.tight_layout()
    figure.savefig(figure_path, dpi=100, metadata={"Software": None})
    for n, s in zip(population, seconds):
        print(f"{n:8d} {s:10.3f}")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
