"""What parasim-report makes of the history's host columns and genetics tables: species_at_end.csv
recounted from abundance.csv, the pairs of extant species (divergence, sisters, Hudson's FST)
and the divergence through time recomputed from divergence.csv, the summary's lines, the
warning for a species across mating groups, and a history without the genetics tables."""

import csv
import os
import pathlib
import re
import shutil
import subprocess

import pytest

HERE = pathlib.Path(__file__).resolve().parent
FIXTURE = HERE / "data" / "five_species_history"
REPORT = os.environ.get("PARASIM_REPORT_BINARY")
PARASIM = os.environ.get("PARASIM_BINARY")
# Loose mate recognition and dispersal: species split and spread over the hosts.
ANSWERS = "60\n0.1\n0.01\n2\n0.1\n5\n0.75\n120\n0.5\n80\n"


def report(*arguments, folder=None):
    done = subprocess.run([REPORT, *map(str, arguments)], capture_output=True, text=True,
                          cwd=folder)
    assert done.returncode == 0, done.stderr
    return done.stdout


def rows(path):
    with open(path, newline="") as stream:
        return list(csv.DictReader(stream))


def optional(text):
    return None if text == "" else float(text)


@pytest.fixture(scope="module")
def run(tmp_path_factory):
    """One small run with its genetics tables every 10 generations, and its report's tables."""
    folder = tmp_path_factory.mktemp("speciation-run")
    done = subprocess.run([PARASIM, "--seed", "31", "--history", "h", "--genetics-every", "10"],
                          input=ANSWERS, capture_output=True, text=True, cwd=folder)
    assert done.returncode == 0, done.stderr
    summary = report("--history", "h", "--csv", "t", "Output.dat", folder=folder)
    return folder, summary


def test_species_at_end_is_the_last_generation_of_abundance(run):
    folder, _ = run
    history, tables = folder / "h", folder / "t"
    abundance = rows(history / "abundance.csv")
    last = max(int(row["generation"]) for row in abundance)
    on_hosts = {}
    for row in abundance:
        if int(row["generation"]) == last:
            on_hosts.setdefault(int(row["species"]), []).append((int(row["host"]),
                                                                 int(row["count"])))
    groups = {}
    for row in rows(history / "groups.csv"):
        if int(row["generation"]) == last:  # 80: a sampled generation
            groups[int(row["species"])] = row["groups"]
    species = {int(row["species"]): row for row in rows(history / "species.csv")}
    expected = []
    for number in sorted(on_hosts):
        hosts = sorted(on_hosts[number], key=lambda pair: (-pair[1], pair[0]))
        entry = species[number]
        expected.append({
            "species": str(number), "label": entry["label"], "parent": entry["parent"],
            "born": entry["born"], "birth_host": entry["birth_host"],
            "host_shift": entry["host_shift"],
            "hosts": ";".join(f"{host}:{count}" for host, count in hosts),
            "parasites": str(sum(count for _, count in hosts)), "groups": groups[number]})
    assert rows(tables / "species_at_end.csv") == expected
    assert len(expected) == sum(row["extant"] == "true" for row in species.values())


def sister_pairs(newick):
    """The cherries of a Newick tree of tips named sp<species>_L<label>."""
    return {tuple(sorted((int(a), int(b)))) for a, b in
            re.findall(r"\(sp(\d+)_L\d+:[0-9.]+,sp(\d+)_L\d+:[0-9.]+\)", newick)}


def test_pairs_of_extant_species_and_fst_from_divergence(run):
    folder, summary_text = run
    history, tables = folder / "h", folder / "t"
    divergence = rows(history / "divergence.csv")
    last = max(int(row["generation"]) for row in divergence)
    extant = {int(row["species"]) for row in rows(history / "species.csv")
              if row["extant"] == "true"}
    at_last = {(int(row["species_a"]), int(row["species_b"])): optional(row["mean_distance"])
               for row in divergence if int(row["generation"]) == last}
    sisters = sister_pairs((tables / "tree-extant.nwk").read_text())
    pairs = rows(tables / "species_pairs.csv")
    expected = [(a, b) for a, b in at_last if a != b and a in extant and b in extant]
    assert [(int(row["species_a"]), int(row["species_b"])) for row in pairs] == expected
    assert len(pairs) >= 3, "the run must split into several species"
    for row in pairs:
        a, b = int(row["species_a"]), int(row["species_b"])
        within_a, within_b, between = at_last[(a, a)], at_last[(b, b)], at_last[(a, b)]
        assert optional(row["mean_within_a"]) == within_a
        assert optional(row["mean_within_b"]) == within_b
        assert float(row["mean_between"]) == between
        assert (row["sisters"] == "true") == ((a, b) in sisters)
        if within_a is None or within_b is None or between == 0:
            assert row["fst"] == ""
        else:
            assert float(row["fst"]) == pytest.approx(1 - (within_a + within_b) / 2 / between,
                                                      rel=1e-12)
    (summary,) = rows(tables / "history_summary.csv")
    between = [at_last[pair] for pair in expected]
    sister_values = [at_last[pair] for pair in expected if pair in sisters]
    assert float(summary["mean_divergence_between_extant"]) == pytest.approx(
        sum(between) / len(between), rel=1e-12)
    assert int(summary["sister_pairs"]) == len(sister_values)
    assert int(summary["divergence_generation"]) == last
    assert (f"divergence between extant species   {sum(between) / len(between):.2f} loci, the "
            f"mean over {len(between)} pairs of species") in summary_text
    # Past 45 pairs the summary gives the mean and range of FST (one pair a line is the
    # hand-made history's case below).
    assert len(pairs) > 45
    fst = [float(row["fst"]) for row in pairs if row["fst"]]
    assert (f"{len(pairs)} pairs; over the {len(fst)} defined, mean "
            f"{sum(fst) / len(fst):.4f}, from {min(fst):.4f} to {max(fst):.4f}") in summary_text


