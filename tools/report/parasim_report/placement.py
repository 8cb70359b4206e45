"""Putting a file (or a folder of files) in place, for every Python tool of parasim: the page and
figures of parasim-report, and the plan, markers, tables and page of parasim-sweep.

The rule is the one parasim itself keeps. A target must be absent or a regular file: a symbolic
link (dangling or not), a device, a fifo, a socket or a folder is refused with a message, never
written through or replaced. A target must not be one of the files the same command reads, nor
another of its outputs: the same file by device and inode, or the same path once links in its
folders are resolved. The content is written beside the target under a unique temporary name
(.NAME.XXXXXXXX.partial, a name no target may have), flushed and synced, renamed over the
target, and the folder synced; so the target is the earlier file or the whole new one, never a
part. The temporary goes on any failure, and on SIGINT or
SIGTERM once an entry point has called `remove_temporaries_on_signals`.
"""

import errno
import os
import secrets
import shutil
import signal
import stat
import threading

TEMPORARY_SUFFIX = ".partial"


class PlacementError(Exception):
    """A target that cannot be written without losing something; the message says why."""


def _current_umask():
    mask = os.umask(0o022)
    os.umask(mask)
    return mask


# Read once, at import, while the importing thread is alone: os.umask sets as it reads.
_FILE_MODE = 0o666 & ~_current_umask()

# The temporaries being written, path -> whether it is a folder.
_live = {}
# Reentrant: the signal handler runs in the main thread, which may hold the lock just then.
_live_lock = threading.RLock()


def _kind_of(mode):
    if stat.S_ISLNK(mode):
        return "a symbolic link"
    if stat.S_ISDIR(mode):
        return "a folder"
    if stat.S_ISCHR(mode) or stat.S_ISBLK(mode):
        return "a device"
    if stat.S_ISFIFO(mode):
        return "a fifo"
    if stat.S_ISSOCK(mode):
        return "a socket"
    return "not a regular file"


def _status(path):
    """The lstat of path, or None when nothing stands there."""
    try:
        return os.lstat(path)
    except FileNotFoundError:
        return None
    except NotADirectoryError:
        raise PlacementError(f"cannot write {path}: part of its folder is not a folder") from None


def _folder_of(path):
    return os.path.dirname(os.path.abspath(path))


def check_target(path, folder=False):
    """Refuses a target that is neither absent nor a regular file (a real folder, for a folder
    target), or whose folder does not exist."""
    if not os.path.basename(os.path.normpath(path)) or os.path.basename(path) in ("", ".", ".."):
        raise PlacementError(f"cannot write {path}: name a {'folder' if folder else 'file'}")
    name = os.path.basename(os.path.normpath(path))
    if name.startswith(".") and name.endswith(TEMPORARY_SUFFIX):
        raise PlacementError(f"cannot write {path}: its name is one of the temporary names "
                             "written beside a file while it is made; name another")
    info = _status(path)
    wanted = stat.S_ISDIR if folder else stat.S_ISREG
    if info is not None and not wanted(info.st_mode):
        raise PlacementError(
            f"cannot write {path}: it is {_kind_of(info.st_mode)}, which is never written "
            f"through or replaced; name {'a new folder' if folder else 'a new or regular file'}")
    parent = _folder_of(path)
    if not os.path.isdir(parent):
        raise PlacementError(f"cannot write {path}: the folder {parent} does not exist")


def _identity(path):
    try:
        info = os.stat(path)
    except OSError:
        return None
    return info.st_dev, info.st_ino


def _same_file(first, second):
    if os.path.realpath(first) == os.path.realpath(second):
        return True
    identity = _identity(first)
    return identity is not None and identity == _identity(second)


def check_outputs(outputs, inputs=(), folders=()):
    """Checks every output file (and output folder) with check_target, and that none is a file
    the command reads or another of its outputs."""
    for path in outputs:
        check_target(path)
    for path in folders:
        check_target(path, folder=True)
    earlier = [(path, "which this command reads") for path in inputs]
    for path in [*outputs, *folders]:
        for other, role in earlier:
            if _same_file(path, other):
                raise PlacementError(f"cannot write {path}: it is {other}, {role}")
        earlier.append((path, "which this command also writes"))


