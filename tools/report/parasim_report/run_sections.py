"""The sections of a run's page that tell of the run itself: its answers, seed and outcome from
the run record, and what it came to from the results file and the species history.

The population at the end is counted at two moments, and the page names each as runs.csv does,
with its moment beside it and in its tooltip: `final_population`, the survivors after the last
generation (the record's), and `last_generation_population`, the parasites at the start of the
last generation after its labelling (the history's, which is also what the last generation's
report lists); the survival of that generation lies between them.
"""

import json

from . import columns
from .exit_statuses import PARASIM_DONE
from .page_shell import escape
from .run_record import ANSWERS


def answer_text(value):
    """An answer as the record holds it; reals in the shortest form that reads back the same
    (the record writes 0.1 as 0.10000000000000001)."""
    return repr(value) if isinstance(value, float) else str(value)


def table(rows, header=None, cls=None):
    """An HTML table of rows of cells already escaped."""
    out = [f'<table class="{cls}">' if cls else "<table>"]
    if header:
        out.append("<thead><tr>" + "".join(f"<th>{cell}</th>" for cell in header)
                   + "</tr></thead>")
    out.append("<tbody>")
    out += ["<tr>" + "".join(f"<td>{cell}</td>" for cell in row) + "</tr>" for row in rows]
    out.append("</tbody></table>")
    return "".join(out)


def moment(name, generation):
    """When a count of the population is taken, in words."""
    if name == columns.FINAL_POPULATION:
        return f"survivors after generation {generation}"
    return f"at the start of generation {generation}, after its labelling"


def count_label(name, generation):
    """The name of a count of the population at the end as runs.csv has it, its moment beside
    it, and the whole description in its tooltip."""
    title = f"{name}: {columns.COUNT_MOMENTS[name]}"
    if generation is not None:
        title += f" (generation {generation})"
    shown = name if generation is None else f"{name} ({moment(name, generation)})"
    return f'<span class="count" title="{escape(title)}">{escape(shown)}</span>'


def outcome_rows(record):
    """(what, value) rows of the record's seed and outcome, escaped."""
    outcome = []
    seed = record.get("tick_count")
    if seed is not None:
        source = {"option": "given with --seed", "clock": "from the clock"}.get(
            record.get("seed_source"), record.get("seed_source", ""))
        outcome.append(("seed", f"{escape(seed)} ({escape(source)})"))
    run = record.get("generations_run")
    if run is not None:
        ended = ("the population died out" if record.get("died_out")
                 else "every generation asked for was run")
        outcome.append(("generations run", f"{escape(run)} ({ended})"))
    for name in (columns.FINAL_POPULATION, columns.LAST_GENERATION_POPULATION):
        if record.get(name) is not None:
            outcome.append((count_label(name, run), escape(record[name])))
    if record.get("final_species") is not None:
        outcome.append(("species at the end", escape(record["final_species"])))
    status = record.get("exit_status")
    if status is not None:
        text = (f"{status} (completed)" if status == PARASIM_DONE
                else f"{status}: {record.get('error') or ''}")
        outcome.append(("exit status", escape(text)))
    for key, what in (("start_time", "started"), ("end_time", "ended"),
                      ("wall_seconds", "seconds"), ("version", "parasim version")):
        if record.get(key) is not None:
            value = record[key]
            outcome.append((what, escape(f"{value:.2f}" if isinstance(value, float) else value)))
    return outcome + [(escape(name.replace("_", " ")), escape(value))
                      for name, value in record.get("derived", {}).items()]


def run_section(record, record_name):
    """The ten answers, the seed and the outcome, from the record; or what is not known."""
    if record is None:
        return ('<section id="run"><h2>The run</h2><p class="unknown"><strong>Answers and seed '
                "not known.</strong> The results file and the history do not hold the ten "
                "answers or the seed of the run. Run parasim with <code>--record FILE</code> "
                "and give that record to parasim-report with <code>--record FILE</code> to show "
                "them here.</p></section>")
    parameters = record["parameters"]
    answers = table([(escape(question), escape(answer_text(parameters[name])))
                     for name, question in ANSWERS], ["answer", "value"], "answers")
    return ('<section id="run"><h2>The run</h2><div class="columns">'
            f"<div><h3>The ten answers</h3>{answers}</div>"
            f'<div><h3>Seed and outcome</h3>{table(outcome_rows(record), None, "outcome")}'
            f"</div></div><details><summary>The run record ({escape(record_name)})</summary>"
            f"<pre>{escape(json.dumps(record, indent=2))}</pre></details></section>")


def came_to_section(results, results_name, summary, history_name):
    items = []
    if results is not None:
        if len(results.generation):
            last = results.generation[-1]
            items.append(
                f"{escape(results_name)} reports {len(results.generation)} generations, from "
                f"{results.generation[0]} to {last}; at the start of generation {last}: "
                f"{results.population[-1]} parasites of {results.species_count[-1]} species.")
        else:
            items.append(f"{escape(results_name)} reports no generation.")
    if summary is not None:
        first_split = (f"generation {summary['first_split_generation']}"
                       if summary["first_split_generation"] is not None else "none")
        lifetime = (f"{summary['mean_extinct_lifetime']:.1f} generations"
                    if summary["mean_extinct_lifetime"] is not None else "none died out")
        shape = ""
        if summary["colless_index"] is not None:
            gamma = f"{summary['gamma']:.4f}" if summary["gamma"] is not None else "undefined"
            shape = (f"; tree of the extant species: {summary['extant_tree_tips']} tips, "
                     f"Colless index {summary['colless_index']} (normalised "
                     f"{summary['colless_normalised']:.4f}), gamma {gamma}")
        label = count_label(columns.LAST_GENERATION_POPULATION, summary["last_generation"])
        items.append(
            f"The species history ({escape(history_name)}) covers generations "
            f"{summary['first_generation']} to {summary['last_generation']}: "
            f"{summary['species_total']} species in all, {summary['speciation_events']} "
            f"speciation events, {summary['extinctions']} extinctions; first split: "
            f"{first_split}; mean lifetime of extinct species: {lifetime}; "
            f"{summary['species_at_end']} species alive at the end "
            f"({summary['species_at_end_min_size']} with at least {summary['min_size']} "
            f"parasites); {label}: {summary['population_at_end']} parasites on "
            f"{summary['hosts_occupied_at_end']} hosts{shape}.")
    return ('<section id="outcome"><h2>What the run came to</h2><ul>'
            + "".join(f"<li>{item}</li>" for item in items) + "</ul></section>")
