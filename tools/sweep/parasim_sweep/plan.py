"""A sweep plan: every combination of the listed values times the replicates, each run with its
seed (derived from the master seed, or the sweep file's list of seeds, one replicate per seed),
laid out as a folder that all the other commands work on.

    DIR/plan.json      the checked sweep definition (the runs are expanded from it again)
    DIR/sweep.toml     the sweep file as it was given
    DIR/manifest.csv   run_id, replicate, the ten parameters, seed, status
    DIR/runs/0001/     one folder per run, holding answers.txt (the ten answers)
"""

import csv
import dataclasses
import functools
import hashlib
import io
import json
import os
import shutil

from parasim_report.placement import (PlacementError, discard_folder, new_folder_beside,
                                      put_folder, write_file)

from .errors import SweepError
from .parameters import NAMES, answer_text, answers_file_text
from .sweep_file import SETTINGS, definition_from_document, read_bounded

PLAN_FORMAT = 1
SEED_LIMIT = 2**31  # parasim takes tick counts 0 ... 2147483647


def run_seed(master_seed, run_id, attempt=0):
    """The tick-count seed of a run: SHA-256 of the text "master_seed:run_id" (both in
    decimal), its first eight bytes read as a big-endian number, reduced modulo 2^31.
    When that seed is already taken by an earlier run of the sweep, ":1", ":2", ... is
    appended to the text until the seed is new (attempt counts these)."""
    text = f"{master_seed}:{run_id}" if attempt == 0 else f"{master_seed}:{run_id}:{attempt}"
    digest = hashlib.sha256(text.encode("ascii")).digest()
    return int.from_bytes(digest[:8], "big") % SEED_LIMIT


def sweep_seeds(master_seed, count):
    """Seeds of runs 1 ... count, distinct; the seed of a run depends only on the master seed
    and the seeds of the runs before it, so a longer sweep keeps the seeds of a shorter one.
    Fast enough for the largest plan: a million SHA-256 digests of a few bytes."""
    taken = set()
    seeds = []
    for run_id in range(1, count + 1):
        attempt = 0
        seed = run_seed(master_seed, run_id)
        while seed in taken:
            attempt += 1
            seed = run_seed(master_seed, run_id, attempt)
        taken.add(seed)
        seeds.append(seed)
    return seeds


def plan_seeds(definition, count):
    """The seeds of runs 1 ... count: with a list of seeds, replicate r of every combination
    takes the r-th seed of the list; otherwise they derive from the master seed."""
    if definition.seeds is not None:
        return [definition.seeds[run % definition.replicates] for run in range(count)]
    return sweep_seeds(definition.master_seed, count)


@dataclasses.dataclass(frozen=True)
class PlannedRun:
    run_id: int  # 1-based, the --task number
    replicate: int  # 1-based within its combination of values
    values: dict  # the ten parameters
    seed: int

    def answers(self):
        return answers_file_text(self.values)


def planned_run(definition, run_id, seed):
    """Run run_id of a definition: combinations in the order of the parameters (the first one
    changes slowest, each in the order its list gives), the replicates of one combination one
    after the other."""
    combination, replicate = divmod(run_id - 1, definition.replicates)
    values = {}
    for name in reversed(NAMES):
        choices = definition.values[name]
        combination, position = divmod(combination, len(choices))
        values[name] = choices[position]
    return PlannedRun(run_id, replicate + 1, {name: values[name] for name in NAMES}, seed)


@dataclasses.dataclass
class Plan:
    root: str
    definition: object

    @functools.cached_property
    def runs(self):
        """Every run of the plan, in run_id order."""
        seeds = plan_seeds(self.definition, self.run_count)
        return [planned_run(self.definition, i + 1, seed) for i, seed in enumerate(seeds)]

    @property
    def run_count(self):
        return self.definition.run_count()

    @property
    def width(self):
        return max(4, len(str(self.run_count)))

    def run_folder(self, run):
        return os.path.join(self.root, "runs", f"{run.run_id:0{self.width}d}")

    def run_name(self, run):
        return f"{run.run_id:0{self.width}d}"

    def run(self, run_id):
        """One run, without laying out the others (a Slurm task needs only its own)."""
        if not 1 <= run_id <= self.run_count:
            raise SweepError(f"there is no run {run_id}: the plan in {self.root} has runs "
                             f"1 ... {self.run_count}")
        if "runs" in self.__dict__:
            return self.runs[run_id - 1]
        seed = plan_seeds(self.definition, run_id)[-1]
        return planned_run(self.definition, run_id, seed)


def manifest_text(plan, statuses=None):
    """manifest.csv: one row per run; statuses maps run_id to its status (default pending)."""
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(["run_id", "replicate", *NAMES, "seed", "status"])
    for run in plan.runs:
        status = statuses.get(run.run_id, "pending") if statuses else "pending"
        writer.writerow([run.run_id, run.replicate,
                         *(answer_text(name, run.values[name]) for name in NAMES),
                         run.seed, status])
    return out.getvalue()


