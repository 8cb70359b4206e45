"""A one-node Slurm cluster on this machine for a test: munged, slurmctld and slurmd started
as root from a temporary folder, on free loopback ports, and shut down again.

start() raises unittest.SkipTest naming exactly what is missing or which daemon did not come
up (with the end of its log), so that a machine without Slurm says why it did not test it."""

import os
import shutil
import signal
import socket
import subprocess
import time
import unittest

FINISHED_STATES = ("COMPLETED", "FAILED", "CANCELLED", "TIMEOUT", "NODE_FAIL", "OUT_OF_MEMORY",
                   "BOOT_FAIL", "DEADLINE", "PREEMPTED")
PROGRAMS = ("munged", "munge", "slurmctld", "slurmd", "sbatch", "scontrol", "sinfo")


def _free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def _tail(path, lines=15):
    try:
        with open(path, errors="replace") as stream:
            return "".join(stream.readlines()[-lines:]).strip() or "(empty log)"
    except OSError:
        return "(no log written)"


class SlurmCluster:
    def __init__(self, root):
        self.root = root
        self.node = socket.gethostname().split(".")[0]
        self.conf = os.path.join(root, "slurm.conf")
        self.munge_socket = os.path.join(root, "munge-run", "munge.socket")
        self.pid_files = {}
        self.env = dict(os.environ, SLURM_CONF=self.conf)

    def _skip(self, reason):
        self.stop()
        raise unittest.SkipTest(f"no Slurm test: {reason}")

    def _wait(self, condition, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if condition():
                return True
            time.sleep(0.2)
        return False

    def _query(self, *command):
        try:
            return subprocess.run(command, env=self.env, capture_output=True, text=True,
                                  timeout=10).stdout
        except (OSError, subprocess.SubprocessError):
            return ""

    def start(self):
        missing = [p for p in PROGRAMS if shutil.which(p) is None]
        if missing:
            self._skip("missing " + ", ".join(missing)
                       + " (Debian packages slurm-wlm and munge)")
        if os.geteuid() != 0:
            self._skip("slurmd must be started as root, and this test runs as uid "
                       f"{os.geteuid()}")
        self._start_munge()
        self._write_conf()
        self._daemon("slurmctld", ["slurmctld", "-f", self.conf],
                     lambda: "UP" in self._query("scontrol", "ping"), 30)
        self._daemon("slurmd", ["slurmd", "-f", self.conf, "-N", self.node],
                     lambda: self._query("sinfo", "-h", "-n", self.node, "-o", "%T").strip()
                     in ("idle", "mixed", "allocated"), 40)

    def _start_munge(self):
        key_folder = os.path.join(self.root, "munge-key")
        run_folder = os.path.dirname(self.munge_socket)
        os.makedirs(key_folder, mode=0o700)
        os.makedirs(run_folder, mode=0o755)
        key = os.path.join(key_folder, "munge.key")
        with open(key, "wb") as stream:
            stream.write(os.urandom(1024))
        os.chmod(key, 0o400)
        log = os.path.join(self.root, "munged.log")
        self.pid_files["munged"] = os.path.join(run_folder, "munged.pid")
        started = subprocess.run(
            ["munged", "--force", f"--key-file={key}", f"--socket={self.munge_socket}",
             f"--pid-file={self.pid_files['munged']}", f"--log-file={log}",
             f"--seed-file={os.path.join(run_folder, 'munged.seed')}"],
            capture_output=True, text=True, timeout=30)
        if started.returncode != 0:
            self._skip(f"munged did not start (exit status {started.returncode}): "
                       f"{started.stderr.strip() or _tail(log)}")
        encoded = lambda: subprocess.run(["munge", "-n", "-S", self.munge_socket],
                                         capture_output=True, timeout=10).returncode == 0
        if not self._wait(encoded, 10):
            self._skip(f"munged started but does not answer on {self.munge_socket}: {_tail(log)}")

    def _write_conf(self):
        for folder in ("state", "spool", "logs"):
            os.makedirs(os.path.join(self.root, folder))
        self.logs = {name: os.path.join(self.root, "logs", f"{name}.log")
                     for name in ("slurmctld", "slurmd")}
        self.pid_files["slurmctld"] = os.path.join(self.root, "slurmctld.pid")
        self.pid_files["slurmd"] = os.path.join(self.root, "slurmd.pid")
        # Every task of a small test array at once, whatever the cores: slurmd takes the
        # node's size from this file instead of refusing a node smaller than it.
        cpus = max(8, os.cpu_count() or 1)
        memory = _memory_megabytes()
        lines = [
            f"ClusterName=parasimtest{os.getpid()}",
            f"SlurmctldHost={self.node}(127.0.0.1)",
            "SlurmUser=root",
            "SlurmdUser=root",
            f"SlurmctldPort={_free_port()}",
            f"SlurmdPort={_free_port()}",
            "AuthType=auth/munge",
            f"AuthInfo=socket={self.munge_socket}",
            "CredType=cred/munge",
            f"StateSaveLocation={self.root}/state",
            f"SlurmdSpoolDir={self.root}/spool",
            f"SlurmctldPidFile={self.pid_files['slurmctld']}",
            f"SlurmdPidFile={self.pid_files['slurmd']}",
            f"SlurmctldLogFile={self.logs['slurmctld']}",
            f"SlurmdLogFile={self.logs['slurmd']}",
            "ProctrackType=proctrack/linuxproc",
            "TaskPlugin=task/none",
            "MpiDefault=none",
            "SchedulerType=sched/builtin",
            "SelectType=select/cons_tres",
            "SelectTypeParameters=CR_Core",
            "ReturnToService=2",
            "JobAcctGatherType=jobacct_gather/none",
            "AccountingStorageType=accounting_storage/none",
            "SlurmctldTimeout=30",
            "SlurmdTimeout=30",
            "InactiveLimit=0",
            "KillWait=5",
            "SlurmdParameters=config_overrides",
            f"NodeName={self.node} NodeAddr=127.0.0.1 CPUs={cpus} RealMemory={memory} State=UNKNOWN",
            f"PartitionName=test Nodes={self.node} Default=YES MaxTime=INFINITE State=UP",
        ]
        with open(self.conf, "w") as stream:
            stream.write("\n".join(lines) + "\n")

    def _daemon(self, name, command, ready, seconds):
        try:
            started = subprocess.run(command, env=self.env, capture_output=True, text=True,
                                     timeout=30)
        except (OSError, subprocess.SubprocessError) as error:
            self._skip(f"{name} could not be started: {error}")
        if started.returncode != 0:
            self._skip(f"{name} did not start (exit status {started.returncode}): "
                       f"{started.stderr.strip()} {_tail(self.logs[name])}")
        if not self._wait(ready, seconds):
            self._skip(f"{name} started but was not ready within {seconds} s; its log ends:\n"
                       + _tail(self.logs[name]))

    def submit_and_wait(self, arguments, cwd, timeout=180):
        """Submits a job and waits until every task of it has ended (polling more often than
        sbatch --wait does). Returns (sbatch's output, {task: "State ExitCode"})."""
        submitted = subprocess.run(["sbatch", "--parsable", *arguments], cwd=cwd, env=self.env,
                                   capture_output=True, text=True, timeout=60)
        if submitted.returncode != 0:
            return submitted.stdout + submitted.stderr, {}
        job = submitted.stdout.strip().split(";")[0]
        deadline = time.monotonic() + timeout
        tasks = {}
        while time.monotonic() < deadline:
            tasks = {}
            for line in self._query("scontrol", "-o", "show", "job", job).splitlines():
                fields = dict(f.split("=", 1) for f in line.split() if "=" in f)
                task = fields.get("ArrayTaskId", "-")
                tasks[task] = f"{fields.get('JobState')} {fields.get('ExitCode')}"
            if tasks and all(s.split()[0] in FINISHED_STATES for s in tasks.values()):
                return submitted.stdout, tasks
            time.sleep(0.3)
        return f"job {job} did not end within {timeout} s", tasks

    def _pid(self, name):
        try:
            with open(self.pid_files[name]) as stream:
                return int(stream.read().split()[0])
        except (OSError, ValueError, IndexError, KeyError):
            return None

    def stop(self):
        """Ends the daemons this cluster started, by the process ids they wrote."""
        for name in ("slurmd", "slurmctld", "munged"):
            pid = self._pid(name)
            if pid is None:
                continue
            try:
                os.kill(pid, signal.SIGTERM)
            except ProcessLookupError:
                continue
            if not self._wait(lambda: not _alive(pid), 15):
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            self.pid_files.pop(name, None)


def _memory_megabytes():
    """Somewhat below what slurmd finds, so that the node is not drained for lack of it."""
    try:
        with open("/proc/meminfo") as stream:
            for line in stream:
                if line.startswith("MemTotal:"):
                    return max(100, int(line.split()[1]) // 1024 * 9 // 10)
    except (OSError, ValueError):
        pass
    return 100


def _alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as stream:
            return stream.read().split(")")[-1].split()[0] != "Z"
    except OSError:
        return False
