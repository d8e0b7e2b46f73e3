#!/usr/bin/env python3
"""Lists every include that runs against the program's layers and fails on
one. Each source folder is a library whose CMakeLists.txt declares the
libraries it builds on (brivanta_library(NAME DEPS ...)); a file may include
headers of its own folder and of the folders its library declares, directly
or through them. Above fitting the four layers stand in one order: the
document, the views, the dialogs and the shell (app); each declares only
the layers below it. The declared libraries must not form a circle.

Usage: check_layers.py [ROOT]   (the source tree; the script's own by default)
"""

import os
import re
import sys

# The program's upper half, bottom first.
UPPER = ["document", "views", "dialogs", "app"]

LIBRARY = re.compile(r"brivanta_library\(\s*(\w+)([^)]*)\)", re.S)
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"')
SOURCES = (".h", ".hpp", ".c", ".cpp")


def libraries(root):
    """Folder -> (library name, declared library names, files left out) for
    every folder of the tree whose CMakeLists.txt makes a library with
    brivanta_library. The files left out (EXCLUDE) are the programs built
    beside the library, on top of everything."""
    found = {}
    for folder in sorted(os.listdir(root)):
        path = os.path.join(root, folder, "CMakeLists.txt")
        if folder.startswith(".") or not os.path.isfile(path):
            continue
        with open(path, encoding="utf-8") as f:
            text = re.sub(r"#[^\n]*", "", f.read())
        m = LIBRARY.search(text)
        if not m:
            continue
        words = m.group(2).split()
        found[folder] = (m.group(1), _after(words, "DEPS"), set(_after(words, "EXCLUDE")))
    return found


def _after(words, keyword):
    """The words after the keyword up to the next keyword."""
    if keyword not in words:
        return []
    out = []
    for w in words[words.index(keyword) + 1:]:
        if w.isupper():
            break
        out.append(w)
    return out


def declared_folders(libs):
    """Folder -> the folders its library declares (libraries that are no
    folder of the tree, as the resources, are left out)."""
    folder_of = {name: folder for folder, (name, _, _) in libs.items()}
    return {folder: [folder_of[d] for d in deps if d in folder_of] for folder, (_, deps, _) in libs.items()}


def circles(declared):
    """Each circle of the declared folders, as the folders along it."""
    found, state = [], {}

    def visit(folder, path):
        state[folder] = 1
        path.append(folder)
        for d in declared.get(folder, []):
            if state.get(d) == 1:
                found.append(path[path.index(d):] + [d])
            elif d not in state:
                visit(d, path)
        path.pop()
        state[folder] = 2

    for folder in sorted(declared):
        if folder not in state:
            visit(folder, [])
    return found


def reachable(declared, folder):
    seen, todo = set(), list(declared.get(folder, []))
    while todo:
        d = todo.pop()
        if d not in seen:
            seen.add(d)
            todo.extend(declared.get(d, []))
    return seen


def offences(root):
    """Every fault as one line of text; none when the layers hold."""
    libs = libraries(root)
    declared = declared_folders(libs)
    out = []
    for c in circles(declared):
        out.append("the declared libraries run in a circle: " + " -> ".join(c))
    for i, layer in enumerate(UPPER):
        if layer not in declared:
            out.append(f"{layer}/: no library of that layer")
            continue
        for higher in UPPER[i + 1:]:
            if higher in declared[layer]:
                out.append(f"{layer}/CMakeLists.txt: declares {higher}, a layer above it")
    for folder in sorted(declared):
        allowed = reachable(declared, folder) | {folder}
        base = os.path.join(root, folder)
        for here, dirs, files in os.walk(base):
            dirs.sort()
            for name in sorted(files):
                if not name.endswith(SOURCES) or (here == base and name in libs[folder][2]):
                    continue
                path = os.path.join(here, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m or m.group(1) not in declared or m.group(1) in allowed:
                            continue
                        target = m.group(1)
                        why = "a layer above it" if _above(folder, target) else "not declared by " + folder
                        rel = os.path.relpath(path, root)
                        out.append(f"{rel}:{number}: includes {line.strip()[len('#include '):]} ({why})")
    return out


def _above(folder, target):
    return folder in UPPER and target in UPPER and UPPER.index(target) > UPPER.index(folder)


def main(argv):
    root = os.path.abspath(argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    found = offences(root)
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} includes or declarations against the layers")
        return 1
    print("layers hold: " + " over ".join(reversed(UPPER)) + " over the core; every include runs downward")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
