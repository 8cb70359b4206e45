"""Reading the tables parasim's tools write (the report's and the history's tables of
parasim-report, the sweep's collected tables): comma-separated, a header row first, ASCII,
no quoting, LF line ends (CR LF taken too). The one reader every Python tool uses.

A table is read against the columns it must have, each of a kind (see column_kinds; the
layouts of the tools' tables are in columns). The first fault raises TableError with
`FILE:LINE: what is wrong`, LINE counting from 1 with the header included. Numbers come back as
numpy arrays (whole numbers as int64, reals as float), the rest as lists.

Tables of numbers alone, the long ones (a history of many species has millions of rows), are
parsed by numpy's loadtxt after a check of their characters; any doubt sends the table to the
row-by-row reader, which the other tables use and which finds the faulty line.
"""

import io
import pathlib
import re
import warnings

import numpy as np

from .column_kinds import HOST_OR_BLANK, PARENT, REAL, TRUTH, WHOLE


class TableError(Exception):
    """A table that is not as its writer writes it; the message starts with FILE:LINE."""


def _contents(path):
    """The bytes of a table, CR LF line ends read as LF."""
    with open(path, "rb") as table:
        data = table.read()
    return data.replace(b"\r\n", b"\n") if b"\r" in data else data


def _lines(data):
    """The lines of a table without their line ends; a last line without its end too."""
    lines = data.split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()
    return lines


def _header(data):
    end = data.find(b"\n")
    return data if end < 0 else data[:end]


def _check_header(path, header, columns):
    if header != ",".join(columns).encode("ascii"):
        raise TableError(f"{path}:1: the header row must be {','.join(columns)}")


def _row_fault(path, number, line, columns, kinds):
    """The message for a row that does not fit, or None when it fits."""
    try:
        text = line.decode("ascii")
    except UnicodeDecodeError:
        return f"{path}:{number}: not ASCII text"
    fields = text.split(",")
    if len(fields) != len(columns):
        return f"{path}:{number}: {len(fields)} fields, expected {len(columns)}"
    for name, kind, field in zip(columns, kinds, fields):
        if '"' in field or not re.fullmatch(kind.pattern, field):
            return f'{path}:{number}: {name} "{field}" is not {kind.description}'
        try:
            kind.convert(field)
        except (ValueError, OverflowError):
            return f'{path}:{number}: {name} "{field}" is not {kind.description}'
    return None


def _first_fault(path, lines, columns, kinds):
    for number, line in enumerate(lines[1:], start=2):
        fault = _row_fault(path, number, line, columns, kinds)
        if fault:
            return fault
    return None


def _row_by_row(path, lines, columns, kinds):
    values = [[] for _ in kinds]
    for number, line in enumerate(lines[1:], start=2):
        fault = _row_fault(path, number, line, columns, kinds)
        if fault:
            raise TableError(fault)
        for column, kind, field in zip(values, kinds, line.decode("ascii").split(",")):
            column.append(kind.convert(field))
    return [np.array(column, dtype=kind.dtype) if kind.dtype is not None else column
            for column, kind in zip(values, kinds)]


_PLAIN_CHARACTERS = b"0123456789,\n"
_NUMBER_CHARACTERS = _PLAIN_CHARACTERS + b".-+eE"
_TRUTH_CHARACTERS = b"truefals"


def _truth(text):
    if text not in ("true", "false"):
        raise ValueError(text)
    return text == "true"


def _blank_as_zero(text):
    if text and not text.isdigit():
        raise ValueError(text)
    return int(text) if text else 0


# The columns numpy parses through a function of ours: true or false, and an empty mother or host.
_CONVERTERS = {TRUTH: _truth, PARENT: _blank_as_zero, HOST_OR_BLANK: _blank_as_zero}


