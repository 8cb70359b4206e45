"""The ten answers of a parasim run: their names, kinds and the text written for each."""

import math

# In the order parasim asks for them; True marks the whole-number answers.
PARAMETERS = (
    ("genome_size", True),
    ("max_differentiation", False),
    ("mutation_rate", False),
    ("max_offspring", True),
    ("dispersal_prob", False),
    ("host_count", True),
    ("host_distance", False),
    ("carrying_capacity", True),
    ("survival_sd", False),
    ("generations", True),
)
NAMES = tuple(name for name, _ in PARAMETERS)
IS_INTEGER = dict(PARAMETERS)

# parasim reads 32-bit signed integers and cannot read -2147483648.
INT_MIN = -2147483647
INT_MAX = 2147483647


def answer_text(name, value):
    """The text of one answer, as parasim reads it and as the tables show it.

    Reals are written in the shortest form that reads back to the same double
    (Python's repr: 0.1, 1e-05), which parasim's reader takes as it stands."""
    if IS_INTEGER[name]:
        return str(int(value))
    if not math.isfinite(value):
        raise ValueError(f"{name} is not a finite number")
    return repr(float(value))


def answers_file_text(values):
    """The answers file of one run: the ten answers, one a line, in the order asked."""
    return "".join(answer_text(name, values[name]) + "\n" for name in NAMES)
