"""parasim from Python: parasites evolving on a line of hosts, run one generation at a time.

The same model as the console program ``parasim``, built from the same C++ core: with the same
answers and seed it draws the same random numbers and writes the same ``Output.dat`` bytes.

A short session::

    import parasim
    p = parasim.Parameters(genome_size=100, max_differentiation=0.1, mutation_rate=0.005,
                           max_offspring=2, dispersal_prob=0.05, host_count=5,
                           host_distance=1.0, carrying_capacity=200, survival_sd=0.5,
                           generations=100)
    sim = parasim.Simulation(p, seed=42)
    sim.run(50)                       # 50 generations; sim.run() runs to the end
    pop = sim.population()            # numpy copies: genomes, phenotype, host, species
    sim.write_results("Output.dat")   # the console program's results file, byte for byte
    sim.write_vcf("genomes.vcf.gz")   # genomes for bcftools, PLINK, scikit-allel

What is here:

- ``Parameters``: the ten answers, by name, refused as the console program refuses them, and
  the values a run derives from them (``mate_threshold``, ``host_spacing``, ...).
- ``Simulation``: one run, stepped (``step``, ``run``), looked at between generations
  (``population``, ``hosts``, ``history``, ``divergence``, ``groups``), saved (``checkpoint``, pickling) and written
  out (``write_results``, ``write_vcf``).
- ``read_results``: a results file read back with parasim-report's checks.
- ``MalformedResults``: the error for a results file that breaks its format.
- ``read_answers``: the ten answers read from texts as the console program reads them;
  ``answer_fields``: their names, types and prompts; ``AnswerRefused``: the error for an
  answer the console program would not take, naming it.

When a simulation stands between two generations, the generation that runs next has had its
species labelled and has not yet reproduced: the moment the results file reports. The
interpreter is released while a generation runs (other threads go on), and Ctrl-C stops a run
between generations with KeyboardInterrupt, leaving a simulation that can go on.

Tables come as dicts of numpy arrays, or as pandas DataFrames when pandas can be imported
(``frame=None``, the default), or as you ask (``frame=True`` or ``frame=False``).
See docs/python.md for a worked session.
"""

import operator
import os
import time
import typing

import numpy

from ._parasim import AnswerRefused, MalformedResults, Parameters
from . import _parasim

__all__ = ["Parameters", "Simulation", "Population", "Hosts", "History", "read_results",
           "MalformedResults", "read_answers", "answer_fields", "AnswerRefused"]

MalformedResults.__doc__ = (
    "A results file that breaks its format, with the message parasim-report gives: "
    "'PATH:LINE: what is wrong'. A ValueError.")
AnswerRefused.__doc__ = (
    "An answer the console program would not take, in its words (\"Bad integer for item 1 in "
    "list input\", \"The number of hosts must be at least 1, not 0\"); ``parameter`` names the "
    "answer. A ValueError.")


class Population(typing.NamedTuple):
    """The parasites of a simulation, one row each, in population order (grouped by host).

    Copies: changing them changes nothing in the simulation.
    """

    genomes: numpy.ndarray
    """uint8, population x genome size: each locus 0 or 1."""
    phenotype: numpy.ndarray
    """float64: the loci set to 1, divided by 10."""
    host: numpy.ndarray
    """int32: the host each parasite lives on, 1 ... host_count."""
    species: numpy.ndarray
    """int32: the species label of each parasite (the species column of Output.dat)."""


class Hosts(typing.NamedTuple):
    """The hosts, ordered by host number (which is not the order of their phenotypes)."""

    host: numpy.ndarray
    """int32: the host numbers 1 ... host_count."""
    phenotype: numpy.ndarray
    """float64: each host's place on the phenotype line."""
    load: numpy.ndarray
    """int32: the parasites living on each host now."""


class History(typing.NamedTuple):
    """The species history of a run: the same tables as ``parasim --history`` writes."""

    species: typing.Any
    """One row per species in order of origin: species, label, parent (0 for the founders'
    species), born, size_at_birth, last_seen, extant, birth_host (the host holding most of its
    parasites at its birth), parent_host (the same for its parent's parasites then; 0 for the
    founders' species) and host_shift (True when the two differ; False also where a host is 0,
    not known: a run restored from a checkpoint of an earlier version)."""
    abundance: typing.Any
    """One row per generation, species and host with at least one carrier after that
    generation's labelling: generation, species, label, host, host_phenotype, count,
    phenotype_mean, phenotype_sd (divisor n)."""