def _all_at_once(data, kinds):
    """The columns of the rows of a table of numbers (and truths and mothers), or None when
    some field needs the row-by-row reader (to be refused with its line, or read exactly).
    Works on the table's bytes as read, header included, so that a long table is not copied."""
    header = _header(data)
    first = data[len(header) + 1:len(header) + 2]
    if not first or first == b"\n":
        return None
    allowed = _PLAIN_CHARACTERS if all(kind is WHOLE for kind in kinds) else _NUMBER_CHARACTERS
    if TRUTH in kinds:
        allowed += _TRUTH_CHARACTERS
    if (data.translate(None, allowed) != header.translate(None, allowed) or b"\n\n" in data
            or data.count(b"+") != data.count(b"e+") + data.count(b"E+")):
        return None
    converters = {index: _CONVERTERS[kind] for index, kind in enumerate(kinds)
                  if kind in _CONVERTERS}
    dtype = [(f"c{index}", kind.dtype) for index, kind in enumerate(kinds)]
    try:
        with warnings.catch_warnings():
            # numpy reads "2.5" into a whole column as 2, with only this warning.
            warnings.simplefilter("error", DeprecationWarning)
            table = np.loadtxt(io.BytesIO(data), delimiter=",", dtype=dtype, ndmin=1,
                               skiprows=1, comments=None, encoding=None,
                               converters=converters or None)
    except (ValueError, DeprecationWarning):
        return None
    # Views of the one table numpy made: a copy of each would double the memory of a long one.
    columns = [table[f"c{index}"] for index in range(len(kinds))]
    for column, kind in zip(columns, kinds):
        if kind is WHOLE and column.size and column.min() < 0:
            return None
        if kind is REAL and not np.isfinite(column).all():
            return None
    return columns


def read_columns(path, columns, kinds):
    """The named columns of a table, in order, each as an array (or list) of values of its
    kind. Raises TableError for a table that is not as written, OSError for one that cannot be
    read."""
    data = _contents(path)
    _check_header(path, _header(data), columns)
    if all(kind.plain_number or kind in _CONVERTERS for kind in kinds):
        found = _all_at_once(data, kinds)
        if found is not None:
            return found
    return _row_by_row(path, _lines(data), columns, kinds)


def read_rows(path, columns, kinds):
    """The rows of a table as dictionaries of values, with the line each row is on (for
    messages that name it)."""
    read = read_columns(path, columns, kinds)
    rows = []
    for index in range(len(read[0]) if read else 0):
        row = {name: (values[index].item() if hasattr(values[index], "item") else values[index])
               for name, values in zip(columns, read)}
        rows.append((index + 2, row))
    return rows


def read_one_row(path, columns, kinds):
    """The values of a table of exactly one row, by column name."""
    rows = read_rows(path, columns, kinds)
    if len(rows) != 1:
        raise TableError(f"{path}:1: expected the header row {','.join(columns)} and one row, "
                         f"found {len(rows)} rows")
    return rows[0][1]


def _written_width(path, table):
    """How many of the table's columns the file holds: all, or the width of an earlier layout
    whose header it has (the rest then read as empty fields)."""
    if not table.earlier_widths:
        return len(table.columns)
    with open(path, "rb") as stream:
        header = stream.readline().rstrip(b"\r\n")
    for width in table.earlier_widths:
        if header == ",".join(table.names[:width]).encode("ascii"):
            return width
    return len(table.columns)


def read_table(folder, table):
    """The columns of one table (a columns.Table) in folder, by name; a table of an earlier
    layout has the columns it lacks as empty fields."""
    path = pathlib.Path(folder) / table.file
    width = _written_width(path, table)
    values = read_columns(path, table.names[:width], table.kinds[:width])
    rows = len(values[0]) if values else 0
    for kind in table.kinds[width:]:
        blank = [kind.convert("")] * rows
        values.append(np.array(blank, dtype=kind.dtype) if kind.dtype is not None else blank)
    return dict(zip(table.names, values))


def read_single_row_table(folder, table):
    """The one row of a table of one row (history_summary.csv), by column name."""
    return read_one_row(pathlib.Path(folder) / table.file, table.names, table.kinds)


def read_checked_rows(path, columns, kinds):
    """The rows of a table as the text of their fields, each field checked against its kind:
    for a tool that copies a table's values as they were written."""
    data = _contents(path)
    _check_header(path, _header(data), columns)
    lines = _lines(data)
    fault = _first_fault(path, lines, columns, kinds)
    if fault:
        raise TableError(fault)
    return [line.decode("ascii").split(",") for line in lines[1:]]
