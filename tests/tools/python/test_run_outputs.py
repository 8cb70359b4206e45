"""What a simulation writes besides its results file, against the console program with the same
answers and seed: the species history written as the run goes (byte for byte the folder of
parasim --history), the run record (the fields of parasim --record), and the answers read from
texts (the values the dialogue reads, or its words for why not)."""

import json

import numpy
import pytest

import parasim
from conftest import EXAMPLE, answers_text, scenario

HISTORY_FILES = ("species.csv", "abundance.csv", "run.json")
# The record's fields that say when the run happened, not what it was.
TIMES = ("start_time", "end_time", "wall_seconds")


@pytest.mark.parametrize("name", ["example", "dies_out", "no_generations"])
def test_history_and_record_are_the_console_programs(console, tmp_path, name):
    parameters, seed = scenario(name)
    done = console.run(tmp_path / "console", parameters, "--history", "history", "--record",
                       "record.json", seed=seed)
    assert done.returncode == 0, done.stderr
    sim = parasim.Simulation(parameters, seed=seed, results_path=tmp_path / "Output.dat",
                             history_path=tmp_path / "history")
    sim.run()
    sim.write_record(tmp_path / "record.json")
    for file in HISTORY_FILES:
        assert ((tmp_path / "history" / file).read_bytes()
                == (tmp_path / "console" / "history" / file).read_bytes()), file
    assert ((tmp_path / "Output.dat").read_bytes()
            == (tmp_path / "console" / "Output.dat").read_bytes())
    ours = json.loads((tmp_path / "record.json").read_text())
    theirs = json.loads((tmp_path / "console" / "record.json").read_text())
    for record in (ours, theirs):
        for field in TIMES:
            del record[field]
    assert ours == theirs


def test_the_record_tells_its_times_and_where_the_seed_came_from(tmp_path):
    parameters, seed = scenario("small_world")
    sim = parasim.Simulation(parameters, seed=seed)
    sim.run(4)
    sim.write_record(tmp_path / "given.json", started=0.0, ended=90.5)
    given = json.loads((tmp_path / "given.json").read_text())
    assert (given["seed_source"], given["start_time"], given["end_time"], given["wall_seconds"],
            given["generations_run"]) == ("option", "1970-01-01T00:00:00Z",
                                          "1970-01-01T00:01:30Z", 90.5, 4)
    restored = parasim.Simulation.from_checkpoint(sim.checkpoint())
    restored.write_record(tmp_path / "restored.json")
    assert json.loads((tmp_path / "restored.json").read_text())["seed_source"] == "checkpoint"
    parasim.Simulation(parameters).write_record(tmp_path / "clock.json")
    assert json.loads((tmp_path / "clock.json").read_text())["seed_source"] == "clock"
    with pytest.raises(ValueError, match="finite"):
        sim.write_record(tmp_path / "never.json", started=float("nan"))
    assert not (tmp_path / "never.json").exists()


def test_the_abundance_from_a_generation_on_is_the_tail_of_the_whole_table():
    parameters, seed = scenario("small_world")
    sim = parasim.Simulation(parameters, seed=seed)
    sim.run(15)
    whole = sim.history(frame=False).abundance
    for start in (0, 1, 7, 15, 16, 99):
        tail = sim.history(frame=False, from_generation=start).abundance
        kept = whole["generation"] >= start
        for column, values in whole.items():
            numpy.testing.assert_array_equal(tail[column], values[kept], err_msg=column)
    with pytest.raises(ValueError):
        sim.history(from_generation=-1)


# (answer, text): each typed as the answer of its question in the console program's dialogue.
TYPED = [
    ("genome_size", "10.5"),          # no whole number
    ("genome_size", "99999999999"),   # beyond 32 bits
    ("genome_size", "-5"),            # no world: a negative genome
    ("mutation_rate", "1.5-3"),       # an exponent without its letter: 0.0015
    ("mutation_rate", "abc"),
    ("max_offspring", "3 and more"),  # the rest of the line is not read
    ("host_count", "0"),
    ("host_distance", "1d0"),
    ("carrying_capacity", "+7,"),
    ("survival_sd", "nan"),
]


@pytest.mark.parametrize("answer, text", TYPED)
def test_answers_read_from_text_as_the_dialogue_reads_them(console, tmp_path, answer, text):
    parameters = parasim.Parameters(**{**EXAMPLE, "generations": 0})
    lines = answers_text(parameters).splitlines()
    lines[parasim.Parameters.names.index(answer)] = text
    done = console.run(tmp_path, parameters, "--record", "record.json", seed=1,
                       stdin="\n".join(lines) + "\n")
    texts = {name: line for name, line in zip(parasim.Parameters.names, lines)}
    if done.returncode == 0:
        read = parasim.read_answers(texts)
        recorded = json.loads((tmp_path / "record.json").read_text())["parameters"]
        assert read.as_dict() == recorded
    else:
        words = done.stderr.decode().splitlines()[-1]
        with pytest.raises(parasim.AnswerRefused) as refused:
            parasim.read_answers(texts)
        assert (refused.value.parameter, str(refused.value)) == (answer, words)


def test_answer_texts_missing_unknown_or_not_text_are_type_errors():
    texts = {name: repr(value) for name, value in EXAMPLE.items()}
    assert parasim.read_answers(texts) == parasim.Parameters(**EXAMPLE)
    with pytest.raises(parasim.AnswerRefused, match="End of file"):
        parasim.read_answers({**texts, "generations": " \n"})
    for wrong, message in (({**texts, "hosts": "5"}, "no answer named 'hosts'"),
                           ({k: v for k, v in texts.items() if k != "survival_sd"},
                            "missing: survival_sd"),
                           ({**texts, "genome_size": 100}, "genome_size takes a text")):
        with pytest.raises(TypeError, match=message):
            parasim.read_answers(wrong)


def test_answer_fields_are_the_console_programs_listing(console, tmp_path):
    listed = console.run(tmp_path, None, "--list-parameters", stdin="")
    assert listed.returncode == 0
    lines = listed.stdout.decode().split("\n")[:-1]
    assert [tuple(line.split("\t")) for line in lines] == parasim.answer_fields()
    assert [name for name, _, _ in parasim.answer_fields()] == list(parasim.Parameters.names)
