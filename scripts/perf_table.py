#!/usr/bin/env python3
"""Writes the README's performance table from the benchmarks' results.

  perf_table.py --results DIR [--readme README.md]

DIR holds one Google Benchmark JSON file per benchmark program
(<program>.json; the Qt one as qt_window_bench.<platform>.json) and the
pipeline run's printout (fitting_pipeline_bench.txt). The table replaces
what stands between the perf:begin and perf:end markers of the README.
--rows lists the benchmark programs the table covers (for the README test).
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
# and the benchmarks whose times add up to it: (program, benchmark name).
ROWS = [
    ("Start to the frame on screen, under xvfb", 1500, [("qt_window_bench", "StartToFrameVisible/xcb")]),
    ("Start of the program to its frame drawn, under xvfb", 1500, [("qt_program_bench", "FrameDrawn/xcb")]),
    ("Start-up to the armed timer (headless)", None, [("shell_bench", "StartUpToTheArmedTimer")]),
    ("4000 x 3000 JPEG to the start page", 600, [("flow_bench", "JpegToStartPage/manual_time")]),
    ("4000 x 3000 JPEG previewed in the open dialog", 300, [("prep_preview_bench", "PhotoPreviewJpeg4000x3000")]),
    ("Marks to textured head at 1024 (camera, fit, texture)", 1300,
     [("flow_bench", "CameraStep"), ("flow_bench", "ModelAt1024")]),
    ("The same in the fitting code alone (camera search, fit, texture)", None,
     [("fitting_camera_search_bench", "BM_FirstSearchRealisticMarks"),
      ("fitting_texture_bench", "BM_HeadToPhotoTrafo"),
      ("fitting_texture_bench", "BM_MakeFullTexture/1024")]),
    ("Made-up photo through marks, camera, lines, fit and texture", None, [("fitting_pipeline_bench", "total")]),
    ("Project save at 1024", 100, [("document_files_bench", "DocumentSave/1024")]),
    ("Project open at 1024 (file, template, octree, views)", 800, [("document_files_bench", "DocumentOpen/1024")]),
    ("Project file read at 1024 (the file layer alone)", None, [("files_bench", "BM_ProjectOpenWhole/1024")]),
    ("OBJ variant 2 with texture and bump map", 150, [("files_bench", "BM_ObjVariant2/1")]),
    ("3D view redraw at 1024 x 768, textured (median)", 33, [("views_bench", "BM_3DView/6_median")]),
    ("Overlay view (median)", 45, [("views_bench", "BM_Overlay/0_median")]),
    ("Overlay view merged with the photo (median)", 45, [("views_bench", "BM_Overlay/1_median")]),
    ("Feature point dragged in the 3D view: pick, move, frame", 35, [("views_edit_bench", "BM_DragMove")]),
    ("Model-page age slider: model", 5, [("dialogs_morph_bench", "BM_SliderReleaseToModel/0")]),
    ("Model-page age slider: texture at 1024", 40, [("dialogs_morph_bench", "BM_TextureRebuild/1024")]),
    ("Template head read", None, [("model_template_bench", "BM_TemplateRead")]),
    ("Octree fill of the template head", None, [("model_octree_bench", "BM_OctreeFill")]),
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
    """{program: {benchmark name: milliseconds}}."""
    out = {}
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
                ms = b.get("real_time", 0.0) * UNIT_TO_MS.get(b.get("time_unit", "ns"), 1e-6)
                times[clean(b["name"])] = ms
        elif entry.startswith("qt_program_bench.") and entry.endswith(".txt"):
            drawn = frame_drawn(path)
            if drawn is not None:
                out.setdefault("qt_program_bench", {})["FrameDrawn/" + entry.split(".")[1]] = drawn
        elif entry == "fitting_pipeline_bench.txt":
            total = pipeline_total(path)
            if total is not None:
                out.setdefault("fitting_pipeline_bench", {})["total"] = total
    return out


def frame_drawn(path):
    """When the program's frame was drawn, as its own run printed it."""
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = re.search(r"start to frame on the screen\s+\d+(?:\.\d+)? ms, drawn (\d+(?:\.\d+)?) ms", line)
            if m:
                return float(m.group(1))
    return None


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


def table(results, today, cpu, cores, mesa):
    lines = [
        "Measured on %s (%d cores), Mesa %s, %s; release build, headless unless said."
        % (cpu, cores, mesa, today),
        "",
        "| What | Target | Measured | Benchmark |",
        "|---|---|---|---|",
    ]
    for what, target, parts in ROWS:
        total, missing = 0.0, []
        for program, name in parts:
            ms = results.get(program, {}).get(name)
            if ms is None:
                missing.append(program)
            else:
                total += ms
        measured = fmt(total) if parts and not missing else "not measured"
        verdict = ""
        if target is not None and parts and not missing:
            verdict = " (met)" if total < target else " (missed)"
        bench = ", ".join("`%s` %s" % (p, n) for p, n in parts) if parts else "no benchmark yet"
        lines.append("| %s | %s | %s%s | %s |" % (what, "under " + fmt(target) if target is not None else "none set",
                                                 measured, verdict, bench))
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
    args = p.parse_args()
    if args.rows:
        for program in sorted({prog for _, _, parts in ROWS for prog, _ in parts}):
            print(program)
        return
    if not args.results:
        p.error("--results is needed")
    if not os.path.isdir(args.results):
        sys.exit("%s: no such folder of results" % args.results)
    cpu, cores, mesa = machine()
    today = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d")
    text = table(load_results(args.results), today, cpu, cores, mesa)
    if args.readme:
        rewrite(args.readme, text)
    else:
        print(text)


if __name__ == "__main__":
    main()
