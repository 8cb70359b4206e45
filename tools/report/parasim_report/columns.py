"""The tables the Python tools read, by file name, with their columns and what each column holds:
those parasim-report writes from a results file and from a species history (see
docs/after-a-run.md), the files of a history folder as parasim writes them, and what a sweep's
runs.csv tells of each run. The figures, the page and the sweep's collect all read them through
tables.read_table.
"""

from dataclasses import dataclass

from .column_kinds import (HOST_OR_BLANK, PARENT, REAL, REAL_OR_BLANK, TEXT, TRUTH,
                           TRUTH_OR_BLANK, WHOLE, WHOLE_OR_BLANK)


@dataclass(frozen=True)
class Table:
    file: str
    columns: tuple  # (name, kind) pairs, in the order of the header row
    # Earlier layouts still read: the number of leading columns that older writers wrote, the
    # columns after them read as empty fields.
    earlier_widths: tuple = ()

    @property
    def names(self):
        return [name for name, _ in self.columns]

    @property
    def kinds(self):
        return [kind for _, kind in self.columns]

    @property
    def header(self):
        return ",".join(self.names)


# From a results file (parasim-report --csv, --plot; host_points.csv for --html only).
GENERATIONS = Table("generations.csv", (
    ("generation", WHOLE), ("population", WHOLE), ("species", WHOLE),
    ("phenotype_mean", REAL), ("phenotype_sd", REAL)))
SPECIES_BY_GENERATION = Table("species_by_generation.csv", (
    ("generation", WHOLE), ("label", WHOLE), ("count", WHOLE), ("phenotype_mean", REAL),
    ("phenotype_sd", REAL), ("hosts_occupied", WHOLE)))
HOSTS = Table("hosts.csv", (
    ("generation", WHOLE), ("host", WHOLE), ("load", WHOLE), ("host_phenotype", REAL),
    ("species_present", WHOLE), ("labels", TEXT)))
POINTS = Table("points.csv", (
    ("generation", WHOLE), ("label", WHOLE), ("phenotype", REAL), ("count", WHOLE)))
HOST_POINTS = Table("host_points.csv", (
    ("generation", WHOLE), ("label", WHOLE), ("phenotype", REAL), ("host", WHOLE),
    ("count", WHOLE)))

# From a species history (parasim-report --history DIR with --csv, --plot or --html).
SPECIES_HISTORY = Table("species_history.csv", (
    ("species", WHOLE), ("label", WHOLE), ("parent", PARENT), ("born", WHOLE),
    ("last_seen", WHOLE), ("extant", TRUTH), ("size_at_birth", WHOLE), ("daughters", WHOLE),
    ("lifetime", WHOLE), ("peak_count", WHOLE), ("parasite_generations", WHOLE),
    ("final_count", WHOLE), ("tip_order", WHOLE)))
SPECIES_SIZES = Table("species_sizes.csv", (
    ("generation", WHOLE), ("species", WHOLE), ("count", WHOLE), ("hosts_occupied", WHOLE)))
HOST_USE = Table("host_use.csv", (
    ("generation", WHOLE), ("host", WHOLE), ("host_phenotype", REAL), ("species", WHOLE),
    ("count", WHOLE)))
LINEAGES = Table("lineages.csv", (
    ("generation", WHOLE), ("species_alive", WHOLE), ("speciation_events", WHOLE),
    ("extinctions", WHOLE), ("extant_lineages", WHOLE)))
HISTORY_SUMMARY = Table("history_summary.csv", (
    ("first_generation", WHOLE), ("last_generation", WHOLE), ("species_total", WHOLE),
    ("speciation_events", WHOLE), ("extinctions", WHOLE),
    ("first_split_generation", WHOLE_OR_BLANK), ("mean_extinct_lifetime", REAL_OR_BLANK),
    ("species_at_end", WHOLE), ("min_size", WHOLE), ("species_at_end_min_size", WHOLE),
    ("population_at_end", WHOLE), ("hosts_occupied_at_end", WHOLE),
    ("extant_tree_tips", WHOLE), ("colless_index", WHOLE_OR_BLANK),
    ("colless_normalised", REAL_OR_BLANK), ("gamma", REAL_OR_BLANK),
    ("daughters_on_parent_host", WHOLE), ("host_shifts", WHOLE),
    ("host_shift_share", REAL_OR_BLANK), ("divergence_generation", WHOLE_OR_BLANK),
    ("mean_divergence_between_extant", REAL_OR_BLANK), ("sister_pairs", WHOLE_OR_BLANK),
    ("mean_sister_divergence", REAL_OR_BLANK), ("groups_generation", WHOLE_OR_BLANK),
    ("species_spanning_groups", WHOLE_OR_BLANK)))
# The species alive at the end: hosts as "host:count" joined by ";", most first; groups at the
# last sampled generation of the history's groups.csv.
SPECIES_AT_END = Table("species_at_end.csv", (
    ("species", WHOLE), ("label", WHOLE), ("parent", PARENT), ("born", WHOLE),
    ("birth_host", HOST_OR_BLANK), ("host_shift", TRUTH_OR_BLANK), ("hosts", TEXT),
    ("parasites", WHOLE), ("groups", WHOLE_OR_BLANK)))