def _table(columns, frame):
    """A dict of arrays as it is, or as a pandas DataFrame (frame: True, False, or None for
    a DataFrame when pandas can be imported)."""
    if frame is False:
        return columns
    try:
        import pandas
    except ImportError:
        if frame:
            raise
        return columns
    return pandas.DataFrame(columns)


def _path(path):
    return None if path is None else os.fspath(path)


def _count(n):
    """A number of generations: a whole number (numpy's too) of 0 or more, never a bool."""
    if isinstance(n, (bool, numpy.bool_)):
        raise TypeError("n takes a whole number of generations, not %r" % (n,))
    try:
        n = operator.index(n)
    except TypeError:
        raise TypeError("n takes a whole number of generations, not %r" % (n,)) from None
    if n < 0:
        raise ValueError("n must be 0 or more, not %r" % (n,))
    return n


class Simulation:
    """One run of the model, driven from Python.

    ``Simulation(parameters, seed=None, results_path=None, history_path=None)``

    - ``parameters``: a ``Parameters``.
    - ``seed``: the tick count the random stream is seeded from (0 ... 2147483647), as the
      console program's ``--seed``; None takes it from the clock, as the console program does
      without ``--seed``. ``sim.seed`` tells it afterwards.
    - ``results_path``: when given, the results file is created there at once and each report
      is written as the run goes, as the console program writes Output.dat.
    - ``history_path``: when given, the species history is written into that folder as the
      run goes, as ``parasim --history`` writes it (species.csv, abundance.csv, run.json); the
      folder is made when missing, and is checked with the results file as the console
      program checks them. A simulation made from a checkpoint writes none.

    A new simulation stands at generation 1: the three founders, labelled species 1.
    """

    def __init__(self, parameters, seed=None, results_path=None, history_path=None):
        if not isinstance(parameters, Parameters):
            raise TypeError("Simulation takes a parasim.Parameters, not "
                            + type(parameters).__name__)
        self._started = time.time()
        self._seed_source = "clock" if seed is None else "option"
        self._run = _parasim.Run(parameters, seed, _path(results_path), _path(history_path))

    @classmethod
    def from_checkpoint(cls, state, results_path=None):
        """Goes on from the bytes of ``checkpoint()`` (bytes, bytearray or memoryview), or
        from a file given by its path (str or path-like) that holds them or is a checkpoint
        file of the console program (``--checkpoint FILE``; its species history before that
        point is not in the file, so ``history().abundance`` starts there). Anything else is
        a TypeError.

        With ``results_path``, the simulation goes on writing that results file, which must be
        the one the saved run was writing: it is checked as ``parasim --resume`` checks it
        (ValueError or OSError if it is not) and cut back to where the state was taken, so
        that the run ends with the file an uninterrupted run writes. Damaged or foreign bytes
        raise ValueError; a file that cannot be read, OSError.
        """
        sim = cls.__new__(cls)
        sim._started = time.time()
        sim._seed_source = "checkpoint"
        if isinstance(state, (bytes, bytearray, memoryview)):
            sim._run = _parasim.Run.restore(bytes(state), _path(results_path))
        elif isinstance(state, (str, os.PathLike)):
            sim._run = _parasim.Run.restore_file(os.fspath(state), _path(results_path))
        else:
            raise TypeError("from_checkpoint takes the bytes of checkpoint() or the path of a "
                            "checkpoint file, not " + type(state).__name__)
        return sim

    def checkpoint(self):
        """The whole state as bytes, for ``Simulation.from_checkpoint``: parameters, seed,
        generation, random stream, population, species history and abundance table. Pickling
        a simulation goes through it. A simulation made from these bytes writes no results file
        unless given one."""
        return self._run.save()

    def __reduce__(self):
        return (Simulation.from_checkpoint, (self.checkpoint(),))

    def step(self):
        """Runs one generation: the report of the generation that stands labelled (when one is
        due and there is a results file), reproduction, dispersal and survival, then the
        labelling of the next generation. RuntimeError when the simulation has finished."""
        self._run.step()

    def run(self, n=None, callback=None):
        """Runs n generations (a whole number, numpy's too; a bool or a float is a
        TypeError), or to the end when n is None; stops early when the run ends (all its
        generations run, or no parasite left). Calls ``callback(self)`` after each
        generation. Returns the number of generations run.

        Ctrl-C stops it between two generations with KeyboardInterrupt; the simulation is then
        whole and can go on. An exception raised by the callback stops the run the same way.
        """
        if n is not None:
            n = _count(n)
        done = 0
        while not self._run.finished and (n is None or done < n):
            self._run.step()
            done += 1
            if callback is not None:
                callback(self)
        return done

    @property
    def generation(self):
        """The generation that runs next, whose species are labelled already; after the end,
        one past the last generation run."""
        return self._run.generation

    @property
    def finished(self):
        """Whether the run is over: all its generations run, or no parasite left."""
        return self._run.finished

    @property
    def population_size(self):
        """The number of parasites now."""
        return self._run.population_size

    @property
    def species_count(self):
        """The number of species (distinct labels) at the last labelling."""
        return self._run.species_count

    @property
    def seed(self):
        """The tick count the run's random stream was seeded from."""
        return self._run.seed

    @property
    def parameters(self):
        """The run's ``Parameters``."""
        return self._run.parameters

    @property
    def results_path(self):
        """The results file the run writes as it goes, or None."""
        return self._run.results_path

    @property
    def history_path(self):
        """The species history folder the run writes as it goes, or None."""
        return self._run.history_folder

    def population(self):
        """The parasites as they stand, as a ``Population`` of numpy arrays (copies):
        ``genomes`` (population x genome, uint8 0/1), ``phenotype``, ``host``, ``species``.

        Between generations their species are those the results file would report for the
        generation that runs next. After the end the survivors of the last generation are
        shown; they are not labelled again and carry the labels their mates gave them.
        """
        arrays = self._run.population()
        return Population(arrays["genomes"], arrays["phenotype"], arrays["host"],
                          arrays["species"])

    def hosts(self):
        """The hosts as a ``Hosts`` of numpy arrays, ordered by host number: ``host``,
        ``phenotype`` and ``load`` (parasites on it now)."""
        arrays = self._run.hosts()
        count = len(arrays["phenotype"])
        return Hosts(numpy.arange(1, count + 1, dtype=numpy.int32), arrays["phenotype"],
                     arrays["load"])

    def history(self, frame=None, from_generation=None):
        """The species history so far, as a ``History(species, abundance)``: the tables of
        species.csv and abundance.csv of ``parasim --history``, as dicts of numpy arrays or
        pandas DataFrames (``frame``: None for DataFrames when pandas can be imported, True,
        or False). Every labelling is in it, also that of the generation standing labelled.
        With ``from_generation`` (a whole number), the abundance table holds the labellings of
        that generation and later ones only: what a caller that follows a run needs to fetch
        since its last look."""
        start = 0 if from_generation is None else _count(from_generation)
        return History(_table(self._run.species_table(), frame),
                       _table(self._run.abundance_table(start), frame))

    def divergence(self, frame=None):
        """The genetic divergence of the parasites as they stand, as ``parasim --history DIR
        --genetics-every G`` writes it to divergence.csv for a sampled generation: one row for
        every pair of species present (species of the history, species_a <= species_b) with
        ``generation`` (``sim.generation``), ``species_a``, ``species_b``, ``pairs`` (pairs of
        parasites: n(n-1)/2 within a species, n_a x n_b between two), ``mean_distance``,
        ``min_distance`` and ``max_distance`` (genetic distances in loci, as floats; NaN for a
        species of one parasite, which has no pair). Exact: every pair counts. As dicts of
        numpy arrays or a pandas DataFrame (``frame`` as for ``history``)."""
        return _table(self._run.divergence_table(), frame)

    def groups(self, frame=None):
        """How the species as they stand fall into mating groups, as groups.csv of ``parasim
        --history DIR --genetics-every G`` gives it: a mating group is a connected component of
        "genetic distance at most ``parameters.mate_threshold``" over all parasites, so no
        parasite of one group can mate with one of another. One row per species present:
        ``generation``, ``species``, ``label``, ``parasites``, ``groups`` (groups holding its
        parasites), ``largest_group`` (the most of its parasites in one) and ``shared_groups``
        (its groups that hold parasites of another species too). ``frame`` as for
        ``history``."""
        return _table(self._run.groups_table(), frame)

    def write_results(self, path):
        """Writes the results file of the generations run so far (those before
        ``generation``) to path: the bytes the console program writes with the same answers
        and seed when stopped there, so after ``run()`` the whole Output.dat. The run is
        played again from its seed to write it, which takes as long as the run so far (pass
        ``results_path`` to the constructor to have the file written as the run goes). The
        file is written under a temporary name and renamed into place. A path that is a
        symbolic link, a device, a fifo or a folder, or the results file this run writes, is
        refused with an OSError naming the reason, and left as it was."""
        self._run.write_results(os.fspath(path))

    def write_vcf(self, path):
        """Writes every parasite's genome as it stands to path as a bgzipped VCF, with its
        tabix index (path + ".tbi") and a sample table (path with ".vcf.gz" replaced by
        ".samples.tsv"), exactly as ``parasim --genomes`` does: one record per locus (REF "A"
        is locus value 0, ALT "T" is 1), one haploid sample per parasite, in population
        order, named ``r<row>_s<species>_l<label>_h<host>`` (row counted from 0, the index into
        ``population()``; species numbered as in ``history()``, label as in
        ``population().species``). The files are written under temporary names and renamed, so no
        partial file stands under its final name; targets are refused as by
        ``write_results``."""
        self._run.write_vcf(os.fspath(path))

    def write_record(self, path, started=None, ended=None):
        """Writes the run record of the run as it stands to path, as ``parasim --record``
        writes it after a run that went through (JSON: answers, derived values, seed and where
        it came from, start and end times, generations run, died out, population and species),
        so that ``parasim-report --record`` shows it. ``started`` and ``ended`` are times in
        seconds since 1970 (``time.time()``); by default, when the simulation was made and
        now. The seed came from the clock, the ``seed`` argument ("option") or a checkpoint.
        Targets are refused as by ``write_results``."""
        started = self._started if started is None else started
        ended = time.time() if ended is None else ended
        self._run.write_record(os.fspath(path), float(started), float(ended), self._seed_source)

    def __repr__(self):
        state = "finished" if self.finished else "at generation %d" % self.generation
        return "<parasim.Simulation seed=%d, %s, %d parasites, %d species>" % (
            self.seed, state, self.population_size, self.species_count)


