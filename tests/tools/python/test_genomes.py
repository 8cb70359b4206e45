"""Genomes out as VCF: read back by bcftools, the same from the console program and from Python,
never a partial file under a final name."""

import gzip
import os
import shutil
import subprocess

import numpy
import pytest

import parasim
from conftest import scenario

bcftools = shutil.which("bcftools")
needs_bcftools = pytest.mark.skipif(bcftools is None, reason="bcftools is not installed")


def vcf_genotypes(path):
    """Genotypes as bcftools reads them: parasites x loci, and the sample names."""
    names = subprocess.run([bcftools, "query", "-l", str(path)], check=True,
                           capture_output=True, text=True).stdout.split()
    rows = subprocess.run([bcftools, "query", "-f", "%POS\t%REF\t%ALT[\t%GT]\n", str(path)],
                          check=True, capture_output=True, text=True).stdout.splitlines()
    fields = [row.split("\t") for row in rows]
    assert [f[:3] for f in fields] == [[str(l + 1), "A", "T"] for l in range(len(fields))]
    genotypes = numpy.array([f[3:] for f in fields], dtype=numpy.uint8).reshape(len(fields), -1)
    return genotypes.T, names


def expected_names(sim):
    """r<row>_s<species>_l<label>_h<host>: the species of the history, then its label."""
    population = sim.population()
    table = sim.history(frame=False).species
    extant = table["extant"]
    number_of = dict(zip(table["label"][extant], table["species"][extant]))
    return ["r%d_s%d_l%d_h%d" % (row, number_of[label], label, host)
            for row, (label, host) in enumerate(zip(population.species, population.host))]


@needs_bcftools
def test_vcf_read_back_by_bcftools_equals_the_genomes(tmp_path):
    parameters, seed = scenario("example")
    sim = parasim.Simulation(parameters, seed=seed)
    sim.run(60)
    sim.write_vcf(tmp_path / "g.vcf.gz")
    population = sim.population()
    genotypes, names = vcf_genotypes(tmp_path / "g.vcf.gz")
    numpy.testing.assert_array_equal(genotypes, population.genomes)
    assert names == expected_names(sim)
    assert len(set(population.species)) > 1
    # The index answers a region query, as bcftools uses it.
    region = subprocess.run([bcftools, "view", "-H", "-r", "genome:10-12", str(tmp_path / "g.vcf.gz")],
                            check=True, capture_output=True, text=True).stdout.splitlines()
    assert [line.split("\t")[1] for line in region] == ["10", "11", "12"]
    table = (tmp_path / "g.samples.tsv").read_text().splitlines()
    assert table[0] == "sample\trow\tspecies\tlabel\thost\tphenotype"
    rows = [line.split("\t") for line in table[1:]]
    assert [r[0] for r in rows] == names
    assert ["r%s_s%s_l%s_h%s" % tuple(r[1:5]) for r in rows] == names
    numpy.testing.assert_array_equal([float(r[5]) for r in rows], population.phenotype)


@needs_bcftools
def test_console_genomes_equal_pythons_at_the_same_generations(console, tmp_path):
    parameters, seed = scenario("small_world")
    plain = console.run(tmp_path / "plain", parameters, seed=seed)
    result = console.run(tmp_path / "run", parameters, "--genomes", "g", "--genomes-every", "8",
                         seed=seed)
    assert result.returncode == 0 and result.stdout == plain.stdout
    assert (tmp_path / "run" / "Output.dat").read_bytes() == \
        (tmp_path / "plain" / "Output.dat").read_bytes()
    written = sorted(os.listdir(tmp_path / "run" / "g"))
    assert written == sorted("genomes-%06d.%s" % (g, ending) for g in (1, 8, 16, 24)
                             for ending in ("vcf.gz", "vcf.gz.tbi", "samples.tsv"))
    sim = parasim.Simulation(parameters, seed=seed)
    for generation in (1, 8, 16, 24):
        sim.run(generation - sim.generation)
        genotypes, names = vcf_genotypes(tmp_path / "run" / "g" / ("genomes-%06d.vcf.gz" % generation))
        numpy.testing.assert_array_equal(genotypes, sim.population().genomes)
        assert names == expected_names(sim)
        sim.write_vcf(tmp_path / "mine.vcf.gz")
        with gzip.open(tmp_path / "mine.vcf.gz") as mine, \
                gzip.open(tmp_path / "run" / "g" / ("genomes-%06d.vcf.gz" % generation)) as theirs:
            assert mine.read() == theirs.read()


def test_genomes_folder_that_cannot_serve_refuses_the_run(console, tmp_path):
    parameters, seed = scenario("small_world")
    (tmp_path / "Output.dat").write_bytes(b"an earlier run's results")
    (tmp_path / "a-file").write_text("not a folder")
    (tmp_path / "dangling").symlink_to("absent")
    cases = [
        ("dangling/missing/g", 'its folder "dangling" is a dangling symbolic link'),
        ("a-file", "it exists and is not a folder"),
        ("a-file/g", '"a-file" is not a folder'),
        ("Output.dat", "it exists and is not a folder"),
    ]
    if os.geteuid() != 0:  # root may write anywhere
        (tmp_path / "locked").mkdir(mode=0o555)
        cases.append(("locked", "Permission denied"))
    for folder, reason in cases:
        result = console.run(tmp_path, parameters, "--genomes", folder, seed=seed)
        assert result.returncode == 2
        assert result.stderr.decode().splitlines() == [
            'parasim: cannot use "%s" as the genomes folder' % folder, reason]
        assert result.stdout == b""  # refused before the first question
        assert (tmp_path / "Output.dat").read_bytes() == b"an earlier run's results"
    # The history and the genomes may share a folder: their files have names of their own.
    assert console.run(tmp_path, parameters, "--genomes", "both", "--history", "both",
                       seed=seed).returncode == 0
    assert {"species.csv", "genomes-000001.vcf.gz"} <= set(os.listdir(tmp_path / "both"))


@pytest.mark.parametrize("arguments,message", [
    (["--genomes-every", "5"], "--genomes-every goes with --genomes DIR"),
    (["--genomes", "g", "--genomes-every", "0"], "--genomes-every takes a number of generations"),
    (["--genomes"], "--genomes needs a value"),
])
def test_genomes_options_misused(console, tmp_path, arguments, message):
    parameters, _ = scenario("small_world")
    result = console.run(tmp_path, parameters, *arguments)
    assert result.returncode == 2 and message in result.stderr.decode()
    assert not (tmp_path / "Output.dat").exists()


def test_write_vcf_to_a_bad_path_leaves_nothing(tmp_path):
    parameters, seed = scenario("small_world")
    sim = parasim.Simulation(parameters, seed=seed)
    sim.run(3)
    with pytest.raises(OSError, match='"[^"]*missing/g.vcf.gz".*No such file or directory'):
        sim.write_vcf(tmp_path / "missing" / "g.vcf.gz")
    (tmp_path / "taken.vcf.gz").mkdir()  # a folder stands where the file would go
    with pytest.raises(OSError, match="taken.vcf.gz"):
        sim.write_vcf(tmp_path / "taken.vcf.gz")
    assert sorted(os.listdir(tmp_path)) == ["taken.vcf.gz"]
    assert os.listdir(tmp_path / "taken.vcf.gz") == []
    with pytest.raises(OSError, match="missing/Output.dat"):
        sim.write_results(tmp_path / "missing" / "Output.dat")
    assert sim.generation == 4
