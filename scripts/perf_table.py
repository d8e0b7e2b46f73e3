#!/usr/bin/env python3
"""Writes the README's performance table from the benchmarks' results.

  perf_table.py --results DIR [--readme README.md]

DIR holds one Google Benchmark JSON file per benchmark program
(<program>.json; the Qt one as qt_window_bench.<platform>.json; a second
file of a program as <program>.<part>.json) and the pipeline run's printout
(fitting_pipeline_bench.txt), and loadavg.txt, the machine's load when the
run began and ended. With --before DIR2 the same results of a base revision
fill a column of their own. The table replaces what stands between the
perf:begin and perf:end markers of the README. --rows lists the benchmark
programs the table covers (for the README test).
"""

import argparse
import datetime
import json
import os
import platform
import re
import subprocess
import sys

BEGIN = "<!-- perf:begin -->"
END = "<!-- perf:end -->"

# What a user waits for, its target in milliseconds (None: no target set),
# and the benchmarks whose times add up to it: (program, benchmark name). A
# part ("program", "name", "counter") takes a counter of the benchmark in
# place of its time; a row whose target is a RATIO divides its first part
# by its second.
MB = "MB"
RATIO = "x"
ROWS = [
    ("Start to the frame on screen, under xvfb", 1500, [("qt_window_bench", "StartToFrameVisible/xcb")]),
    ("Start of the program to its frame drawn, under xvfb", 1500, [("qt_program_bench", "FrameDrawn/xcb")]),
    ("Point page's Next to the textured head on the screen, under xvfb", 300,
     [("qt_program_bench", "NextToTexturedHead/xcb")]),
    ("Start-up to the armed timer (headless)", None, [("shell_bench", "StartUpToTheArmedTimer")]),
    ("4000 x 3000 JPEG to the start page", 600, [("flow_bench", "JpegToStartPage/manual_time")]),
    ("4000 x 3000 JPEG previewed in the open dialog", 300, [("prep_preview_bench", "PhotoPreviewJpeg4000x3000")]),
    ("JPEG decode against libjpeg-turbo alone, same settings", (1.1, RATIO),
     [("picture_jpeg_bench", "BM_JpegOurDecoder"), ("picture_jpeg_bench", "BM_JpegLibjpegTurbo")]),
    ("Marks to textured head at 1024, as the program runs it (camera, fit, texture)", 300,
     [("flow_bench", "CameraStep"), ("flow_bench", "ModelAt1024")]),
    ("The same in the fitting code alone (camera search, fit, texture)", None,
     [("fitting_camera_search_bench", "BM_FirstSearchRealisticMarks"),
      ("fitting_texture_bench", "BM_HeadToPhotoTrafo"),
      ("fitting_texture_bench", "BM_MakeFullTexture/1024")]),
    ("Made-up photo through marks, camera, lines, fit and texture", None, [("fitting_pipeline_bench", "total")]),
    ("Template load as the program runs it (templates 101 and 122 in turn, with the views)", 40,
     [("flow_bench", "TemplateLoad")]),
    ("Texture synthesis at 1024", 60, [("fitting_texture_bench", "BM_MakeFullTexture/1024")]),
    ("Texture synthesis at 4096", 1000, [("fitting_texture_bench", "BM_MakeFullTexture/4096")]),
    ("Mirroring with the views", 60, [("flow_bench", "MirrorWithTheViews")]),
    ("Peak memory of the full flow at 4096", (400, MB), [("flow_bench", "FullFlowAt4096", "peak_rss_mb")]),
    ("Project save at 1024", 100, [("document_files_bench", "DocumentSave/1024")]),
    ("Project open at 1024 (file, template, octree, views)", 200, [("document_files_bench", "DocumentOpen/1024")]),
    ("Project open at 4096", 800, [("document_files_bench", "DocumentOpen/4096")]),
    ("Project file read at 1024 (the file layer alone)", None, [("files_bench", "BM_ProjectOpenWhole/1024")]),
    ("OBJ variant 2 with texture and bump map", 150, [("files_bench", "BM_ObjVariant2/1")]),
    ("3D view redraw at 1024 x 768, textured (median)", 33, [("views_bench", "BM_3DView/6_median")]),
    ("Overlay view (median)", 45, [("views_bench", "BM_Overlay/0_median")]),
    ("Overlay view merged with the photo (median)", 45, [("views_bench", "BM_Overlay/1_median")]),
    ("Feature point dragged in the 3D view: pick, move, frame", 35, [("views_edit_bench", "BM_DragMove")]),
    ("Model-page age slider: model", 5, [("dialogs_morph_bench", "BM_SliderReleaseToModel/0")]),
    ("Model-page age slider: texture at 1024", 40, [("dialogs_morph_bench", "BM_TextureRebuild/1024")]),
    ("Template head read", None, [("model_template_bench", "BM_TemplateRead")]),
    ("Octree fill of the template head (122)", 10, [("model_template_bench", "BM_TemplateOctreeFill")]),
    ("Octree fill of a 36,000-triangle sphere", None, [("model_octree_bench", "BM_OctreeFill")]),
    ("PNG decode (first test picture)", None, [("picture_png_bench", "BM_PngOurDecoder/0")]),
    ("Scaled blit of a photo", None, [("gdi_bench", "BM_StretchDIBitsScaled")]),
    ("Chain walk, 65536 items", None, [("chains_bench", "BM_ChainWalk/65536")]),
    ("4 x 4 matrix inverse", None, [("foundation_bench", "BM_Matrix44Inverse")]),
]

