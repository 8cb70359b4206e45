"""The shipped job array, submitted to a real one-node Slurm cluster that the test starts:
every task runs its run, and the results are the bytes of the same plan run locally."""

import os
import shutil
import tempfile
import unittest

import sweep_support as support
from slurm_cluster import SlurmCluster

SBATCH_SCRIPT = os.path.join(support.SOURCE_ROOT, "examples", "slurm", "sweep.sbatch")


class SlurmJobArray(support.SweepCase):
    @classmethod
    def setUpClass(cls):
        # Short: slurmd's socket paths must fit in a Unix socket name.
        cls.cluster_root = tempfile.mkdtemp(prefix="psw-slurm-", dir="/tmp")
        cls.cluster = SlurmCluster(cls.cluster_root)
        try:
            cls.cluster.start()
        except BaseException:
            shutil.rmtree(cls.cluster_root, ignore_errors=True)
            raise

    @classmethod
    def tearDownClass(cls):
        cls.cluster.stop()
        shutil.rmtree(cls.cluster_root, ignore_errors=True)

    def test_job_array_matches_the_local_run(self):
        on_slurm = self.planned(name="on-slurm")
        local = self.planned(name="local")
        self.sweep_ok("run", local)
        # the first task is done already: the array is made of what status lists as left
        self.sweep_ok("run", on_slurm, "--task", "1")
        array = self.sweep_ok("status", on_slurm, "--array").stdout.strip()
        self.assertEqual(array, "2-4")
        environment = f"ALL,PARASIM_SWEEP={os.path.abspath(support.sweep_tool())}"
        submitted, tasks = self.cluster.submit_and_wait(
            [f"--array={array}", f"--export={environment}", "--output=slurm-%A_%a.out",
             "--mem=200M",
             SBATCH_SCRIPT, on_slurm], cwd=self.tmp)
        logs = "".join(support.read_bytes(os.path.join(self.tmp, name)).decode(errors="replace")
                       for name in sorted(os.listdir(self.tmp)) if name.startswith("slurm-"))
        self.assertEqual(tasks, {"2": "COMPLETED 0:0", "3": "COMPLETED 0:0", "4": "COMPLETED 0:0"},
                         f"{submitted}\n{logs}")
        self.assertEqual(logs.count(" done (seed "), 3, logs)
        self.assertIn("done     4", self.sweep_ok("status", on_slurm).stdout)
        for name in support.run_folders(local):
            self.assertEqual(
                support.read_bytes(os.path.join(on_slurm, "runs", name, "Output.dat")),
                support.read_bytes(os.path.join(local, "runs", name, "Output.dat")), name)
        self.assert_same_as_direct(on_slurm)

    def test_the_job_script_refuses_to_run_outside_an_array(self):
        submitted, tasks = self.cluster.submit_and_wait(
            [f"--output={self.tmp}/plain.out", "--mem=100M", SBATCH_SCRIPT, self.path("x")],
            cwd=self.tmp)
        self.assertEqual(tasks, {"-": "FAILED 2:0"}, submitted)
        with open(self.path("plain.out")) as stream:
            self.assertIn("not an array task", stream.read())


if __name__ == "__main__":
    unittest.main()
