"""The body of POST /api/run: {"parameters": {NAME: VALUE, ...}, "seed": TICKS}.

Each answer is read as the console program reads the answer typed for its question: a text as
it stands, a number as the text that reads back to it; so an answer is refused exactly when the
console program would refuse it, with its words ("Bad integer for item 1 in list input", "The
number of hosts must be at least 1, not 0"). The seed is handed to the simulation, which takes
a tick count from 0 to 2147483647 or null for the clock, and refuses anything else.
"""

import json

import parasim

from .session import AnswerError

EXAMPLE_ANSWERS = {"genome_size": 100, "max_differentiation": 0.1, "mutation_rate": 0.005,
                   "max_offspring": 2, "dispersal_prob": 0.05, "host_count": 5,
                   "host_distance": 1.0, "carrying_capacity": 200, "survival_sd": 0.5,
                   "generations": 100}


class RequestError(Exception):
    """A body that is not the request it should be (400)."""


def answer_list():
    """GET /api/parameters: the answers as parasim --list-parameters lists them, with the
    text of the example answer the form starts from."""
    return [{"name": name, "type": kind, "prompt": prompt,
             "example": repr(EXAMPLE_ANSWERS[name])}
            for name, kind, prompt in parasim.answer_fields()]


def _answer_text(name, value):
    if isinstance(value, str):
        return value
    if isinstance(value, (int, float)) and not isinstance(value, bool):
        return repr(value)
    raise AnswerError(f"{name} takes a number or the text of one, not {json.dumps(value)}", name)


def run_request(body):
    """(Parameters, seed) from the body's bytes. Raises RequestError or AnswerError."""
    try:
        request = json.loads(body.decode("utf-8"))
    except (UnicodeDecodeError, ValueError) as error:
        raise RequestError(f"the body is not JSON: {error}") from None
    if not isinstance(request, dict) or not isinstance(request.get("parameters"), dict):
        raise RequestError('the body is {"parameters": {NAME: VALUE, ...}, "seed": TICKS}')
    unknown = sorted(set(request) - {"parameters", "seed"})
    if unknown:
        raise RequestError(f"the body has no member {unknown[0]!r}")
    answers = request["parameters"]
    for name in answers:
        if name not in parasim.Parameters.names:
            raise AnswerError(f"there is no answer named {name!r}", name)
    for name in parasim.Parameters.names:
        if name not in answers:
            raise AnswerError("the answer is missing", name)
    texts = {name: _answer_text(name, value) for name, value in answers.items()}
    try:
        parameters = parasim.read_answers(texts)
    except parasim.AnswerRefused as refused:
        raise AnswerError(str(refused), refused.parameter) from None
    return parameters, request.get("seed")
