"""The examples of the documents, run as they stand, so that the documents cannot drift from the
programs: every Python session (its outputs compared as doctest compares them, the sessions of a
document sharing one namespace in document order), every Python script (run in that namespace; a
script followed by a ```text block must print exactly that), and the `$ command` lines of the
shell blocks of docs/python.md with the output they show. Each document runs in a fresh folder."""

import contextlib
import doctest
import io
import pathlib
import subprocess

import pytest

from markdown_blocks import commands_and_outputs, fenced_blocks

ROOT = pathlib.Path(__file__).resolve().parents[2]

# document: whether its shell commands run too
DOCUMENTS = {"docs/python.md": True, "docs/model.md": False, "README.md": False}


def run_session(block, namespace, document):
    test = doctest.DocTestParser().get_doctest(block.text, namespace, document, document,
                                               block.line - 1)
    runner = doctest.DocTestRunner(optionflags=doctest.NORMALIZE_WHITESPACE | doctest.ELLIPSIS)
    report = io.StringIO()
    runner.run(test, out=report.write, clear_globs=False)
    namespace.update(test.globs)  # the test ran in a copy; later blocks go on from it
    assert runner.failures == 0, report.getvalue()


def run_script(block, namespace, document, shown):
    printed = io.StringIO()
    with contextlib.redirect_stdout(printed):
        exec(compile(block.text, f"{document}:{block.line}", "exec"), namespace)
    if shown is not None:
        assert printed.getvalue() == shown.text, f"{document}:{shown.line}"


def run_commands(block, document, folder):
    for command, shown in commands_and_outputs(block):
        result = subprocess.run(["bash", "-c", command], cwd=folder,
                                capture_output=True, text=True, timeout=120)
        assert result.returncode == 0, f"{document}:{block.line}: {command}\n{result.stderr}"
        assert result.stdout == shown, f"{document}:{block.line}: {command}"


@pytest.mark.parametrize("document", DOCUMENTS)
def test_document_examples_run_as_shown(document, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    blocks = fenced_blocks(ROOT / document)
    namespace = {"__name__": "__main__"}
    ran = 0
    for index, block in enumerate(blocks):
        following = blocks[index + 1] if index + 1 < len(blocks) else None
        if block.info == "python" and block.text.lstrip().startswith(">>>"):
            run_session(block, namespace, document)
        elif block.info == "python":
            shown = following if following is not None and following.info == "text" else None
            run_script(block, namespace, document, shown)
        elif block.info == "sh" and DOCUMENTS[document] and block.text.startswith("$ "):
            run_commands(block, document, tmp_path)
        else:
            continue
        ran += 1
    assert ran > 0, f"{document} has no example to run"
