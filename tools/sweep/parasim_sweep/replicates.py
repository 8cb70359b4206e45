"""The runs of runs.csv grouped for a figure or a chart against one swept answer: the values of
the answer evenly spaced, each combination of the other swept answers a series set a little
apart, the replicates of one combination (the runs that share every answer) side by side with
their mean and standard deviation. The sweep's figures (plot) and its page (page) both draw
this grouping."""

import statistics
from dataclasses import dataclass

from .parameters import NAMES, answer_text

SERIES_WIDTH = 0.6  # the share of the space between two values that the series spread over


@dataclass
class Replicates:
    """The runs of one series at one value of the answer, that have the statistic."""

    x: float  # where their mean is drawn
    points: list  # (x, value, row) of each run, set side by side over half the series' share
    mean: float
    spread: float  # standard deviation, divisor n


@dataclass
class Series:
    number: int  # 1, 2, ... in the order of the other answers' values
    label: str  # "name=value, ..." of the other swept answers, or "runs"
    groups: list  # Replicates, one per value of the answer with runs


def swept_answers(plan):
    """The answers with more than one value, in the order asked."""
    return [name for name in NAMES if len(plan.definition.values[name]) > 1]


def answer_ticks(rows, answer):
    """The texts of the answer's values, increasing (one empty tick when answer is None)."""
    if answer is None:
        return [""]
    return [answer_text(answer, value) for value in sorted({row[answer] for row in rows})]


def group_runs(rows, swept, answer, statistic):
    """The series of one statistic against answer (None: all runs in one column)."""
    others = [name for name in swept if name != answer]
    values = sorted({row[answer] for row in rows}) if answer else [None]
    keys = sorted({tuple(row[name] for name in others) for row in rows})
    step = SERIES_WIDTH / max(1, len(keys))
    series = []
    for number, key in enumerate(keys, start=1):
        shift = (number - 1 - (len(keys) - 1) / 2) * step
        label = ", ".join(f"{name}={answer_text(name, value)}"
                          for name, value in zip(others, key)) or "runs"
        groups = []
        for place, value in enumerate(values):
            chosen = [row for row in rows
                      if (answer is None or row[answer] == value)
                      and tuple(row[name] for name in others) == key
                      and row[statistic] is not None]
            if not chosen:
                continue
            x = place + shift
            found = [row[statistic] for row in chosen]
            points = [(x + step * 0.5 * ((i + 0.5) / len(chosen) - 0.5), found[i], row)
                      for i, row in enumerate(chosen)]
            groups.append(Replicates(x, points, statistics.fmean(found),
                                     statistics.pstdev(found)))
        series.append(Series(number, label, groups))
    return series
