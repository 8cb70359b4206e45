"""The kinds of column a table of parasim's tools holds: how a field is written, how it is read,
and what a fault is called. Plain Python, so that the table layouts (columns) can be imported
where numpy is not needed."""

import math
from dataclasses import dataclass

LARGEST_WHOLE = 2**63 - 1  # the tables' numbers go into 64-bit arrays


@dataclass(frozen=True)
class Kind:
    """What a column holds: its pattern, how a field becomes a value, the words for a fault."""

    description: str
    pattern: str
    convert: object  # field text -> value; raises ValueError
    dtype: object = None  # numpy type of the column, None for a list
    plain_number: bool = False  # parsed by numpy in the fast path


def _whole(text):
    value = int(text)
    if value > LARGEST_WHOLE:
        raise ValueError(text)
    return value


def _real(text):
    value = float(text)
    if not math.isfinite(value):
        raise ValueError(text)
    return value


_DIGITS = r"[0-9]+"
_REAL = r"-?(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][-+]?[0-9]+)?"

# A count, a generation, a species, label or host number: 0 or more in plain digits, 64 bits.
WHOLE = Kind("a whole number of 0 or more", _DIGITS, _whole, "int64", True)
# A whole number that may be negative (an answer of parasim).
INTEGER = Kind("a whole number", "-?" + _DIGITS, _whole, "int64", True)
# A finite number in decimal notation (no nan, no infinity).
REAL = Kind("a finite number", _REAL, _real, "float64", True)
TRUTH = Kind("true or false", "true|false", lambda text: text == "true", "bool")
# A mother species, empty for the founders' species (read as 0).
PARENT = Kind("a whole number or empty", f"(?:{_DIGITS})?",
              lambda text: _whole(text) if text else 0, "int64")
# A host where a species arose, empty where there is none or it is not known (read as 0).
HOST_OR_BLANK = Kind("a host number or empty", f"(?:{_DIGITS})?",
                     lambda text: _whole(text) if text else 0, "int64")
# true, false, or empty where it is not known (read as None).
TRUTH_OR_BLANK = Kind("true, false or empty", "(?:true|false)?",
                      lambda text: (text == "true") if text else None)
# A whole number or empty where a value is undefined (read as None).
WHOLE_OR_BLANK = Kind("a whole number or empty", f"(?:{_DIGITS})?",
                      lambda text: _whole(text) if text else None)
# A finite number or empty where a value is undefined (read as None).
REAL_OR_BLANK = Kind("a finite number or empty", f"(?:{_REAL})?",
                     lambda text: _real(text) if text else None)
TEXT = Kind("text", "[^,]*", str)
