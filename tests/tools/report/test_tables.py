"""The one reader of the tools' tables (parasim_report.tables): every fault named with its file and
line, whichever path a table takes (numbers parsed by numpy at once, or row by row), and the
numbers read back exactly as Python reads each field."""

import random

import numpy as np
import pytest
from parasim_report.column_kinds import PARENT, REAL, TEXT, TRUTH, WHOLE, WHOLE_OR_BLANK
from parasim_report.columns import HISTORY_SPECIES
from parasim_report.tables import (TableError, read_checked_rows, read_columns, read_one_row,
                                   read_table)

NUMBERS = (["generation", "count", "phenotype"], [WHOLE, WHOLE, REAL])
MIXED = (["species", "parent", "extant", "list", "split"],
         [WHOLE, PARENT, TRUTH, TEXT, WHOLE_OR_BLANK])
TREE = (["species", "parent", "extant"], [WHOLE, PARENT, TRUTH])


@pytest.mark.parametrize("table, body, message", [
    (NUMBERS, "generation,count\n1,2\n", ":1: the header row must be generation,count,phenotype"),
    (NUMBERS, "", ":1: the header row must be"),
    (NUMBERS, "generation,count,phenotype\n1,2,3\n4,5\n", ":3: 2 fields, expected 3"),
    (NUMBERS, "generation,count,phenotype\n1,2,3\n\n4,5,6\n", ":3: 1 fields, expected 3"),
    (NUMBERS, "generation,count,phenotype\n1,-2,3\n", ':2: count "-2" is not a whole number'),
    (NUMBERS, "generation,count,phenotype\n1,+2,3\n", ':2: count "+2" is not a whole number'),
    (NUMBERS, "generation,count,phenotype\n1,2.5,3\n", ':2: count "2.5" is not a whole number'),
    (NUMBERS, "generation,count,phenotype\n1,9223372036854775808,3\n",
     ':2: count "9223372036854775808" is not a whole number'),
    (NUMBERS, "generation,count,phenotype\n1,2,3\n2,2,1e999\n",
     ':3: phenotype "1e999" is not a finite number'),
    (NUMBERS, "generation,count,phenotype\n1,2,nan\n", ':2: phenotype "nan" is not a finite'),
    (NUMBERS, "generation,count,phenotype\n1, 2,3\n", ':2: count " 2" is not a whole number'),
    (NUMBERS, 'generation,count,phenotype\n1,"2",3\n', ':2: count ""2"" is not a whole'),
    (NUMBERS, "generation,count,phenotype\n1,2,3\n1,2,\xe9\n", ":3: not ASCII text"),
    (TREE, "species,parent,extant\n1,,true\n2, 1,false\n", ':3: parent " 1" is not a whole'),
    (TREE, "species,parent,extant\n1,,true\n2,+1,false\n", ':3: parent "+1" is not a whole'),
    (TREE, "species,parent,extant\n1,,true\n2,true,false\n", ':3: parent "true" is not'),
    (TREE, "species,parent,extant\n1,,true\n2,1,True\n", ':3: extant "True" is not true or'),
    (TREE, "species,parent,extant\n1,,true\n2,1,tru\n", ':3: extant "tru" is not true or'),
    (MIXED, "species,parent,extant,list,split\n1,,maybe,1;2,\n",
     ':2: extant "maybe" is not true or false'),
    (MIXED, "species,parent,extant,list,split\n1,,true,1;2,x\n",
     ':2: split "x" is not a whole number or empty'),
])
def test_a_fault_is_named_with_its_file_and_line(tmp_path, table, body, message):
    path = tmp_path / "table.csv"
    path.write_bytes(body.encode("latin-1"))
    with pytest.raises(TableError) as raised:
        read_columns(path, *table)
    assert str(raised.value).startswith(f"{path}:")
    assert message in str(raised.value)


def test_numbers_read_back_as_python_reads_each_field(tmp_path):
    rng = random.Random(3)
    rows = [(rng.randrange(10**6), rng.randrange(2**63), rng.choice(
        [f"{rng.uniform(-1e3, 1e3):.4f}", repr(rng.uniform(-1e-300, 1e300)), "-0", ".5", "7."]))
        for _ in range(2000)]
    text = "generation,count,phenotype\n" + "".join(f"{g},{n},{p}\n" for g, n, p in rows)
    for name, line_end in (("lf.csv", "\n"), ("crlf.csv", "\r\n")):
        path = tmp_path / name
        path.write_bytes(text.replace("\n", line_end).encode("ascii"))
        generation, count, phenotype = read_columns(path, *NUMBERS)
        assert generation.dtype == np.int64 and count.dtype == np.int64
        assert generation.tolist() == [g for g, _, _ in rows]
        assert count.tolist() == [n for _, n, _ in rows]
        assert phenotype.tolist() == [float(p) for _, _, p in rows]
        assert read_checked_rows(path, *NUMBERS) == [[str(g), str(n), p] for g, n, p in rows]


def test_blanks_truths_and_text_and_a_table_of_one_row(tmp_path):
    path = tmp_path / "table.csv"
    path.write_text("species,parent,extant,list,split\n1,,true,1;3,\n2,1,false,,40")
    species, parent, extant, listed, split = read_columns(path, *MIXED)
    assert (species.tolist(), parent.tolist(), extant.tolist(), listed, split) == (
        [1, 2], [0, 1], [True, False], ["1;3", ""], [None, 40])
    with pytest.raises(TableError, match=":1: expected the header row .* and one row, found 2"):
        read_one_row(path, *MIXED)
    path.write_text("species,parent,extant,list,split\n")
    assert [len(column) for column in read_columns(path, *MIXED)] == [0] * 5
    path.write_text("species,parent,extant\n1,,true\n2,1,false\n3,1,true")
    species, parent, extant = read_columns(path, *TREE)
    assert (species.tolist(), parent.tolist(), extant.tolist()) == (
        [1, 2, 3], [0, 1, 1], [True, False, True])


@pytest.mark.parametrize("body, hosts", [
    ("species,label,parent,born,size_at_birth,last_seen,extant,birth_host,parent_host,host_shift\n"
     "1,1,,1,3,9,true,1,,\n2,2,1,4,11,9,true,3,1,true\n3,3,1,5,12,9,true,,,\n",
     ([1, 3, 0], [0, 1, 0], [None, True, None])),
    # A history of a run before the host columns: read with them empty.
    ("species,label,parent,born,size_at_birth,last_seen,extant\n"
     "1,1,,1,3,9,true\n2,2,1,4,11,9,true\n3,3,1,5,12,9,true\n",
     ([0, 0, 0], [0, 0, 0], [None, None, None])),
])
def test_a_species_table_is_read_in_its_current_and_its_earlier_layout(tmp_path, body, hosts):
    (tmp_path / HISTORY_SPECIES.file).write_text(body)
    table = read_table(tmp_path, HISTORY_SPECIES)
    assert list(table) == HISTORY_SPECIES.names
    np.testing.assert_array_equal(table["parent"], [0, 1, 1])
    assert (table["birth_host"].tolist(), table["parent_host"].tolist(),
            table["host_shift"]) == hosts
    (tmp_path / HISTORY_SPECIES.file).write_text(body.replace("extant", "living", 1))
    with pytest.raises(TableError, match=":1: the header row must be .*,host_shift$"):
        read_table(tmp_path, HISTORY_SPECIES)