# With the history's divergence.csv: each pair of extant species at its last sampled generation
# (Hudson's FST), and the mean distance within and between species at every sampled generation.
SPECIES_PAIRS = Table("species_pairs.csv", (
    ("generation", WHOLE), ("species_a", WHOLE), ("label_a", WHOLE), ("species_b", WHOLE),
    ("label_b", WHOLE), ("sisters", TRUTH), ("mean_within_a", REAL_OR_BLANK),
    ("mean_within_b", REAL_OR_BLANK), ("mean_between", REAL), ("fst", REAL_OR_BLANK)))
DIVERGENCE_THROUGH_TIME = Table("divergence_through_time.csv", (
    ("generation", WHOLE), ("within_pairs", WHOLE), ("mean_within", REAL_OR_BLANK),
    ("between_pairs", WHOLE), ("mean_between", REAL_OR_BLANK)))
TREE_FILE = "tree.nwk"
EXTANT_TREE_FILE = "tree-extant.nwk"

# The files of a history folder (parasim --history DIR); species.csv of runs before the host
# columns has only the first seven columns.
HISTORY_SPECIES = Table("species.csv", (
    ("species", WHOLE), ("label", WHOLE), ("parent", PARENT), ("born", WHOLE),
    ("size_at_birth", WHOLE), ("last_seen", WHOLE), ("extant", TRUTH),
    ("birth_host", HOST_OR_BLANK), ("parent_host", HOST_OR_BLANK),
    ("host_shift", TRUTH_OR_BLANK)), earlier_widths=(7,))
HISTORY_ABUNDANCE = Table("abundance.csv", (
    ("generation", WHOLE), ("species", WHOLE), ("label", WHOLE), ("host", WHOLE),
    ("host_phenotype", REAL), ("count", WHOLE), ("phenotype_mean", REAL),
    ("phenotype_sd", REAL)))
# With parasim --genetics-every G, at generation 1 and every G-th generation.
HISTORY_DIVERGENCE = Table("divergence.csv", (
    ("generation", WHOLE), ("species_a", WHOLE), ("species_b", WHOLE), ("pairs", WHOLE),
    ("mean_distance", REAL_OR_BLANK), ("min_distance", WHOLE_OR_BLANK),
    ("max_distance", WHOLE_OR_BLANK)))
HISTORY_GROUPS = Table("groups.csv", (
    ("generation", WHOLE), ("species", WHOLE), ("label", WHOLE), ("parasites", WHOLE),
    ("groups", WHOLE), ("largest_group", WHOLE), ("shared_groups", WHOLE)))
HISTORY_RUN_FILE = "run.json"
# The files every history has; the genetics tables only with --genetics-every.
HISTORY_FILES = (HISTORY_SPECIES.file, HISTORY_ABUNDANCE.file)

# The two counts of a run's population at its end, named alike in runs.csv and on the pages, each
# with its moment (what a page's tooltip says). They differ by the last generation's survival.
FINAL_POPULATION = "final_population"
LAST_GENERATION_POPULATION = "last_generation_population"
COUNT_MOMENTS = {
    FINAL_POPULATION: "the survivors after the last generation run, as the run record counts "
                      "them",
    LAST_GENERATION_POPULATION: "the parasites at the start of the last generation run, after "
                                "its labelling, as the species history counts them",
}

# What a sweep's runs.csv tells of each run after its run_id, replicate, ten answers and seed:
# (column, source, key, kind), the source being the run's record or the one row of the
# HISTORY_SUMMARY parasim-report writes from its history (the column empty without one; the
# divergence and the groups also without the history's genetics tables, --genetics-every).
RUN_STATISTIC_SOURCES = (
    (FINAL_POPULATION, "record", "final_population", WHOLE_OR_BLANK),
    (LAST_GENERATION_POPULATION, "history", "population_at_end", WHOLE_OR_BLANK),
    ("species_at_end", "history", "species_at_end", WHOLE_OR_BLANK),
    ("species_at_end_min_size", "history", "species_at_end_min_size", WHOLE_OR_BLANK),
    ("min_size", "history", "min_size", WHOLE_OR_BLANK),
    ("speciation_events", "history", "speciation_events", WHOLE_OR_BLANK),
    ("extinctions", "history", "extinctions", WHOLE_OR_BLANK),
    ("first_split_generation", "history", "first_split_generation", WHOLE_OR_BLANK),
    ("hosts_occupied_at_end", "history", "hosts_occupied_at_end", WHOLE_OR_BLANK),
    ("host_shift_share", "history", "host_shift_share", REAL_OR_BLANK),
    ("mean_divergence_between_extant", "history", "mean_divergence_between_extant",
     REAL_OR_BLANK),
    ("species_spanning_groups", "history", "species_spanning_groups", WHOLE_OR_BLANK),
)