# The files of a plan folder that its commands read or keep.
PLAN_FILES = ("plan.json", "sweep.toml", "manifest.csv")


def _setting_text(value):
    return "not given" if value is None else str(value)


def _definition_differences(there, here):
    differences = []
    for name in NAMES:
        a, b = there["parameters"].get(name), here["parameters"][name]
        if a != b:
            differences.append(f"{name} is {a} there and {b} here")
    for key in SETTINGS:
        if there.get(key) != here.get(key):
            differences.append(f"{key} is {_setting_text(there.get(key))} there and "
                               f"{_setting_text(here.get(key))} here")
    return differences


def _read_plan_json(root):
    path = os.path.join(root, "plan.json")
    if not os.path.lexists(path):
        return None
    try:
        data = json.loads(read_bounded(path, "a plan").decode("utf-8"))
    except (ValueError, RecursionError) as error:
        raise SweepError(f"{path} cannot be read as a plan: {error}") from None
    if not isinstance(data, dict) or data.get("format") != PLAN_FORMAT \
            or not isinstance(data.get("definition"), dict):
        raise SweepError(f"{path} is not a plan written by this parasim-sweep")
    return data["definition"]


def _definition_from_json(root, data):
    document = dict(data["parameters"]) if isinstance(data.get("parameters"), dict) else {}
    for key in SETTINGS:
        if key in data:
            document[key] = data[key]
    try:
        return definition_from_document(document)
    except SweepError as error:
        raise SweepError(f"{root}/plan.json is damaged: {error.message}") from None


def load_plan(root):
    """The plan kept in the folder root; its runs follow from the definition."""
    data = _read_plan_json(root)
    if data is None:
        if not os.path.isdir(root):
            raise SweepError(f"{root} does not exist; make it with 'parasim-sweep plan SWEEPFILE {root}'")
        raise SweepError(f"{root} holds no sweep plan (no plan.json); make one with "
                         f"'parasim-sweep plan SWEEPFILE {root}'")
    return Plan(os.path.abspath(root), _definition_from_json(root, data))


def _lay_out(plan, definition_json, sweep_text, building):
    """Writes the plan's files into the folder building: the run folders with their answers,
    the sweep file, the manifest, and plan.json last."""
    staged = Plan(building, plan.definition)
    staged.__dict__["runs"] = plan.runs
    os.makedirs(os.path.join(building, "runs"))
    for run in plan.runs:
        folder = staged.run_folder(run)
        os.mkdir(folder)
        with open(os.path.join(folder, "answers.txt"), "w", encoding="ascii") as stream:
            stream.write(run.answers())
    with open(os.path.join(building, "sweep.toml"), "w", encoding="utf-8") as stream:
        stream.write(sweep_text)
    write_file(os.path.join(building, "manifest.csv"), manifest_text(staged))
    write_file(os.path.join(building, "plan.json"),
               json.dumps({"format": PLAN_FORMAT, "definition": definition_json}, indent=2)
               + "\n")


def make_plan(definition, sweep_text, root):
    """Lays out the plan in root. Returns (plan, created): created is False when root already
    holds this very plan, which is then left as it is. A root that holds a different plan,
    or anything else, is refused."""
    if not root:
        raise SweepError("name a folder for the plan (an empty name was given)")
    here = definition.as_json()
    there = _read_plan_json(root) if os.path.isdir(root) else None
    if there is not None:
        differences = _definition_differences(_definition_from_json(root, there).as_json(), here)
        if differences:
            raise SweepError(f"{root} already holds a different plan: " + "; ".join(differences)
                             + ". Choose another folder, or remove this one to start again.")
        return load_plan(root), False
    if os.path.exists(root) and (not os.path.isdir(root) or os.listdir(root)):
        raise SweepError(f"{root} exists and is not an empty folder; a plan needs a new or "
                         "empty folder")

    plan = Plan(os.path.abspath(root), definition)
    try:
        if os.path.isdir(plan.root):
            # An empty folder that exists (the working folder, say) is filled in place: it may
            # be in use, so it is not replaced. A failure empties it again.
            try:
                _lay_out(plan, here, sweep_text, plan.root)
            except OSError:
                for name in os.listdir(plan.root):
                    path = os.path.join(plan.root, name)
                    shutil.rmtree(path, ignore_errors=True) if os.path.isdir(path) \
                        else os.remove(path)
                raise
            return plan, True
        # Built beside its place and renamed into it, so that an interrupted plan leaves
        # nothing that looks like one.
        os.makedirs(os.path.dirname(plan.root), exist_ok=True)
        building = new_folder_beside(plan.root)
        try:
            _lay_out(plan, here, sweep_text, building)
        except BaseException:
            discard_folder(building)
            raise
        put_folder(building, plan.root)
    except PlacementError as error:
        raise SweepError(f"cannot lay out the plan in {root}: {error}") from None
    except OSError as error:
        raise SweepError(f"cannot lay out the plan in {root}: {error}") from None
    return plan, True
