"""Putting a file in place (parasim_report.placement) and every Python writer that uses it: a
target that is a device, a fifo, a link (dangling or not) or a folder, or that is a file the
command reads (by path, through a linked folder, or by a hard link), is refused with a message
and left as it was, with nothing beside it; a failure or a signal while writing leaves no
temporary and the earlier file whole."""

import os
import signal
import stat
import subprocess
import sys

import pytest
from parasim_report import figures, page
from parasim_report.placement import (PlacementError, new_folder_beside, put_folder,
                                      write_file)

HERE = os.path.dirname(os.path.abspath(__file__))
HISTORY = os.path.join(HERE, "data", "five_species_history")
REPORT = os.environ.get("PARASIM_REPORT_BINARY")


def state(folder):
    """What stands in a folder, links not followed: name -> (kind, inode, bytes of a file)."""
    found = {}
    for entry in os.scandir(folder):
        info = entry.stat(follow_symlinks=False)
        content = (open(entry.path, "rb").read() if stat.S_ISREG(info.st_mode) else
                   os.readlink(entry.path) if stat.S_ISLNK(info.st_mode) else None)
        found[entry.name] = (stat.S_IFMT(info.st_mode), info.st_ino, content)
    return found


def device(path):
    os.mknod(path, stat.S_IFCHR | 0o666, os.makedev(1, 3))  # a null device of our own


def fifo(path):
    os.mkfifo(path)


def link(path):
    (path.parent / "linked.txt").write_text("kept")
    path.symlink_to(path.parent / "linked.txt")


def dangling_link(path):
    path.symlink_to(path.parent / "nowhere")


def folder(path):
    path.mkdir()


HOSTILE_KINDS = [(device, "it is a device"), (fifo, "it is a fifo"),
                 (link, "it is a symbolic link"), (dangling_link, "it is a symbolic link"),
                 (folder, "it is a folder")]


def write_directly(target, workdir):
    try:
        write_file(target, "new")
    except PlacementError as error:
        return 2, str(error)
    return 0, ""


def write_page(target, workdir, capsys):
    status = page.main([str(workdir), "--out", str(target), "--history", "h"])
    return status, capsys.readouterr().err


def write_figures(target, workdir, capsys):
    status = figures.main([str(workdir), "--out", str(target.parent), "--history"])
    return status, capsys.readouterr().err


def collect_into(target, workdir):
    sweep_file = workdir / "sweep.toml"
    sweep_file.write_text(
        "master_seed = 1\ngenome_size = 10\nmax_differentiation = 0.1\nmutation_rate = 0.01\n"
        "max_offspring = 2\ndispersal_prob = 0.1\nhost_count = 2\nhost_distance = 1.0\n"
        "carrying_capacity = 10\nsurvival_sd = 0.5\ngenerations = 5\n")
    sweep = [sys.executable, "-P", "-m", "parasim_sweep"]
    subprocess.run([*sweep, "plan", sweep_file, workdir / "plan"], check=True,
                   capture_output=True)
    done = subprocess.run([*sweep, "collect", workdir / "plan", "--output", target],
                          capture_output=True, text=True)
    return done.returncode, done.stderr


# Each writer: how it is run, and the name its target must have in the folder.
WRITERS = {
    "placement": (lambda target, workdir, capsys: write_directly(target, workdir), "out.txt"),
    "page": (write_page, "report.html"),
    "figures": (write_figures, "tree.png"),
    "sweep collect": (lambda target, workdir, capsys: collect_into(target, workdir),
                      "collected.csv"),
}


@pytest.mark.parametrize("writer", WRITERS)
@pytest.mark.parametrize("make, message", HOSTILE_KINDS,
                         ids=[make.__name__ for make, _ in HOSTILE_KINDS])
def test_every_writer_refuses_what_is_no_regular_file(tmp_path, capsys, writer, make, message):
    run, name = WRITERS[writer]
    targets = tmp_path / "targets"
    targets.mkdir()
    make(targets / name)
    before = state(targets)
    status, error = run(targets / name, tmp_path, capsys)
    assert status == 2
    assert message in error
    assert state(targets) == before


def same_path(tables):
    return tables / "species_history.csv", tables / "species_history.csv"


def through_linked_folder(tables):
    (tables.parent / "view").symlink_to(tables)
    return tables.parent / "view" / "species_history.csv", tables / "species_history.csv"


def hard_link(tables):
    os.link(tables / "species_history.csv", tables / "copy.csv")
    return tables / "copy.csv", tables / "species_history.csv"


