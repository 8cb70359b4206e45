"""parasim-sweep: replicates and parameter sweeps of parasim runs, on one machine or many.

    parasim-sweep plan SWEEPFILE DIR      lay out every run of a sweep file in DIR
    parasim-sweep run DIR [--jobs N]      run what is not done yet (again after a kill)
    parasim-sweep run DIR --task I        run exactly run I (a Slurm array task)
    parasim-sweep commands DIR            one command per run not done, for GNU parallel
    parasim-sweep status DIR              how many runs are done, failed, running, pending
    parasim-sweep collect DIR             tables of the completed runs: every generation
                                          (collected.csv) and one row per run (runs.csv)
    parasim-sweep plot DIR                what the runs came to against each swept answer
    parasim-sweep report DIR              the same on one web page, with a page per run
                                          (collecting first when runs.csv is behind)
"""

import argparse
import os
import shlex
import signal
import sys

from parasim_report.exit_statuses import (SWEEP_BAD_INPUT, SWEEP_OK, SWEEP_RUNS_FAILED,
                                          stopped_by)
from parasim_report.placement import PlacementError, write_file

from . import collect as collecting
from . import page as pages
from . import plot as plotting
from . import run_state
from .errors import SweepError
from .plan import load_plan, make_plan, manifest_text
from .programs import Programs, sweep_command, tool_folder
from .progress import Progress
from .runner import Executor, run_all
from .sweep_file import read_sweep_file


def say(text):
    print(f"parasim-sweep: {text}", file=sys.stderr, flush=True)


def refresh_manifest(plan, statuses=None):
    """The manifest's status column is a snapshot: the markers in the run folders decide."""
    statuses = statuses or run_state.plan_statuses(plan)
    try:
        write_file(os.path.join(plan.root, "manifest.csv"), manifest_text(plan, statuses))
    except (OSError, PlacementError) as error:
        say(f"could not bring manifest.csv up to date: {error}")
    return statuses


def command_plan(arguments):
    definition, sweep_text = read_sweep_file(arguments.sweep_file)
    plan, created = make_plan(definition, sweep_text, arguments.dir)
    if created:
        print(f"Planned {len(plan.runs)} runs ({definition.point_count()} combinations x "
              f"{definition.replicates_text()}) in {plan.root}")
    else:
        print(f"{plan.root} already holds this plan ({len(plan.runs)} runs); nothing changed")
    return SWEEP_OK


class Interruption:
    """Turns SIGINT and SIGTERM into a stop of the executor's runs, which stay pending."""

    def __init__(self, executor):
        self.executor = executor
        self.signum = None

    def __enter__(self):
        self.previous = {s: signal.signal(s, self._stop) for s in (signal.SIGINT, signal.SIGTERM)}
        return self

    def _stop(self, signum, _frame):
        if self.signum is None:
            self.signum = signum
            self.executor.stop(signal.SIGTERM)

    def __exit__(self, *_):
        for number, handler in self.previous.items():
            signal.signal(number, handler)
        return False


def run_one(plan, executor, run_id):
    run = plan.run(run_id)
    name = plan.run_name(run)
    with Interruption(executor) as interruption:
        outcome = executor.execute(run)
    if interruption.signum is not None and outcome.result != "done":
        say(f"run {name} stopped by {signal.Signals(interruption.signum).name}; it stays pending")
        return stopped_by(interruption.signum)
    if outcome.result == "done":
        say(f"run {name} done (seed {run.seed}, {outcome.seconds:.1f} s)")
        return SWEEP_OK
    if outcome.result == "already-done":
        say(f"run {name} was already done")
        return SWEEP_OK
    if outcome.result == "busy":
        say(f"run {name} is being run by another process; left to it")
        return SWEEP_RUNS_FAILED
    say(f"run {name} failed: {outcome.detail}; see {plan.run_folder(run)}/{run_state.STDERR}")
    return SWEEP_RUNS_FAILED


def run_many(plan, executor, jobs):
    todo = [run for run in plan.runs if not run_state.is_done(plan.run_folder(run), run)]
    total = len(plan.runs)
    if not todo:
        refresh_manifest(plan)
        say(f"all {total} runs are done")
        return SWEEP_OK
    progress = Progress(sys.stderr, total, total - len(todo))
    progress.show("starting")

    def on_outcome(outcome):
        name = plan.run_name(outcome.run)
        if outcome.result in ("done", "already-done"):
            progress.run_finished(True, f"run {name} done")
        elif outcome.result == "failed":
            progress.run_finished(False, f"run {name} failed: {outcome.detail}")

    with Interruption(executor) as interruption:
        outcomes = run_all(executor, todo, jobs, on_outcome)
    progress.close()
    refresh_manifest(plan)
    failed = [o for o in outcomes if o.result == "failed"]
    busy = [o for o in outcomes if o.result == "busy"]
    for outcome in failed:
        say(f"run {plan.run_name(outcome.run)} failed: {outcome.detail}; see "
            f"{plan.run_folder(outcome.run)}/{run_state.STDERR}")
    if busy:
        say(f"{len(busy)} runs are being run by another process and were left to it: "
            + " ".join(plan.run_name(o.run) for o in busy))
    if interruption.signum is not None:
        say(f"stopped by {signal.Signals(interruption.signum).name}; {progress.done} of {total} "
            "runs are done, the others stay pending: run the same command again to go on")
        return stopped_by(interruption.signum)
    say(f"{progress.done} of {total} runs done, {len(failed)} failed")
    return SWEEP_RUNS_FAILED if failed else SWEEP_OK