def _sync_folder(folder):
    try:
        descriptor = os.open(folder, os.O_RDONLY | os.O_DIRECTORY)
    except OSError:
        return
    try:
        os.fsync(descriptor)
    except OSError:
        pass  # some file systems cannot sync a folder; the rename itself stands
    finally:
        os.close(descriptor)


def _new_temporary(target, make):
    """Makes a temporary beside target with make(path). The name is registered before it
    exists, so a signal at any moment finds every temporary there is."""
    folder = _folder_of(target)
    base = os.path.basename(os.path.normpath(target))
    while True:
        path = os.path.join(folder, f".{base}.{secrets.token_hex(4)}{TEMPORARY_SUFFIX}")
        with _live_lock:
            _live[path] = make is os.mkdir
        try:
            return path, make(path)
        except FileExistsError:
            _forget(path)
        except BaseException:
            _forget(path)
            raise


def _forget(path):
    with _live_lock:
        _live.pop(path, None)


def _remove(path):
    """Removes a temporary, file or folder, whatever is left of it."""
    with _live_lock:
        is_folder = _live.pop(path, None)
    try:
        if is_folder or os.path.isdir(path) and not os.path.islink(path):
            shutil.rmtree(path, ignore_errors=True)
        else:
            os.unlink(path)
    except FileNotFoundError:
        pass


def remove_live_temporaries():
    """Removes every temporary being written (for a signal handler)."""
    with _live_lock:
        paths = list(_live)
    for path in paths:
        _remove(path)


def _reserve_name(_path):
    """Makes nothing: the name is kept for a folder renamed to it."""


def _exclusive_file(path):
    return os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_CLOEXEC, _FILE_MODE)


def write_file(path, content, inputs=()):
    """Puts content at path: str (written as UTF-8, line ends as given), bytes, or a function
    that writes into the binary stream it is given. inputs are the files the command reads,
    which path must not be. Raises PlacementError for a refused target, OSError for a failed
    write; either way nothing is left beside the target."""
    check_outputs([path], inputs)
    temporary, descriptor = _new_temporary(path, _exclusive_file)
    try:
        with os.fdopen(descriptor, "wb") as stream:
            if callable(content):
                content(stream)
            else:
                stream.write(content.encode("utf-8") if isinstance(content, str) else content)
            stream.flush()
            os.fsync(stream.fileno())
        check_target(path)  # once more, in case something took its place meanwhile
        os.replace(temporary, path)
        _forget(temporary)
    except BaseException:
        _remove(temporary)
        raise
    _sync_folder(_folder_of(path))


def new_folder_beside(target):
    """A new empty folder beside target (checked as a folder target), to fill and then put in
    place with put_folder, or drop with discard_folder."""
    check_target(target, folder=True)
    return _new_temporary(target, os.mkdir)[0]


def discard_folder(staged):
    _remove(staged)


def put_folder(staged, target, replace=False):
    """Renames a folder made by new_folder_beside to target. An existing target folder is
    replaced whole when replace is True (it must be one this tool made); otherwise only an empty
    one is, and a filled one raises PlacementError. The staged folder goes on any failure."""
    try:
        check_target(target, folder=True)
        old = None
        if replace and os.path.isdir(target):
            old, _ = _new_temporary(target, _reserve_name)
            os.rename(target, old)
        try:
            os.rename(staged, target)
        except OSError as error:
            if old is not None:
                os.rename(old, target)
                _forget(old)
            if error.errno in (errno.EEXIST, errno.ENOTEMPTY):
                raise PlacementError(f"cannot put {target} in place: a folder with files "
                                     "stands there") from None
            raise
        _forget(staged)
        if old is not None:
            _remove(old)
    except BaseException:
        _remove(staged)
        raise
    _sync_folder(_folder_of(target))


def _on_signal(signum, _frame):
    remove_live_temporaries()
    if signum == signal.SIGINT:
        raise KeyboardInterrupt
    # Dies by the signal, as a process without the handler would.
    signal.signal(signum, signal.SIG_DFL)
    os.kill(os.getpid(), signum)


def remove_temporaries_on_signals():
    """For the command-line entry points: SIGTERM removes the temporaries being written and ends
    the process by the signal; SIGINT removes them and raises KeyboardInterrupt."""
    for signum in (signal.SIGINT, signal.SIGTERM):
        signal.signal(signum, _on_signal)
