#!/usr/bin/env python3
"""Writes the built-in FEATURES tables (resources/FEATURES/<id>.txt).

Usage: make_feature_tables.py DESCRIPTION.md [OUTPUT_DIR]

DESCRIPTION.md is the design text that lists the feature tables as markdown
tables (a paragraph "Table <id> ..." followed by the table).  The output is
the tables in the program's own layout: UTF-8, CR LF line ends, a few comment
lines, then one data row a line with every field followed by a comma and a
tab, as the table readers expect.  Blocks that the text describes instead of
listing (the @B..@H point groups, the @A..@J custom lines) are expanded here.
The row counts of the overview table are checked.
"""
import os
import re
import sys

FIRST_COMMENT = "#Az utolso sor vegere kell egy enter, es minden sort vesszovel kell zarni"

# Table id -> (number of single-valued columns, columns that hold lists follow).
LIST_TABLES = {143, 147, 151, 164}


def find_section(text):
    lines = text.split("\n")
    start = None
    for i, line in enumerate(lines):
        if line.startswith("# ") and line.rstrip().endswith("Built-in feature tables"):
            start = i
            break
    if start is None:
        sys.exit("no section about the built-in feature tables found")
    end = len(lines)
    for i in range(start + 1, len(lines)):
        if lines[i].startswith("# "):
            end = i
            break
    return lines[start:end]


def split_row(line):
    cells = line.strip()
    assert cells.startswith("|") and cells.endswith("|"), line
    return [c.strip() for c in cells[1:-1].split("|")]


def read_tables(lines):
    """Returns [(caption, header, rows)] for every markdown table in lines."""
    tables = []
    i = 0
    caption = ""
    while i < len(lines):
        line = lines[i]
        if line.startswith("|"):
            header = split_row(line)
            i += 2  # header and rule
            rows = []
            while i < len(lines) and lines[i].startswith("|"):
                rows.append(split_row(lines[i]))
                i += 1
            tables.append((caption, header, rows))
            continue
        if line.strip():
            caption = line.strip()
        i += 1
    return tables


def plain(cell):
    return cell.replace("`", "").strip()


def list_cell(cell):
    """A cell holding `a` `b` or `a`, `b`: the codes in order."""
    return re.findall(r"`([^`]*)`", cell)


def table_id(caption):
    m = re.match(r"Tables? (\d+)", caption)
    return int(m.group(1)) if m else None


def build(lines):
    tables = read_tables(lines)
    overview = None
    given = {}  # id -> list of (caption, rows)
    for caption, header, rows in tables:
        if header and header[0] == "id":
            overview = rows
            continue
        tid = table_id(caption)
        if tid is None:
            continue
        given.setdefault(tid, []).append((caption, rows))
    if overview is None:
        sys.exit("no overview table found")

    columns = {}
    counts = {}
    for row in overview:
        ids = [int(x) for x in re.findall(r"\d+", row[0])]
        for tid in ids:
            columns[tid] = plain(row[2])
            m = re.match(r"(\d+)", row[3])
            counts[tid] = int(m.group(1)) if m else None

    out = {}
    for tid, parts in sorted(given.items()):
        data = []
        for caption, rows in parts:
            if tid == 143 and "groups 1 to" in caption:
                letters = re.findall(r"@([A-Z])", caption.split("block @")[0])
                for letter in letters:
                    for row in rows:
                        data.append(point_block_row(row, letter))
                continue
            for row in rows:
                data.append(fields_of(tid, row))
            if tid == 151:
                m = re.search(r"groups @([A-Z]) to @([A-Z])", caption)
                first, last = m.group(1), m.group(2)
                customs = [fields_of(tid, r) for r in rows if plain(r[0]).startswith("custom_line_")]
                for code in range(ord(first), ord(last) + 1):
                    for fields in customs:
                        f = list(fields)
                        f[0] += "@" + chr(code)
                        f[1] += "@" + chr(code)
                        data.append(f)
        expected = counts.get(tid)
        if expected is not None and expected != len(data):
            sys.exit("table %d: %d rows, the overview says %d" % (tid, len(data), expected))
        out[tid] = (columns.get(tid, ""), data)
    return out


def fields_of(tid, row):
    if tid == 164:
        return [plain(row[0])] + list_cell(row[1])
    if tid in LIST_TABLES:
        return [plain(c) for c in row[:-1]] + list_cell(row[-1])
    return [plain(c) for c in row]


def point_block_row(row, letter):
    """A row of point block @A turned into the same row of block @<letter>."""
    f = fields_of(143, row)
    for k in (0, 1):
        assert f[k].endswith("@A"), f[k]
        f[k] = f[k][:-1] + letter
    if letter != "A" and f[0].startswith("bottom_of_the_nose_@"):
        f[1] = "bottom_of_the_nose"
    return f


def render(header, rows):
    text = FIRST_COMMENT + "\r\n"
    text += "#" + header + "\r\n"
    for fields in rows:
        text += "".join(f + ",\t" for f in fields).rstrip("\t") + "\r\n"
    return text


def main(argv):
    if len(argv) < 2:
        sys.exit(__doc__)
    with open(argv[1], encoding="utf-8") as f:
        lines = find_section(f.read())
    outdir = argv[2] if len(argv) > 2 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "resources", "FEATURES")
    os.makedirs(outdir, exist_ok=True)
    for tid, (header, rows) in build(lines).items():
        path = os.path.join(outdir, "%d.txt" % tid)
        with open(path, "wb") as f:
            f.write(render(header, rows).encode("utf-8"))
        print("%s: %d rows" % (os.path.normpath(path), len(rows)))


if __name__ == "__main__":
    main(sys.argv)
