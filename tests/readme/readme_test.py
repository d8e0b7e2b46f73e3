#!/usr/bin/env python3
"""Checks of the README (a CTest test): the two commands, the images it names
and those scripts/screens.sh writes, a performance-table row for each
benchmark program scripts/bench.sh runs, the section on what the program
does not do; and the table script's rewrite between the markers."""

import glob
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", ".."))
BEGIN, END = "<!-- perf:begin -->", "<!-- perf:end -->"


def read(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        return f.read()


def perf_rows(text):
    """The table's rows between the markers as lists of cells."""
    start, end = text.find(BEGIN), text.find(END)
    if start < 0 or end < start:
        return None
    rows = []
    for line in text[start:end].splitlines():
        if line.startswith("|") and not line.startswith("|---"):
            rows.append([c.strip() for c in line.strip().strip("|").split("|")])
    return rows[1:] if rows else rows  # without the heading


class Readme(unittest.TestCase):
    def setUp(self):
        self.text = read("README.md")

    def test_the_two_commands(self):
        for command in ("bash scripts/run.sh", "bash scripts/test.sh"):
            self.assertIn(command, self.text)

    def test_images_named_exist_and_every_screenshot_is_named(self):
        named = set(re.findall(r"!\[[^\]]*\]\(([^)\s]+)\)", self.text))
        named |= set(re.findall(r"\b(docs/screens/[\w.-]+\.png)\b", self.text))
        for image in sorted(named):
            self.assertTrue(os.path.isfile(os.path.join(ROOT, image)), image + " is named but missing")
        # scripts/screens.sh writes one picture for each `shot` line of its scenario.
        screens = os.path.join(ROOT, "scripts", "screens.sh")
        if os.path.isfile(screens):
            scenario = re.search(r"tests/e2e/scenarios/[\w-]+\.txt", read("scripts/screens.sh"))
            self.assertTrue(scenario, "scripts/screens.sh names no scenario")
            written = set(re.findall(r"(?m)^\s*shot\s+([\w-]+)", read(scenario.group(0))))
            self.assertTrue(written)
            basenames = {os.path.splitext(os.path.basename(n))[0] for n in named}
            for shot in sorted(written):
                self.assertIn(shot, basenames, shot + ".png is written by scripts/screens.sh but not named")

    def test_a_perf_row_for_each_benchmark(self):
        rows = perf_rows(self.text)
        self.assertIsNotNone(rows, "the perf markers are missing")
        self.assertTrue(rows)
        programs = sorted(os.path.basename(p)[:-4] for p in glob.glob(os.path.join(ROOT, "bench", "*_bench.cpp")))
        self.assertTrue(programs)
        # bench.sh runs every benchmark program the bench folder builds.
        self.assertIn('"$build"/bench/*_bench', read("scripts/bench.sh"))
        for program in programs:
            with self.subTest(program=program):
                mine = [r for r in rows if len(r) >= 4 and "`%s`" % program in r[3]]
                self.assertTrue(mine, "no row of " + program)
                for r in mine:
                    self.assertTrue(r[1] and r[2], "a row of %s without target or measured value" % program)

    def test_what_it_does_not_do(self):
        self.assertRegex(self.text, r"(?im)^##+ .*does not do")


class TableScript(unittest.TestCase):
    def test_rewrites_between_the_markers_only(self):
        with tempfile.TemporaryDirectory() as d:
            results = os.path.join(d, "results")
            os.mkdir(results)
            with open(os.path.join(results, "files_bench.json"), "w") as f:
                json.dump({"benchmarks": [
                    {"name": "BM_ObjVariant2/1", "real_time": 1.0, "time_unit": "s", "error_occurred": True}]}, f)
            with open(os.path.join(results, "document_files_bench.json"), "w") as f:
                json.dump({"benchmarks": [
                    {"name": "DocumentSave/1024", "real_time": 42.5, "time_unit": "ms"},
                    {"name": "DocumentOpen/1024", "real_time": 900000.0, "time_unit": "us"}]}, f)
            with open(os.path.join(results, "views_bench.json"), "w") as f:
                json.dump({"benchmarks": [
                    {"name": "BM_3DView/6/repeats:3_median", "real_time": 20.0, "time_unit": "ms"}]}, f)
            with open(os.path.join(results, "shell_bench.json"), "w") as f:
                json.dump({"benchmarks": [
                    {"name": "StartUpToTheArmedTimer/min_time:2.000", "real_time": 123.0, "time_unit": "ms"}]}, f)
            with open(os.path.join(results, "qt_window_bench.xcb.json"), "w") as f:
                json.dump({"benchmarks": [
                    {"name": "StartToFrameVisible/xcb/iterations:10", "real_time": 1600.0, "time_unit": "ms"}]}, f)
            readme = os.path.join(d, "README.md")
            with open(readme, "w") as f:
                f.write("# T\n\nbefore\n%s\nold table\n%s\nafter\n" % (BEGIN, END))
            subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "perf_table.py"), "--results", results,
                            "--readme", readme], check=True)
            with open(readme) as f:
                text = f.read()
            self.assertTrue(text.startswith("# T\n\nbefore\n" + BEGIN + "\n"))
            self.assertTrue(text.endswith(END + "\nafter\n"))
            self.assertNotIn("old table", text)
            self.assertRegex(text, r"Measured on .+ \(\d+ cores\), Mesa .+, \d{4}-\d\d-\d\d")
            row = {r[0]: r for r in perf_rows(text)}
            self.assertEqual(row["Project save at 1024"][1:3], ["under 100 ms", "42 ms (met)"])
            self.assertEqual(row["Project open at 1024 (file, template, octree, views)"][1:3],
                             ["under 200 ms", "900 ms (missed)"])
            self.assertEqual(row["3D view redraw at 1024 x 768, textured (median)"][2], "20 ms (met)")
            # Run settings in a name do not hide the benchmark.
            self.assertEqual(row["Start-up to the armed timer (headless)"][2], "123 ms")
            self.assertEqual(row["Start to the frame on screen, under xvfb"][2], "1.60 s (missed)")
            # A failed run and a missing program are not measured.
            self.assertEqual(row["OBJ variant 2 with texture and bump map"][2], "not measured")
            self.assertEqual(row["Template head read"][1:3], ["none set", "not measured"])

    def test_missing_markers_fail(self):
        with tempfile.TemporaryDirectory() as d:
            readme = os.path.join(d, "README.md")
            with open(readme, "w") as f:
                f.write("no markers\n")
            r = subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "perf_table.py"), "--results", d,
                                "--readme", readme], capture_output=True, text=True)
            self.assertNotEqual(r.returncode, 0)
            with open(readme) as f:
                self.assertEqual(f.read(), "no markers\n")


if __name__ == "__main__":
    unittest.main(verbosity=2)