def command_run(arguments):
    plan = load_plan(arguments.dir)
    programs = Programs(tool_folder(), parasim=arguments.parasim)
    programs.parasim()
    executor = Executor(plan, programs)
    for note in executor.notes:
        say(note)
    if arguments.task is not None:
        return run_one(plan, executor, arguments.task)
    return run_many(plan, executor, arguments.jobs)


def command_commands(arguments):
    plan = load_plan(arguments.dir)
    programs = Programs(tool_folder(), parasim=arguments.parasim)
    tool = sweep_command()
    extra = ["--parasim", programs.parasim()] if programs.parasim_was_named() else []
    for run in plan.runs:
        if not run_state.is_done(plan.run_folder(run), run):
            print(shlex.join(tool + ["run", plan.root, "--task", str(run.run_id)] + extra))
    return SWEEP_OK


def array_ranges(numbers):
    """1,2,3,5,7,8 -> '1-3,5,7-8', the form of sbatch --array."""
    parts = []
    numbers = sorted(numbers)
    index = 0
    while index < len(numbers):
        end = index
        while end + 1 < len(numbers) and numbers[end + 1] == numbers[end] + 1:
            end += 1
        parts.append(str(numbers[index]) if end == index
                     else f"{numbers[index]}-{numbers[end]}")
        index = end + 1
    return ",".join(parts)


def command_status(arguments):
    plan = load_plan(arguments.dir)
    statuses = refresh_manifest(plan)
    if arguments.array:
        waiting = [i for i, status in statuses.items() if status in ("pending", "failed")]
        if not waiting:
            say("no run is left to do")
            return SWEEP_RUNS_FAILED
        print(array_ranges(waiting))
        return SWEEP_OK
    counts = {name: 0 for name in ("done", "failed", "running", "pending")}
    for status in statuses.values():
        counts[status] += 1
    print(f"runs     {len(plan.runs)}")
    for name, count in counts.items():
        print(f"{name:<8} {count}")
    for run in plan.runs:
        if statuses[run.run_id] == "failed":
            marker = run_state.read_marker(plan.run_folder(run), run_state.FAILED) or {}
            print(f"failed run {plan.run_name(run)}: {marker.get('reason', 'unknown reason')}")
    return SWEEP_OK


def collect_runs(plan, programs, output, min_size):
    """Collects the done runs and says what was left out; returns the Collected."""
    result = collecting.collect(plan, programs, output, min_size)
    for run, problem in result.problems:
        say(f"run {plan.run_name(run)} left out: {problem}")
    if result.runs == 0:
        say(f"nothing to collect: no completed run could be read ({result.incomplete} of "
            f"{len(plan.runs)} runs are not done)")
        return result
    print(f"Collected {result.rows} rows from {result.runs} runs into {os.path.abspath(output)}")
    print(f"One row per run in {result.runs_path}")
    if result.incomplete:
        say(f"{result.incomplete} runs are not done and were left out")
    return result


def default_collected(plan):
    return os.path.join(plan.root, "collected.csv")


def command_collect(arguments):
    plan = load_plan(arguments.dir)
    programs = Programs(tool_folder(), report=arguments.report)
    programs.report()
    result = collect_runs(plan, programs, arguments.output or default_collected(plan),
                          arguments.min_size)
    # As in status: a sweep with runs failed or not done is not all well.
    return (SWEEP_RUNS_FAILED if result.runs == 0 or result.problems or result.incomplete
            else SWEEP_OK)


def command_plot(arguments):
    plan = load_plan(arguments.dir)
    out = arguments.out or os.path.join(plan.root, plotting.PLOTS_FOLDER)
    stems = plotting.plot(plan, out)
    print(f"Drew {', '.join(stems)} (.png and .svg) into {os.path.abspath(out)}")
    return SWEEP_OK


def command_report(arguments):
    plan = load_plan(arguments.dir)
    programs = Programs(tool_folder(), report=arguments.report)
    programs.report()
    left_out = []
    behind = collecting.runs_table_behind(plan)
    if behind:
        # The page shows runs.csv: made first, with the minimum size of the last collect.
        say(f"{behind}: collecting first")
        collected = collect_runs(plan, programs, default_collected(plan),
                                 collecting.kept_min_size(plan))
        if collected.runs == 0:
            return SWEEP_RUNS_FAILED
        left_out = collected.problems
    made = pages.report(plan, programs, arguments.out)
    for run, problem in made.problems:
        say(f"run {run} has no page: {problem}")
    print(f"The sweep's page, {made.runs} runs: {os.path.abspath(made.page)}")
    return SWEEP_RUNS_FAILED if made.problems or left_out else SWEEP_OK


