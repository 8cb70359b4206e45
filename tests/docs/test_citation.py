"""CITATION.cff: valid YAML of the Citation File Format, the version the program reports, and the
manuscript as the program's banner names it."""

import os
import pathlib
import re
import subprocess

import yaml

ROOT = pathlib.Path(__file__).resolve().parents[2]


def parasim(*arguments, stdin=subprocess.DEVNULL):
    return subprocess.run([os.environ["PARASIM_BINARY"], *arguments], stdin=stdin,
                          capture_output=True, text=True, timeout=60)


def citation():
    with open(ROOT / "CITATION.cff", encoding="utf-8") as stream:
        return yaml.safe_load(stream)


def test_citation_file_names_the_program_at_its_version():
    cff = citation()
    assert cff["cff-version"] == "1.2.0"
    assert cff["title"] == "parasim"
    assert cff["type"] == "software"
    assert cff["message"].strip()
    assert cff["authors"] and all(author.get("name") or author.get("family-names")
                                  for author in cff["authors"])
    version = parasim("--version")
    assert version.returncode == 0
    first, *rest = version.stdout.splitlines()
    assert first == f"parasim {cff['version']}"
    assert "CITATION.cff" in " ".join(rest)
    # A licence is named only as the repository's own licence file gives it.
    assert ("license" in cff) == any((ROOT / name).exists() for name in ("LICENSE", "COPYING"))


def test_the_manuscript_is_cited_as_the_banner_names_it():
    # The banner is shown before the first answer is asked for; with no answer the run stops.
    banner = parasim().stdout.splitlines()
    start = next(i for i, line in enumerate(banner) if "part of the manuscript:" in line)
    title = banner[start + 1].strip()
    byline = " ".join(line.strip() for line in banner[start + 2:start + 4])
    names = re.findall(r"[A-Z][\w-]+", byline.removeprefix("by "))
    manuscripts = [entry for entry in citation()["references"] if entry["type"] == "manuscript"]
    assert len(manuscripts) == 1
    assert manuscripts[0]["title"] == title
    assert [author["family-names"] for author in manuscripts[0]["authors"]] == names
    assert title in citation()["message"]