def test_divergence_through_time_weighs_every_pair_of_parasites(run):
    folder, _ = run
    sums = {}
    for row in rows(folder / "h" / "divergence.csv"):
        if row["pairs"] == "0":
            continue
        kind = "within" if row["species_a"] == row["species_b"] else "between"
        pairs, total = sums.setdefault(int(row["generation"]), {}).get(kind, (0, 0.0))
        sums[int(row["generation"])][kind] = (pairs + int(row["pairs"]),
                                              total + int(row["pairs"]) * float(row["mean_distance"]))
    through_time = rows(folder / "t" / "divergence_through_time.csv")
    assert [int(row["generation"]) for row in through_time] == [1, *range(10, 81, 10)]
    for row in through_time:
        for kind in ("within", "between"):
            pairs, total = sums[int(row["generation"])].get(kind, (0, 0.0))
            assert int(row[f"{kind}_pairs"]) == pairs
            mean = optional(row[f"mean_{kind}"])
            assert mean == (pytest.approx(total / pairs, rel=1e-12) if pairs else None)


def test_host_shifts_counted_from_species_csv(run):
    folder, summary_text = run
    daughters = [row for row in rows(folder / "h" / "species.csv") if row["host_shift"]]
    shifts = sum(row["host_shift"] == "true" for row in daughters)
    (summary,) = rows(folder / "t" / "history_summary.csv")
    assert int(summary["host_shifts"]) == shifts
    assert int(summary["daughters_on_parent_host"]) == len(daughters) - shifts
    assert float(summary["host_shift_share"]) == shifts / len(daughters)
    assert f"daughters by a host shift           {shifts} (" in summary_text
    # The results file's count of the end beside the history's, of one generation.
    assert "the same generation, so the same species" in summary_text


GROUPS_HEADER = "generation,species,label,parasites,groups,largest_group,shared_groups\n"
# The hand-made history at its last generation, 12: species 1, 2, 4 and 5 with 1, 3, 14 and
# 23 parasites (labels 1, 2, 3, 4).
DIVERGENCE_12 = ("generation,species_a,species_b,pairs,mean_distance,min_distance,max_distance\n"
                 "12,1,1,0,,,\n12,1,2,3,10,9,11\n12,2,2,3,2,1,3\n12,2,4,42,8,6,9\n"
                 "12,4,4,91,4,2,6\n")


@pytest.mark.parametrize("groups, warned", [
    ("12,1,1,1,1,1,0\n12,2,2,3,1,3,1\n12,4,3,14,1,14,1\n12,5,4,23,1,23,0\n", []),
    ("12,1,1,1,1,1,0\n12,2,2,3,2,2,1\n12,4,3,14,1,14,1\n12,5,4,23,3,20,0\n",
     ["species 2 (label 2) in 2 groups", "species 5 (label 4) in 3 groups"]),
])
def test_species_across_mating_groups_are_named(tmp_path, groups, warned):
    history = tmp_path / "history"
    shutil.copytree(FIXTURE, history)
    (history / "divergence.csv").write_text(DIVERGENCE_12)
    (history / "groups.csv").write_text(GROUPS_HEADER + groups)
    text = report("--history", history, "--csv", tmp_path / "t")
    (summary,) = rows(tmp_path / "t" / "history_summary.csv")
    assert summary["species_spanning_groups"] == str(len(warned))
    named = re.findall(r"^    (species \d+ \(label \d+\) in \d+ groups)$", text, re.MULTILINE)
    assert named == warned
    assert ("Warning:" in text) == bool(warned)
    # Species 1 has one parasite: no pair within, so its FST is undefined; 2 and 4 are sisters.
    pairs = {(row["species_a"], row["species_b"]): row
             for row in rows(tmp_path / "t" / "species_pairs.csv")}
    assert pairs[("1", "2")]["fst"] == ""
    assert float(pairs[("2", "4")]["fst"]) == 1 - (2 + 4) / 2 / 8
    assert pairs[("2", "4")]["sisters"] == "true"
    assert ("    species 1 (label 1) and species 2 (label 2): undefined (between 10.00 loci)\n"
            "    species 2 (label 2) and species 4 (label 3): 0.6250 (between 8.00 loci, sisters)\n"
            ) in text


def test_a_history_without_genetics_tables_says_what_they_need(tmp_path):
    text = report("--history", FIXTURE, "--csv", tmp_path / "t", "--html", tmp_path / "page.html")
    assert ("Genetic divergence, FST and mating groups need a run with --genetics-every G "
            "(this history has no divergence.csv or groups.csv).") in text
    (summary,) = rows(tmp_path / "t" / "history_summary.csv")
    for name in ("divergence_generation", "mean_divergence_between_extant", "sister_pairs",
                 "mean_sister_divergence", "groups_generation", "species_spanning_groups"):
        assert summary[name] == "", name
    assert summary["host_shift_share"] == "0.5"  # species 2 and 3 shifted, 4 and 5 did not
    assert rows(tmp_path / "t" / "species_pairs.csv") == []
    assert rows(tmp_path / "t" / "divergence_through_time.csv") == []
    assert {row["groups"] for row in rows(tmp_path / "t" / "species_at_end.csv")} == {""}
    page = (tmp_path / "page.html").read_text()
    assert "need a run with <code>--genetics-every G</code>" in page
    assert 'id="chart-divergence"' not in page