def read_results(path, frame=None):
    """Reads a results file (Output.dat) with parasim-report's checks: the header, every
    record's layout and values, generations in increasing order, hosts grouped in increasing
    order, each host keeping its phenotype. Returns the columns ``generation``, ``phenotype``,
    ``host``, ``host_phenotype``, ``species`` as a dict of numpy arrays or a pandas DataFrame
    (``frame``: None for a DataFrame when pandas can be imported, True, or False). Reals are
    the printed values (four decimals).

    A file that breaks the format raises ``MalformedResults`` (a ValueError) with
    parasim-report's message, 'PATH:LINE: what is wrong'; one that cannot be read raises
    OSError ('cannot open PATH: why').
    """
    return _table(_parasim.read_results(os.fspath(path)), frame)


def read_answers(texts):
    """The ten answers as a ``Parameters``, read from their texts (a mapping of each answer's
    name to a str) exactly as the console program reads the answer typed for each question:
    its first item, the rest of the line unread. An answer it would not take raises
    ``AnswerRefused`` with its words and the answer's name: "Bad integer for item 1 in list
    input" for ``genome_size="10.5"``, "End of file" for an empty text, "The number of hosts
    must be at least 1, not 0". A missing or unknown name, or a text that is not a str, is a
    TypeError."""
    names = Parameters.names
    unknown = [name for name in texts if name not in names]
    if unknown:
        raise TypeError("Parameters has no answer named %r" % (unknown[0],))
    missing = [name for name in names if name not in texts]
    if missing:
        raise TypeError("read_answers needs all ten answers; missing: " + ", ".join(missing))
    for name in names:
        if not isinstance(texts[name], str):
            raise TypeError("%s takes a text, not %r" % (name, texts[name]))
    return _parasim.read_answers([texts[name] for name in names])


def answer_fields():
    """The ten answers in the order asked, as ``parasim --list-parameters`` lists them:
    (name, type, prompt) tuples, type "integer" or "real", the prompt as the dialogue shows
    it (blanks and colon included)."""
    return [tuple(field) for field in _parasim.answer_fields()]
