"""Reading a sweep file: the ten parameters (each a value or a list), and the seeds: a master
seed with a number of replicates, or a list of seeds.

Everything that is wrong with a file is found here, before any folder is made, and reported
with the key it concerns."""

import dataclasses
import difflib
import math
import tomllib

from .errors import SweepError
from .parameters import INT_MAX, INT_MIN, IS_INTEGER, NAMES

# A plan larger than this is almost certainly a mistake in a list, and its folders alone
# would fill a file system's inodes.
MAX_RUNS = 1_000_000
MAX_SEED = 2**63 - 1
MAX_RUN_SEED = 2**31 - 1  # parasim --seed takes tick counts 0 ... 2147483647
# Sweep files and plans are small; anything larger is not one (or is /dev/zero).
MAX_FILE_BYTES = 64 * 2**20

SEEDS_SHOWN = 10  # a long list of seeds is named by its first ones

SETTINGS = ("replicates", "master_seed", "seeds", "checkpoint_every", "genetics_every")
KNOWN_KEYS = NAMES + SETTINGS


@dataclasses.dataclass(frozen=True)
class SweepDefinition:
    """What a sweep file asks for, with every value checked and in its parasim type."""

    values: dict  # name -> tuple of values, in the order the file lists them
    replicates: int  # runs per combination: one per seed of `seeds`, when it is given
    master_seed: int | None  # the seeds of the runs derive from it; None with `seeds`
    seeds: tuple | None  # the seed of each replicate, in the order listed; None: derived
    checkpoint_every: int  # generations between checkpoints of a run; 0: none
    # parasim --genetics-every: the generations between the samples of the history's genetics
    # tables (divergence and mating groups); 0: none
    genetics_every: int = 0

    def point_count(self):
        count = 1
        for name in NAMES:
            count *= len(self.values[name])
        return count

    def run_count(self):
        return self.point_count() * self.replicates

    def replicates_text(self):
        """How each combination is repeated, for what the commands and the page say."""
        if self.seeds is not None:
            shown = ", ".join(str(seed) for seed in self.seeds[:SEEDS_SHOWN])
            more = ", ..." if len(self.seeds) > SEEDS_SHOWN else ""
            return f"{self.replicates} seeds ({shown}{more})"
        return f"{self.replicates} replicates (master seed {self.master_seed})"

    def as_json(self):
        """The definition as plain JSON data: what a plan folder keeps and compares, with the
        seeds in the form the sweep file gave them."""
        seeding = ({"seeds": list(self.seeds)} if self.seeds is not None
                   else {"replicates": self.replicates, "master_seed": self.master_seed})
        # genetics_every only when given, so the plans made before it compare the same.
        genetics = {"genetics_every": self.genetics_every} if self.genetics_every else {}
        return {"parameters": {name: list(self.values[name]) for name in NAMES}, **seeding,
                "checkpoint_every": self.checkpoint_every, **genetics}


def _is_whole(value):
    return isinstance(value, int) and not isinstance(value, bool)


def _kind(value):
    if isinstance(value, bool):
        return f"the boolean {str(value).lower()}"
    if isinstance(value, str):
        return f"the string {value!r}"
    if isinstance(value, float):
        return f"the real number {value!r}"
    if isinstance(value, int):
        return f"the whole number {value}"
    if isinstance(value, dict):
        return "a table"
    if isinstance(value, list):
        return "a list"
    return f"a {type(value).__name__}"


def _parameter_value(name, value, where):
    if IS_INTEGER[name]:
        if not _is_whole(value):
            raise SweepError(f"{where}: {name} takes whole numbers, not {_kind(value)}")
        if not INT_MIN <= value <= INT_MAX:
            raise SweepError(
                f"{where}: {name} = {value} is outside what parasim reads "
                f"({INT_MIN} ... {INT_MAX})")
        return value
    if isinstance(value, float):
        if not math.isfinite(value):
            raise SweepError(f"{where}: {name} must be a finite number, not {value!r}")
        return value
    if _is_whole(value):
        return float(value)
    raise SweepError(f"{where}: {name} takes numbers, not {_kind(value)}")


# The same refusals parasim makes of a world it cannot build: better said once, at planning,
# than as a failure of every run that uses the value.
def _check_world(name, value, where):
    least = {"genome_size": 0, "host_count": 1, "carrying_capacity": 1}.get(name)
    if least is not None and value < least:
        raise SweepError(f"{where}: {name} must be at least {least} for parasim to run, not {value}")


def _parameter_values(name, raw):
    if isinstance(raw, list):
        if not raw:
            raise SweepError(f"{name}: the list is empty; give at least one value")
        values = []
        seen = set()  # a set, so that long lists are checked in linear time
        for position, item in enumerate(raw, start=1):
            where = f"{name}, value {position} of the list"
            if isinstance(item, (list, dict)):
                raise SweepError(f"{where}: lists of lists are not a sweep; give plain numbers")
            value = _parameter_value(name, item, where)
            _check_world(name, value, where)
            if value in seen:
                raise SweepError(f"{where}: {value!r} is listed twice")
            seen.add(value)
            values.append(value)
        return tuple(values)
    value = _parameter_value(name, raw, name)
    _check_world(name, value, name)
    return (value,)