@pytest.mark.parametrize("make", [same_path, through_linked_folder, hard_link])
def test_an_output_that_is_an_input_is_refused(tmp_path, capsys, make):
    tables = tmp_path / "tables"
    tables.mkdir()
    (tables / "species_history.csv").write_text("the history's table\n")
    target, read = make(tables)
    before = state(tables)
    with pytest.raises(PlacementError, match=f"it is {read}, which this command reads"):
        write_file(target, "new", inputs=[read])
    assert page.main([str(tables), "--out", str(target), "--history", "h"]) == 2
    assert "which this command reads" in capsys.readouterr().err
    assert state(tables) == before


def test_a_file_is_replaced_whole_and_a_failure_leaves_the_earlier_one(tmp_path):
    target = tmp_path / "out.txt"
    target.write_text("earlier")
    write_file(target, "new text\n")
    assert target.read_text() == "new text\n"
    assert stat.S_IMODE(target.stat().st_mode) == 0o666 & ~current_umask()

    def fails(stream):
        stream.write(b"half")
        raise RuntimeError("the drawing failed")

    with pytest.raises(RuntimeError):
        write_file(target, fails)
    assert target.read_text() == "new text\n"
    assert sorted(p.name for p in tmp_path.iterdir()) == ["out.txt"]
    with pytest.raises(PlacementError, match="does not exist"):
        write_file(tmp_path / "absent" / "out.txt", "x")
    with pytest.raises(PlacementError, match="one of the temporary names"):
        write_file(tmp_path / ".out.txt.0123abcd.partial", "x")


def current_umask():
    mask = os.umask(0)
    os.umask(mask)
    return mask


def test_a_folder_is_put_in_place_and_a_filled_one_kept_unless_replaced(tmp_path):
    target = tmp_path / "tables"
    staged = new_folder_beside(target)
    (tmp_path / staged / "a.csv").write_text("first")
    put_folder(staged, target)
    assert (target / "a.csv").read_text() == "first"
    staged = new_folder_beside(target)
    (tmp_path / staged / "b.csv").write_text("second")
    with pytest.raises(PlacementError, match="a folder with files stands there"):
        put_folder(staged, target)
    assert sorted(p.name for p in tmp_path.iterdir()) == ["tables"]
    staged = new_folder_beside(target)
    (tmp_path / staged / "b.csv").write_text("second")
    put_folder(staged, target, replace=True)
    assert sorted(p.name for p in target.iterdir()) == ["b.csv"]
    assert sorted(p.name for p in tmp_path.iterdir()) == ["tables"]
    (tmp_path / "elsewhere").mkdir()
    (tmp_path / "link").symlink_to(tmp_path / "elsewhere")
    with pytest.raises(PlacementError, match="it is a symbolic link"):
        new_folder_beside(tmp_path / "link")


# A page made in a child process that stops where told, says so on standard output, and waits
# for the signal: in the charts (no temporary yet) or halfway through writing the page.
CHILD = """
import sys, time
from parasim_report import page, placement

def wait(what):
    print(what, flush=True)
    time.sleep(60)

if sys.argv[1] == "charts":
    page.build_charts = lambda results, history, speciation=None: wait("charts")
else:
    write = placement.write_file
    def halfway(path, text, inputs=()):
        write(path, lambda stream: (stream.write(text[:1000].encode()), wait("writing")), inputs)
    page.write_file = halfway
    page.build_charts = lambda results, history, speciation=None: ([], None)
    page.species_section = lambda results, history, naming: ""
placement.remove_temporaries_on_signals()
sys.exit(page.main(sys.argv[2:]))
"""


@pytest.mark.parametrize("stage", ["charts", "writing"])
@pytest.mark.parametrize("signum", [signal.SIGTERM, signal.SIGINT])
def test_a_signal_while_the_page_is_made_leaves_no_page_and_no_temporary(tmp_path, stage,
                                                                         signum):
    if not REPORT:
        pytest.skip("set PARASIM_REPORT_BINARY to parasim-report")
    tables = tmp_path / "tables"
    subprocess.run([REPORT, "--history", HISTORY, "--csv", tables], check=True,
                   capture_output=True)
    out = tmp_path / "out"
    out.mkdir()
    (out / "report.html").write_text("the earlier page")
    child = subprocess.Popen([sys.executable, "-c", CHILD, stage, str(tables), "--history", "h",
                              "--out", str(out / "report.html")],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    assert child.stdout.readline().strip() == stage
    if stage == "writing":
        assert len(os.listdir(out)) == 2  # the page's temporary is there
    child.send_signal(signum)
    child.communicate(timeout=60)
    assert child.returncode == -signum
    assert sorted(os.listdir(out)) == ["report.html"]
    assert (out / "report.html").read_text() == "the earlier page"