UNIT_TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1000.0}


def clean(name):
    """A benchmark's name without its run settings (repetitions, iterations,
    minimum time)."""
    return re.sub(r"/(?:repeats|iterations|min_time|min_warmup_time):[^/_]*(?:\.\d+)?", "", name)


def load_results(folder):
    """{program: {benchmark name: milliseconds, (benchmark name, counter): value}}."""
    out = {}
    if not folder or not os.path.isdir(folder):
        return out
    for entry in sorted(os.listdir(folder)):
        path = os.path.join(folder, entry)
        if entry.endswith(".json"):
            program = entry.split(".")[0]
            try:
                with open(path, encoding="utf-8") as f:
                    data = json.load(f)
            except (OSError, ValueError):
                continue
            times = out.setdefault(program, {})
            for b in data.get("benchmarks", []):
                if b.get("error_occurred"):
                    continue
                name = clean(b["name"])
                times[name] = b.get("real_time", 0.0) * UNIT_TO_MS.get(b.get("time_unit", "ns"), 1e-6)
                # Counters (a peak memory, ...) by benchmark and counter name.
                for key, value in b.items():
                    if isinstance(value, (int, float)) and key not in ("real_time", "cpu_time", "iterations"):
                        times[(name, key)] = float(value)
        elif entry.startswith("qt_program_bench.") and entry.endswith(".txt"):
            platform_name = entry.split(".")[1]
            drawn = frame_drawn(path)
            if drawn is not None:
                out.setdefault("qt_program_bench", {})["FrameDrawn/" + platform_name] = drawn
            step = next_to_head(path)
            if step is not None:
                out.setdefault("qt_program_bench", {})["NextToTexturedHead/" + platform_name] = step
        elif entry == "fitting_pipeline_bench.txt":
            total = pipeline_total(path)
            if total is not None:
                out.setdefault("fitting_pipeline_bench", {})["total"] = total
    return out


def printed(path, pattern):
    """The first number the pattern's group catches in the program's own
    printout (milliseconds)."""
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = re.search(pattern, line)
            if m:
                return float(m.group(1))
    return None


def next_to_head(path):
    """The point page's Next to the textured head on the screen."""
    return printed(path, r"point page's Next to the textured head on the screen\s+(\d+(?:\.\d+)?) ms")


def frame_drawn(path):
    """When the program's frame was drawn."""
    return printed(path, r"start to frame on the screen\s+\d+(?:\.\d+)? ms, drawn (\d+(?:\.\d+)?) ms")


def pipeline_total(path):
    """The sum of the stages the pipeline run printed (its first photo)."""
    stages = ("photo", "camera search", "automatic lines", "fit", "texture")
    total, seen = 0.0, set()
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            for s in stages:
                m = re.match(r"^%s\s+(\d+(?:\.\d+)?)\b" % re.escape(s), line)
                if m and s not in seen:
                    seen.add(s)
                    total += float(m.group(1))
    return total if len(seen) == len(stages) else None


def fmt(ms):
    if ms >= 1000:
        return "%.2f s" % (ms / 1000)
    if ms >= 10:
        return "%.0f ms" % ms
    if ms >= 0.1:
        return "%.1f ms" % ms
    return "%.2f us" % (ms * 1000)