def _setting(document, key, least, default):
    if key not in document:
        return default
    value = document[key]
    if not _is_whole(value):
        raise SweepError(f"{key} takes a whole number, not {_kind(value)}")
    if value < least:
        raise SweepError(f"{key} must be at least {least}, not {value}")
    if value > MAX_SEED:
        raise SweepError(f"{key} must be at most {MAX_SEED}, not {value}")
    return value


def _seed_list(document):
    """The list of seeds, each run once with every combination; refused beside master_seed or
    replicates, which derive the seeds instead."""
    both = [key for key in ("master_seed", "replicates") if key in document]
    if both:
        raise SweepError(f"seeds and {' and '.join(both)} are two ways to give the seeds; "
                         "give either the list of seeds or master_seed (with replicates)")
    raw = document["seeds"]
    if not isinstance(raw, list):
        raise SweepError(f"seeds takes a list of whole numbers such as [1, 2, 3], not "
                         f"{_kind(raw)}")
    if not raw:
        raise SweepError("seeds: the list is empty; give at least one seed")
    seen = {}
    for position, seed in enumerate(raw, start=1):
        where = f"seeds, value {position} of the list"
        if not _is_whole(seed):
            raise SweepError(f"{where}: a seed is a whole number, not {_kind(seed)}")
        if not 0 <= seed <= MAX_RUN_SEED:
            raise SweepError(f"{where}: {seed} is outside the seeds parasim takes "
                             f"(0 ... {MAX_RUN_SEED})")
        if seed in seen:
            raise SweepError(f"{where}: {seed} is listed twice (first as value {seen[seed]}); "
                             "a seed run twice with the same answers gives the same run")
        seen[seed] = position
    return tuple(raw)


def definition_from_document(document):
    """Checks a parsed TOML document and returns its SweepDefinition."""
    for key, value in document.items():
        if key not in KNOWN_KEYS:
            hint = difflib.get_close_matches(key, KNOWN_KEYS, n=1)
            extra = f" (did you mean {hint[0]}?)" if hint else ""
            if isinstance(value, dict):
                extra += "; the parameters go at the top of the file, not in a [table]"
            raise SweepError(f"unknown key {key!r} in the sweep file{extra}")
    missing = [name for name in NAMES if name not in document]
    if missing:
        raise SweepError("the sweep file gives no value for " + ", ".join(missing)
                         + " (all ten parameters are needed)")
    values = {name: _parameter_values(name, document[name]) for name in NAMES}
    seeds = _seed_list(document) if "seeds" in document else None
    if seeds is None and "master_seed" not in document:
        raise SweepError("the sweep file gives no seeds; add a list such as 'seeds = [1, 2, 3]' "
                         "or a master seed such as 'master_seed = 1'")
    definition = SweepDefinition(
        values=values,
        replicates=len(seeds) if seeds else _setting(document, "replicates", 1, 1),
        master_seed=None if seeds else _setting(document, "master_seed", 0, None),
        seeds=seeds,
        checkpoint_every=_setting(document, "checkpoint_every", 0, 0),
        genetics_every=_setting(document, "genetics_every", 0, 0),
    )
    for key in ("checkpoint_every", "genetics_every"):
        if getattr(definition, key) > INT_MAX:
            raise SweepError(f"{key} must be at most {INT_MAX}")
    if definition.run_count() > MAX_RUNS:
        raise SweepError(
            f"the sweep file asks for {definition.run_count()} runs "
            f"({definition.point_count()} combinations x {definition.replicates} "
            f"{'seeds' if seeds else 'replicates'}); "
            f"more than {MAX_RUNS} is refused")
    return definition


def read_bounded(path, what):
    """The bytes of a file of at most MAX_FILE_BYTES; SweepError for a larger one."""
    try:
        with open(path, "rb") as stream:
            raw = stream.read(MAX_FILE_BYTES + 1)
    except OSError as error:
        raise SweepError(f"cannot read {what} {path}: {error.strerror}") from None
    if len(raw) > MAX_FILE_BYTES:
        raise SweepError(f"{path} is larger than {MAX_FILE_BYTES // 2**20} MiB: not {what}")
    return raw


def read_sweep_file(path):
    """Reads and checks the sweep file at path; returns its definition and its text."""
    raw = read_bounded(path, "the sweep file")
    try:
        text = raw.decode("utf-8")
        document = tomllib.loads(text)
    except UnicodeDecodeError as error:
        line = raw[:error.start].count(b"\n") + 1
        raise SweepError(f"{path}:{line}: not UTF-8 text") from None
    except tomllib.TOMLDecodeError as error:
        raise SweepError(f"{path} is not valid TOML: {error}") from None
    except RecursionError:
        raise SweepError(f"{path} nests its values too deeply to be a sweep file") from None
    try:
        return definition_from_document(document), text
    except SweepError as error:
        raise SweepError(f"{path}: {error.message}") from None
