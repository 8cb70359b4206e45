"""One simulation at a time, run in a thread of its own and steered by the page's requests.

The simulation belongs to that thread alone: a request hands it a command and waits for it to
be carried out between two generations, so no request sees a half-made generation, and a
request never runs the model itself. While the run goes, the thread steps it (the interpreter
is released during each generation) and takes a look at it at most ten times a second; the
requests for the state are answered from the last look, without waiting.

Each run writes its results file and species history as it goes, with the console program's
writers, into a folder of its own inside the session's private folder; the folder of the run
before is removed when a new one starts, so memory and disk hold one run.
"""

import collections
import os
import queue
import shutil
import tempfile
import threading
import time
from dataclasses import dataclass, field

import parasim

from .run_tables import RunTables

LOOK_SECONDS = 0.1  # at most ten looks a second while the run goes
RATE_SECONDS = 2.0  # generations per second over the last two seconds of running
BUTTON_SECONDS = 0.45  # a button waits this long at most for the run to heed it

RESULTS_FILE = "Output.dat"
HISTORY_FOLDER = "history"


class Refused(Exception):
    """A request that cannot be carried out now (no run yet, a finished run, a running one)."""


class AnswerError(Exception):
    """An answer of a new run refused, with the answer's name."""

    def __init__(self, text, parameter):
        super().__init__(text)
        self.parameter = parameter


@dataclass(frozen=True)
class Look:
    """The run as it stood between two generations: what the page shows."""

    version: int
    state: dict  # the counters of GET /api/state
    phenotype: object = None  # the parasites now, one row each
    host: object = None
    species: object = None
    hosts: object = None  # parasim.Hosts
    species_table: dict = field(default_factory=dict)
    totals: dict = field(default_factory=dict)  # RunTables columns, views
    sizes: dict = field(default_factory=dict)


class _Command:
    def __init__(self, action):
        self._action = action
        self._done = threading.Event()
        self._result = None
        self._error = None

    def carry_out(self):
        try:
            self._result = self._action()
        except BaseException as error:  # handed to the request that asked, not lost here
            self._error = error
        self._done.set()

    def wait(self, timeout=None):
        """The action's result (its exception raised here); None when it has not been
        carried out within timeout seconds (it still will be)."""
        if not self._done.wait(timeout):
            return None
        if self._error is not None:
            raise self._error
        return self._result


_STOP = object()


