"""parasim-sweep under hostile use: outputs that are links or devices or the sweep's own files,
plans edited after their runs finished, damaged and endless files, odd folder names and a
full standard output. Each refusal leaves everything as it was."""

import json
import os
import subprocess
import unittest

import sweep_support as support


class HostileUse(support.SweepCase):
    def done_runs(self, folder):
        status = self.sweep_ok("status", folder).stdout
        return int(status.split("done")[1].split()[0])

    def test_outputs_never_replace_links_or_the_sweeps_own_files(self):
        folder = self.planned(replicates=1)
        self.sweep_ok("run", folder, "--jobs", "2")
        kept = {name: support.read_bytes(os.path.join(folder, *name.split("/")))
                for name in ("plan.json", "runs/0001/Output.dat", "manifest.csv")}
        for name in (*kept, "runs.csv", "runs"):
            with self.subTest(output=name):
                done = self.sweep("collect", folder, "--output", os.path.join(folder, name))
                self.assertEqual(done.returncode, 2, done.stderr)
                self.assertIn("one of the sweep's own files", done.stderr)
        for name, content in kept.items():
            self.assertEqual(support.read_bytes(os.path.join(folder, *name.split("/"))), content)
        # A link is never written through or replaced, nor is a device.
        target = self.write("target.csv", "old\n")
        os.symlink(target, self.path("to-file"))
        for output, what in ((self.path("to-file"), "a symbolic link"), ("/dev/null", "a device")):
            with self.subTest(output=output):
                done = self.sweep("collect", folder, "--output", output)
                self.assertEqual(done.returncode, 2, done.stderr)
                self.assertIn(f"it is {what}", done.stderr)
        self.assertTrue(os.path.islink(self.path("to-file")))
        with open(target) as stream:
            self.assertEqual(stream.read(), "old\n")

    def test_a_runs_table_edited_or_of_another_plan_is_refused_by_plot_and_report(self):
        folder = self.planned(replicates=1)
        self.sweep_ok("run", folder, "--jobs", "2")
        self.sweep_ok("collect", folder)
        path = os.path.join(folder, "runs.csv")
        header, first, second = support.read_bytes(path).decode().splitlines()
        columns = header.split(",")

        def with_field(line, name, value):
            fields = line.split(",")
            fields[columns.index(name)] = value
            return ",".join(fields)

        cases = [
            ([with_field(first, "dispersal_prob", "high"), second],
             'runs.csv:2: dispersal_prob "high" is not a finite number'),
            ([first, with_field(second, "run_id", "1")],
             "runs.csv:3: run 1 is listed twice (first on line 2)"),
            ([first, with_field(second, "run_id", "7")], "runs.csv:3: the plan has no run 7"),
            ([first, with_field(second, "seed", "12345")],
             "runs.csv:3: run 2 is not the run the plan has"),
            ([with_field(first, "species_at_end", "many"), second],
             'runs.csv:2: species_at_end "many" is not a whole number or empty'),
        ]
        for rows, message in cases:
            with open(path, "w") as stream:
                stream.write("\n".join([header, *rows]) + "\n")
            for command in ("plot", "report"):
                with self.subTest(command=command, message=message):
                    done = self.sweep(command, folder)
                    self.assertEqual(done.returncode, 2, done.stderr)
                    self.assertIn(message, done.stderr)
                    self.assertIn("run 'parasim-sweep collect' again", done.stderr)
                    self.assertNotIn("Traceback", done.stderr)
        self.assertFalse(os.path.exists(os.path.join(folder, "report.html")))
        self.assertFalse(os.path.exists(os.path.join(folder, "plots")))

    def test_an_edited_plan_does_not_count_runs_it_did_not_plan(self):
        folder = self.planned(replicates=1)
        self.sweep_ok("run", folder, "--jobs", "2")
        self.assertEqual(self.done_runs(folder), 2)
        plan_path = os.path.join(folder, "plan.json")
        with open(plan_path) as stream:
            plan = json.load(stream)
        plan["definition"]["master_seed"] += 1
        with open(plan_path, "w") as stream:
            json.dump(plan, stream)
        self.assertEqual(self.done_runs(folder), 0)
        self.assertEqual(self.sweep("collect", folder).returncode, 1)
        # Run again, the runs are made with the seeds the plan now gives them.
        self.sweep_ok("run", folder, "--jobs", "2")
        self.assertEqual(self.done_runs(folder), 2)
        self.assert_same_as_direct(folder)

    def test_damaged_and_endless_files_give_messages_not_tracebacks(self):
        folder = self.planned(replicates=1)
        self.sweep_ok("run", folder, "--task", "1")
        marker = os.path.join(folder, "runs", "0001", "done")
        with open(marker, "w") as stream:
            stream.write("[" * 100000 + "]" * 100000)
        self.assertEqual(self.done_runs(folder), 0)  # a damaged marker is no marker
        deep = self.planned(replicates=1, name="deep")
        with open(os.path.join(deep, "plan.json"), "w") as stream:
            stream.write("{\"format\": " + "[" * 100000 + "]" * 100000 + "}")
        bad = self.path("bad.toml")
        with open(bad, "wb") as stream:
            stream.write(b"genome_size = 1\n\xff\n")
        long_list = support.sweep_text(dict(support.TINY,
                                            mutation_rate=[i / 1e6 for i in range(40000)] + [0.0]))
        cases = [
            (("status", deep), "cannot be read as a plan"),
            (("plan", "/dev/zero", self.path("zero")), "larger than 64 MiB"),
            (("plan", bad, self.path("b")), "bad.toml:2: not UTF-8"),
            (("plan", self.write("twice.toml", long_list), self.path("twice")), "listed twice"),
            (("plan", self.write("ok.toml", support.sweep_text(support.TINY)), ""),
             "name a folder for the plan"),
        ]
        for arguments, message in cases:
            with self.subTest(arguments=arguments[:2]):
                done = self.sweep(*arguments)
                self.assertEqual(done.returncode, 2, done.stderr)
                self.assertIn(message, done.stderr)
                self.assertNotIn("Traceback", done.stderr)

    def test_plan_into_the_empty_working_folder_fills_it_in_place(self):
        here = self.path("here")
        os.mkdir(here)
        inode = os.stat(here).st_ino
        sweep_file = self.write("ok.toml", support.sweep_text(support.TINY, replicates=1))
        self.sweep_ok("plan", sweep_file, ".", cwd=here)
        self.assertEqual(os.stat(here).st_ino, inode)
        self.sweep_ok("run", ".", "--task", "1", cwd=here)
        self.assertEqual(self.done_runs(here), 1)

    def test_a_standard_output_that_cannot_be_written_is_a_failure(self):
        folder = self.planned(replicates=1)
        with open("/dev/full", "w") as full:
            done = subprocess.run([support.sweep_tool(), "status", folder], stdout=full,
                                  stderr=subprocess.PIPE, text=True, timeout=60)
        self.assertEqual(done.returncode, 2)
        self.assertIn("cannot write standard output", done.stderr)
        self.assertNotIn("Traceback", done.stderr)


if __name__ == "__main__":
    unittest.main()
