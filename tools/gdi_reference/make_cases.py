#!/usr/bin/env python3
"""Writes cases.txt: the drawing scripts whose pixels gdi_reference.exe prints."""
out = []


def case(name, w, h, ops):
    out.extend([f"case {name} {w} {h}", *ops, "endcase", ""])


# lines in every octant, with and without rounding ties
for a, b in [(6, 1), (6, 3), (4, 1), (4, 2), (7, 2), (5, 5), (6, 0)]:
    vecs = []
    for dx, dy in [(a, b), (b, a)]:
        for sx in (1, -1):
            for sy in (1, -1):
                if (sx * dx, sy * dy) not in vecs:
                    vecs.append((sx * dx, sy * dy))
    for dx, dy in vecs:
        case(f"line_{dx:+d}_{dy:+d}", 17, 17, ["pen 1", "move 8 8", f"line {8 + dx} {8 + dy}"])
# an inverted rubber line erased by drawing it back
case("line_not_there_and_back", 16, 12, ["pen 1", "rop not", "move 2 3", "line 14 9", "line 2 3"])
case("line_not_back_alone", 16, 12, ["pen 1", "rop not", "move 14 9", "line 2 3"])
case("polyline_not_ties", 16, 16, ["pen 1", "rop not", "move 2 2", "line 10 6", "line 6 14", "line 2 2"])
# even and odd pen widths on lines
for wd in (2, 3, 4):
    case(f"line_pen{wd}_row", 18, 12, [f"pen {wd}", "move 3 5", "line 13 5"])
    case(f"line_pen{wd}_diagonal", 18, 16, [f"pen {wd}", "move 3 3", "line 12 10"])
# ellipses with one-pixel pens
for l, t, r, b in [(2, 2, 9, 9), (1, 1, 8, 8), (1, 1, 12, 12), (1, 1, 6, 6), (1, 1, 4, 4), (1, 1, 3, 3),
                   (1, 1, 21, 12), (1, 1, 9, 17), (1, 1, 15, 15)]:
    case(f"ellipse_{l}_{t}_{r}_{b}_hollow", r + 3, b + 3, ["pen 1", "brush none", f"ellipse {l} {t} {r} {b}"])
for l, t, r, b in [(2, 2, 9, 9), (1, 1, 12, 12), (1, 1, 21, 12)]:
    case(f"ellipse_{l}_{t}_{r}_{b}_filled", r + 3, b + 3, ["pen 1", "brush grey", f"ellipse {l} {t} {r} {b}"])
# even and odd pen widths on figures
for wd in (2, 3, 4):
    case(f"rect_pen{wd}", 18, 16, [f"pen {wd}", "brush grey", "rect 4 4 13 11"])
    case(f"ellipse_pen{wd}", 20, 20, [f"pen {wd}", "brush grey", "ellipse 4 4 15 15"])
    case(f"ellipse_pen{wd}_wide", 26, 16, [f"pen {wd}", "brush grey", "ellipse 4 4 21 12"])
case("rect_pen2_inside", 18, 16, ["pen 2 inside", "brush grey", "rect 4 4 13 11"])
case("rect_pen1", 18, 16, ["pen 1", "brush grey", "rect 4 4 13 11"])
case("rect_null_pen", 18, 16, ["pen 1 null", "brush grey", "rect 4 4 13 11"])
# arcs with one-pixel pens (counter-clockwise from the start ray)
case("arc_quarter_upper_right", 15, 15, ["pen 1", "arc 1 1 12 12 12 6 6 0"])
case("arc_half_top", 15, 15, ["pen 1", "arc 1 1 12 12 12 6 0 6"])
case("arc_three_quarters", 15, 15, ["pen 1", "arc 1 1 12 12 6 0 12 6"])
case("arc_whole", 15, 15, ["pen 1", "arc 1 1 12 12 12 6 12 6"])
case("arc_wide_lower", 24, 14, ["pen 1", "arc 1 1 21 12 0 6 22 6"])
# frames of regions
case("framergn_one", 16, 14, ["brush black", "rgn 2 2 10 8", "rgn 6 5 14 12", "framergn 1 1"])
case("framergn_two_one", 16, 14, ["brush black", "rgn 2 2 10 8", "rgn 6 5 14 12", "framergn 2 1"])
case("framergn_rect_two", 14, 12, ["brush grey", "rgn 2 2 12 10", "framergn 2 2"])
open("cases.txt", "w").write("\n".join(out))