class Session:
    def __init__(self, folder):
        self._folder = folder
        self._commands = queue.SimpleQueue()
        self._wants_running = False
        self._sim = None
        self._run_folder = None
        self._run_number = 0
        self._tables = None
        self._started = self._ended = None
        self._error = None
        self._rate = collections.deque()
        self._last_look = 0.0
        self._look = Look(0, self._counters())
        self._thread = threading.Thread(target=self._work, name="parasim-explore run",
                                        daemon=True)
        self._thread.start()

    # ---- Requests, from any thread ----

    def look(self):
        return self._look

    def start(self, parameters, seed):
        """A new run of these answers and seed (None: the clock) in place of the current one,
        running."""
        self._wants_running = False
        return self._call(lambda: self._start(parameters, seed, running=True))

    def reset(self):
        """The current run's answers and seed again, standing at generation 1, paused."""
        self._wants_running = False
        return self._call(self._reset)

    def pause(self):
        """Stops the run after the generation it is in; waits for that at most
        BUTTON_SECONDS."""
        self._wants_running = False
        self._call(lambda: None, BUTTON_SECONDS)

    def resume(self):
        """Lets a paused run go on; waits at most BUTTON_SECONDS for the run's thread."""
        self._call(self._resume, BUTTON_SECONDS)

    def step(self):
        """Runs one generation of a paused run; waits for it at most BUTTON_SECONDS (a
        generation of a large run takes longer: it goes on, and a later look shows it)."""
        self._call(self._step, BUTTON_SECONDS)

    def collect(self, folder, *files):
        """Puts the files named (RESULTS_FILE, HISTORY_FOLDER, "checkpoint", "genomes.vcf.gz",
        "record.json") of the run as it stands into folder; the record only once the run has
        ended, as the console program writes its record. Returns the names written."""
        return self._call(lambda: self._collect(folder, files))

    def close(self):
        """Stops the run's thread (after the generation it is in) and removes the run's files."""
        self._wants_running = False
        self._commands.put(_STOP)
        self._thread.join()
        self._drop_run()

    def _call(self, action, timeout=None):
        """Carries out action in the run's thread, then takes a look, so that the request
        that waited for it finds the run as the action left it."""
        def then_look():
            try:
                return action()
            finally:
                self._take_look()

        command = _Command(then_look)
        self._commands.put(command)
        return command.wait(timeout)

    # ---- The run's thread ----

    def _work(self):
        while True:
            advancing = (self._wants_running and self._sim is not None
                         and not self._sim.finished)
            try:
                command = self._commands.get_nowait() if advancing else self._commands.get()
            except queue.Empty:
                command = None
            if command is _STOP:
                return
            if command is not None:
                command.carry_out()
            else:
                self._advance()

    def _generation(self):
        """Runs one generation. One that fails (a full disk, exhausted memory) stops the run
        for good, and the state says why; the error goes on to the caller."""
        try:
            self._sim.step()
        except Exception as error:
            self._error = f"the run stopped: {type(error).__name__}: {error}"
            self._wants_running = False
            raise
        if self._sim.finished:
            self._ended = time.time()
            self._wants_running = False

    def _advance(self):
        try:
            self._generation()
            now = time.monotonic()
            self._rate.append((now, self._sim.generation))
            while self._rate and self._rate[0][0] < now - RATE_SECONDS:
                self._rate.popleft()
            if self._sim.finished or now - self._last_look >= LOOK_SECONDS:
                self._take_look()
        except Exception as error:  # shown in the state; the run stopped
            if self._error is None:
                self._error = f"the run stopped: {type(error).__name__}: {error}"
                self._wants_running = False
            try:
                self._take_look()
            except Exception:  # the counters before the failure stay in view, with why
                self._look = Look(self._look.version + 1, {**self._look.state,
                                                           "running": False,
                                                           "error": self._error})

    def _start(self, parameters, seed, running):
        folder = tempfile.mkdtemp(prefix="run-", dir=self._folder)
        try:
            sim = parasim.Simulation(parameters, seed,
                                     results_path=os.path.join(folder, RESULTS_FILE),
                                     history_path=os.path.join(folder, HISTORY_FOLDER))
        except (TypeError, ValueError) as error:  # the answers are checked: the seed is wrong
            shutil.rmtree(folder, ignore_errors=True)
            raise AnswerError(str(error), "seed") from None
        except BaseException:
            shutil.rmtree(folder, ignore_errors=True)
            raise
        self._drop_run()
        self._sim, self._run_folder = sim, folder
        self._run_number += 1
        self._tables = RunTables()
        self._started, self._ended, self._error = time.time(), None, None
        self._rate.clear()
        self._wants_running = running and not sim.finished
        if sim.finished:
            self._ended = self._started

    def _drop_run(self):
        self._sim = None
        if self._run_folder is not None:
            shutil.rmtree(self._run_folder, ignore_errors=True)
            self._run_folder = None

    def _current(self):
        if self._sim is None:
            raise Refused("no run yet: start one with Run")
        return self._sim

    def _going_on(self):
        """The run, when it can run another generation."""
        sim = self._current()
        if self._error is not None:
            # A generation that failed half-way (its report half written) cannot be run again.
            raise Refused("the run stopped after a failure: start a new one with Run")
        if sim.finished:
            raise Refused("the run has finished: start a new one with Run")
        return sim

    def _reset(self):
        sim = self._current()
        self._start(sim.parameters, sim.seed, running=False)

    def _resume(self):
        self._going_on()
        self._rate.clear()
        self._wants_running = True

    def _step(self):
        self._going_on()
        if self._wants_running:
            raise Refused("the run is going: pause it first")
        self._generation()

    def _collect(self, folder, files):
        sim = self._current()
        written = []
        for name in files:
            target = os.path.join(folder, name)
            if name == RESULTS_FILE:
                shutil.copyfile(os.path.join(self._run_folder, RESULTS_FILE), target)
            elif name == HISTORY_FOLDER:
                shutil.copytree(os.path.join(self._run_folder, HISTORY_FOLDER), target)
            elif name == "checkpoint":
                with open(target, "wb") as stream:
                    stream.write(sim.checkpoint())
            elif name == "genomes.vcf.gz":
                sim.write_vcf(target)
            elif name == "record.json":
                if not sim.finished:
                    continue
                sim.write_record(target, started=self._started, ended=self._ended)
            else:
                raise ValueError("no file of a run is named " + name)
            written.append(name)
        return written

    def _counters(self):
        sim = self._sim
        if sim is None:
            return {"run": 0, "generation": None, "generations": None, "running": False,
                    "finished": False, "population": 0, "species": 0, "died_out": False,
                    "seed": None, "parameters": None, "generations_per_second": None,
                    "error": None}
        rate = None
        if self._wants_running and len(self._rate) > 1:
            (first_time, first), (last_time, last) = self._rate[0], self._rate[-1]
            if last_time > first_time:
                rate = (last - first) / (last_time - first_time)
        return {"run": self._run_number, "generation": sim.generation,
                "generations": sim.parameters.generations,
                "running": self._wants_running and not sim.finished,
                "finished": sim.finished, "population": sim.population_size,
                "species": sim.species_count,
                "died_out": sim.finished and sim.population_size == 0, "seed": sim.seed,
                "parameters": sim.parameters.as_dict(), "generations_per_second": rate,
                "error": self._error}

    def _take_look(self):
        self._last_look = time.monotonic()
        version = self._look.version + 1
        sim = self._sim
        if sim is None:
            self._look = Look(version, self._counters())
            return self._look
        population = sim.population()
        history = sim.history(frame=False, from_generation=self._tables.next_generation)
        self._tables.take(history.abundance)
        self._look = Look(version, self._counters(), phenotype=population.phenotype,
                          host=population.host, species=population.species,
                          hosts=sim.hosts(), species_table=history.species,
                          totals=self._tables.totals.columns(),
                          sizes=self._tables.sizes.columns())
        return self._look