def machine():
    cpu = platform.processor() or "unknown CPU"
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    mesa = "unknown"
    for package in ("libgl1-mesa-dri", "libegl-mesa0"):
        try:
            v = subprocess.run(["dpkg-query", "-W", "-f", "${Version}", package], capture_output=True,
                               text=True, check=False).stdout.strip()
        except OSError:
            v = ""
        if v:
            mesa = v
            break
    return cpu, os.cpu_count() or 0, mesa


def measure(results, parts, ratio):
    """The row's value from the results (None when a part is missing)."""
    values = []
    for part in parts:
        program, name = part[0], part[1]
        key = (name, part[2]) if len(part) > 2 else name
        v = results.get(program, {}).get(key)
        if v is None:
            return None
        values.append(v)
    if ratio:
        return values[0] / values[1] if len(values) == 2 and values[1] > 0 else None
    return sum(values)


def show(value, unit):
    if value is None:
        return "not measured"
    if unit == MB:
        return "%.0f MB" % value
    if unit == RATIO:
        return "%.2f x" % value
    return fmt(value)


def table(results, today, cpu, cores, mesa, before=None, base_name=None, load=None, pinned=None):
    lines = [
        "Measured on %s (%d cores), Mesa %s, %s; release build, headless unless said%s." % (
            cpu, cores, mesa, today, "; each benchmark program pinned to core %s" % pinned if pinned else ""),
    ]
    if load:
        lines.append("Load average (1, 5, 15 minutes) at the start and the end of the run: %s." % load)
    lines.append("")
    if before is not None:
        lines += ["| What | Target | Measured | Benchmark | Before (%s) |" % (base_name or "base"),
                  "|---|---|---|---|---|"]
    else:
        lines += ["| What | Target | Measured | Benchmark |", "|---|---|---|---|"]
    for what, target, parts in ROWS:
        unit = None
        if isinstance(target, tuple):
            target, unit = target
        value = measure(results, parts, unit == RATIO)
        verdict = ""
        if target is not None and value is not None:
            verdict = " (met)" if (value <= target if unit == RATIO else value < target) else " (missed)"
        bench = ", ".join("`%s` %s" % (p[0], p[1] + (" " + p[2] if len(p) > 2 else "")) for p in parts)
        goal = "none set" if target is None else ("at most " if unit == RATIO else "under ") + show(target, unit)
        cells = [what, goal, show(value, unit) + verdict, bench]
        if before is not None:
            cells.append(show(measure(before, parts, unit == RATIO), unit))
        lines.append("| " + " | ".join(cells) + " |")
    return "\n".join(lines)


def rewrite(readme, text):
    with open(readme, encoding="utf-8") as f:
        content = f.read()
    start, end = content.find(BEGIN), content.find(END)
    if start < 0 or end < start:
        sys.exit("%s: the %s and %s markers are missing" % (readme, BEGIN, END))
    content = content[: start + len(BEGIN)] + "\n" + text + "\n" + content[end:]
    with open(readme, "w", encoding="utf-8") as f:
        f.write(content)


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--results", help="folder of the benchmarks' JSON files")
    p.add_argument("--readme", help="README to rewrite (else the table goes to the standard output)")
    p.add_argument("--rows", action="store_true", help="list the benchmark programs of the table")
    p.add_argument("--before", help="folder of the base revision's results (a column of its own)")
    p.add_argument("--base-name", help="what the base revision is called in the table")
    args = p.parse_args()
    if args.rows:
        for program in sorted({part[0] for _, _, parts in ROWS for part in parts}):
            print(program)
        return
    if not args.results:
        p.error("--results is needed")
    if not os.path.isdir(args.results):
        sys.exit("%s: no such folder of results" % args.results)
    cpu, cores, mesa = machine()
    today = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d")
    load = None
    try:
        with open(os.path.join(args.results, "loadavg.txt"), encoding="utf-8") as f:
            marks = [" ".join(l.split()[:3]) for l in f if l[:1].isdigit() and "T" not in l]
        load = " and ".join(marks) if marks else None
    except OSError:
        pass
    pinned = None
    try:
        with open(os.path.join(args.results, "pinned.txt"), encoding="utf-8") as f:
            pinned = f.read().strip() or None
    except OSError:
        pass
    before = load_results(args.before) if args.before else None
    text = table(load_results(args.results), today, cpu, cores, mesa, before, args.base_name, load, pinned)
    if args.readme:
        rewrite(args.readme, text)
    else:
        print(text)


if __name__ == "__main__":
    main()
