"""The fenced code blocks of a Markdown document, in order, for the tests that run them."""

import pathlib
import re
import typing


class Block(typing.NamedTuple):
    info: str  # the word after the opening fence: python, sh, text, ...
    text: str  # the lines between the fences, each ending with a newline
    line: int  # the line number of the first of them, counted from 1


_FENCE = re.compile(r"^```(\S*)\s*$")


def fenced_blocks(path):
    lines = pathlib.Path(path).read_text(encoding="utf-8").splitlines(keepends=True)
    blocks = []
    opened = None
    for number, line in enumerate(lines, start=1):
        fence = _FENCE.match(line)
        if fence is None:
            continue
        if opened is None:
            opened = (fence.group(1), number)
        else:
            info, start = opened
            blocks.append(Block(info, "".join(lines[start:number - 1]), start + 1))
            opened = None
    if opened is not None:
        raise ValueError(f"{path}:{opened[1]}: a code block is never closed")
    return blocks


def commands_and_outputs(block):
    """The commands of a shell block written as `$ command` lines, each with the lines that
    follow it up to the next command: what it prints."""
    pairs = []
    for line in block.text.splitlines(keepends=True):
        if line.startswith("$ "):
            pairs.append([line[2:].rstrip("\n"), ""])
        elif pairs:
            pairs[-1][1] += line
    return [tuple(pair) for pair in pairs]
