"""The run record of parasim --record, as the page shows it: read, and checked against the
tables of the same run where the record can tell."""

import json

from .exit_statuses import PARASIM_DONE

ANSWERS = (
    ("genome_size", "Genome size (loci)"),
    ("max_differentiation", "Maximum genetic differentiation for mate recognition"),
    ("mutation_rate", "Mutation rate (per locus)"),
    ("max_offspring", "Maximum number of offspring per parent"),
    ("dispersal_prob", "Dispersal probability"),
    ("host_count", "Number of hosts"),
    ("host_distance", "Distance between hosts (standard deviation units)"),
    ("carrying_capacity", "Carrying capacity"),
    ("survival_sd", "Standard deviation of the survival function"),
    ("generations", "Generations asked for"),
)


class RecordError(Exception):
    """A run record that is not one parasim writes, or not of the run the tables show."""


def load_record(path):
    try:
        with open(path, encoding="utf-8") as stream:
            record = json.load(stream)
    except (ValueError, UnicodeDecodeError) as error:
        raise RecordError(f"{path}: not a run record of parasim (not JSON: {error})") from None
    parameters = record.get("parameters") if isinstance(record, dict) else None
    if not isinstance(parameters, dict) or any(name not in parameters for name, _ in ANSWERS):
        raise RecordError(f"{path}: not a run record of parasim (no parameters with the ten "
                          "answers)")
    if not isinstance(record.get("derived", {}), dict):
        raise RecordError(f"{path}: not a run record of parasim (derived is not an object)")
    return record


def last_report(generations_run, interval):
    """The last generation a run of that many generations reports (1 and every interval-th),
    or None for a run of no generation."""
    if generations_run < 1:
        return None
    return max(1, generations_run - generations_run % interval)


def check_record_against(record, path, results, history):
    """Refuses a record of another run than the tables', where the record can tell."""
    run = record.get("generations_run")
    if not isinstance(run, int) or record.get("exit_status") != PARASIM_DONE:
        return
    if results is not None and len(results.generation):
        last = int(results.generation[-1])
        interval = record.get("derived", {}).get("report_interval")
        if not isinstance(interval, int) or interval < 1:
            interval = 10  # every run reports every tenth generation
        expected = last_report(run, interval)
        died_out = record.get("died_out") is True
        if last > run or (not died_out and last != expected):
            raise RecordError(
                f"{path}: the record is of a run of {run} generations, whose last report is "
                f"not generation {last} of the results file: are they of the same run?")
    if history is not None and len(history.generation) and int(history.generation[-1]) > run:
        raise RecordError(
            f"{path}: the record is of a run of {run} generations, but the history goes on to "
            f"generation {int(history.generation[-1])}: are they of the same run?")