def positive(text):
    try:
        value = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"needs a whole number, not {text!r}") from None
    if value < 1:
        raise argparse.ArgumentTypeError(f"needs a number of at least 1, not {value}")
    return value


def parser():
    top = argparse.ArgumentParser(
        prog="parasim-sweep", description=__doc__.split("\n\n")[0],
        epilog=f"Exit status: {SWEEP_OK} all well, {SWEEP_RUNS_FAILED} some run failed or was "
               f"not done, {SWEEP_BAD_INPUT} bad input (command line, sweep file, plan folder, "
               "programs). See docs/many-runs.md.")
    commands = top.add_subparsers(dest="command", required=True, metavar="COMMAND")

    plan = commands.add_parser("plan", help="lay out the runs of a sweep file in DIR")
    plan.add_argument("sweep_file", metavar="SWEEPFILE")
    plan.add_argument("dir", metavar="DIR")
    plan.set_defaults(handler=command_plan)

    run = commands.add_parser("run", help="run the runs of DIR that are not done")
    run.add_argument("dir", metavar="DIR")
    run.add_argument("--jobs", "-j", type=positive, default=os.cpu_count() or 1,
                     help="runs at once (default: the number of processors)")
    run.add_argument("--task", type=positive, metavar="I",
                     help="run exactly run I (1-based), as a Slurm array task does")
    run.add_argument("--parasim", metavar="PATH", help="the parasim program to run")
    run.set_defaults(handler=command_run)

    listing = commands.add_parser("commands", help="print one command per run not done")
    listing.add_argument("dir", metavar="DIR")
    listing.add_argument("--parasim", metavar="PATH", help="passed on to every command")
    listing.set_defaults(handler=command_commands)

    status = commands.add_parser("status", help="count the runs by state")
    status.add_argument("dir", metavar="DIR")
    status.add_argument("--array", action="store_true",
                        help="print the runs still to do as an sbatch --array list")
    status.set_defaults(handler=command_status)

    gather = commands.add_parser("collect", help="merge the results of completed runs")
    gather.add_argument("dir", metavar="DIR")
    gather.add_argument("--output", "-o", metavar="FILE",
                        help="the merged table (default: DIR/collected.csv)")
    gather.add_argument("--report", metavar="PATH", help="the parasim-report program")
    gather.add_argument("--min-size", type=positive, default=collecting.DEFAULT_MIN_SIZE,
                        metavar="N", help="runs.csv also counts the species with at least N "
                        f"parasites at the end (default {collecting.DEFAULT_MIN_SIZE})")
    gather.set_defaults(handler=command_collect)

    drawing = commands.add_parser("plot", help="draw each column of runs.csv against each "
                                  "swept answer")
    drawing.add_argument("dir", metavar="DIR")
    drawing.add_argument("--out", metavar="FOLDER",
                         help=f"folder for the figures (default: DIR/{plotting.PLOTS_FOLDER})")
    drawing.set_defaults(handler=command_plot)

    page = commands.add_parser("report", help="one web page of the sweep (runs.csv against each "
                               "swept answer, a table of the runs), each run linking to a page "
                               "of its own")
    page.add_argument("dir", metavar="DIR")
    page.add_argument("--out", metavar="FILE",
                      help=f"the sweep's page (default: DIR/{pages.PAGE})")
    page.add_argument("--report", metavar="PATH", help="the parasim-report program")
    page.set_defaults(handler=command_report)
    return top


class StandardOutputFailed(Exception):
    """Standard output could not take what was written to it (a full disk, say)."""


class StandardOutput:
    """sys.stdout, with its failures told apart from those of the sweep's own files."""

    def __init__(self, stream):
        self.stream = stream

    def _guarded(self, action, *arguments):
        try:
            return action(*arguments)
        except BrokenPipeError:
            raise
        except OSError as error:
            raise StandardOutputFailed(error.strerror) from None

    def write(self, text):
        return self._guarded(self.stream.write, text)

    def flush(self):
        return self._guarded(self.stream.flush)

    def __getattr__(self, name):
        return getattr(self.stream, name)


def main(argv=None):
    arguments = parser().parse_args(argv)
    sys.stdout = StandardOutput(sys.stdout)
    try:
        status = arguments.handler(arguments)
        sys.stdout.flush()
        return status
    except StandardOutputFailed as failure:
        # A listing or table that could not be written is a failed command, not a success.
        # Standard output is dropped, so that Python does not try again at exit.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.__stdout__.fileno())
        say(f"error: cannot write standard output: {failure}")
        return SWEEP_BAD_INPUT
    except SweepError as error:
        say(f"error: {error.message}")
        return error.status
    except BrokenPipeError:
        # The reader went away (a listing piped into head): not an error of the sweep.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.__stdout__.fileno())
        return SWEEP_OK
    except OSError as error:
        say(f"error: {error.filename + ': ' if error.filename else ''}{error.strerror}")
        return SWEEP_BAD_INPUT
