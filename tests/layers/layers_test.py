#!/usr/bin/env python3
"""The layer check (scripts/check_layers.py, a CTest test): small trees with
one fault each, which it must name, and the program's own tree, which must
hold."""

import os
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", ".."))
SCRIPT = os.path.join(ROOT, "scripts", "check_layers.py")

# A tree as the program's: the core, then the four layers each over those below.
DEPS = {
    "foundation": "",
    "model": "foundation",
    "document": "model foundation",
    "views": "document model foundation",
    "dialogs": "views document model foundation",
    "app": "dialogs views document model foundation",
}


def make_tree(root, deps=None, files=None, exclude=None):
    deps = dict(DEPS, **(deps or {}))
    for folder, declared in deps.items():
        os.makedirs(os.path.join(root, folder), exist_ok=True)
        extra = f" EXCLUDE {exclude[folder]}" if exclude and folder in exclude else ""
        with open(os.path.join(root, folder, "CMakeLists.txt"), "w") as f:
            f.write(f"# {folder}\nbrivanta_library({folder} DEPS {declared} framework{extra})\n")
        with open(os.path.join(root, folder, "own.h"), "w") as f:
            below = declared.split()
            f.write("#pragma once\n" + "".join(f'#include "{d}/own.h"\n' for d in below))
    for path, text in (files or {}).items():
        with open(os.path.join(root, path), "w") as f:
            f.write(text)


def run(root):
    r = subprocess.run([sys.executable, SCRIPT, root], capture_output=True, text=True)
    return r.returncode, r.stdout.splitlines()


class Faults(unittest.TestCase):
    def test_each_fault_is_named_and_fails(self):
        cases = [
            ("a clean tree", {}, {}, None, []),
            ("views include the shell", {}, {"views/v.cpp": '#include "views/own.h"\n\n#include "app/own.h"\n'}, None,
             ['views/v.cpp:3: includes "app/own.h" (a layer above it)']),
            ("the document includes a dialog", {}, {"document/d.h": '#pragma once\n#include "dialogs/own.h"\n'},
             None, ['document/d.h:2: includes "dialogs/own.h" (a layer above it)']),
            ("dialogs declare the shell", {"dialogs": "app views document model foundation"}, {}, None,
             ["dialogs/CMakeLists.txt: declares app, a layer above it",
              "the declared libraries run in a circle: app -> dialogs -> app"]),
            ("a core library includes one it does not declare", {},
             {"model/m.cpp": '#include "document/own.h"\n'}, None,
             ['model/m.cpp:1: includes "document/own.h" (not declared by model)']),
            ("a circle in the core", {"foundation": "model"}, {}, None,
             ["the declared libraries run in a circle: model -> foundation -> model"]),
            ("a program beside the shell's library", {}, {"app/main.cpp": '#include "qt/q.h"\n#include "app/own.h"\n'},
             {"app": "main.cpp"}, []),
        ]
        for what, deps, files, exclude, expected in cases:
            with self.subTest(what), tempfile.TemporaryDirectory() as root:
                make_tree(root, deps, files, exclude)
                code, lines = run(root)
                self.assertEqual(sorted(lines[:-1]), sorted(expected))
                self.assertEqual(code, 1 if expected else 0)
                if expected:
                    self.assertEqual(lines[-1], f"{len(expected)} includes or declarations against the layers")

    def test_a_missing_layer_is_named(self):
        with tempfile.TemporaryDirectory() as root:
            make_tree(root)
            os.remove(os.path.join(root, "dialogs", "CMakeLists.txt"))
            self.assertEqual(run(root), (1, ["dialogs/: no library of that layer",
                                             "1 includes or declarations against the layers"]))


class ProgramTree(unittest.TestCase):
    def test_the_program_holds_its_layers(self):
        code, lines = run(ROOT)
        self.assertEqual(lines[-1:], ["layers hold: app over dialogs over views over document over the core; "
                                      "every include runs downward"], "\n".join(lines))
        self.assertEqual(code, 0)


if __name__ == "__main__":
    unittest.main()
