// Our drawing against the pixels Windows' GDI gives for the same calls
// (data/gdi_windows_pixels.txt, printed by tools/gdi_reference).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "framework/gdi.h"

namespace {

struct Case {
  std::string name;
  int width = 0, height = 0;
  std::vector<std::string> ops;
  std::vector<std::string> pixels;
};

std::vector<Case> ReadTable() {
  std::ifstream in(std::string(BRIVANTA_TEST_DATA) + "/gdi_windows_pixels.txt");
  std::vector<Case> cases;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream head(line);
    std::string word;
    Case c;
    if (!(head >> word) || word != "case" || !(head >> c.name >> c.width >> c.height)) continue;
    while (std::getline(in, line) && line != "pixels") c.ops.push_back(line);
    for (int y = 0; y < c.height && std::getline(in, line); ++y) c.pixels.push_back(line);
    cases.push_back(std::move(c));
  }
  return cases;
}

char Symbol(uint32_t px) {
  px &= 0xFFFFFF;
  return px == 0xFFFFFF ? '.' : px == 0 ? '#' : px == 0x808080 ? 'o' : '?';
}

// Runs the case's script on a white surface through our CDC.
std::vector<std::string> Draw(const Case& c) {
  brv::Surface s(c.width, c.height, 0xFFFFFF);
  CDC dc;
  dc.AttachSurface(&s);
  std::unique_ptr<CPen> pen;
  std::unique_ptr<CBrush> brush;
  CRgn region;
  bool haveRegion = false;
  dc.SelectStockObject(NULL_BRUSH);
  for (const std::string& op : c.ops) {
    std::istringstream in(op);
    std::string name;
    in >> name;
    int v[8] = {};
    if (name == "pen") {
      std::string style;
      in >> v[0] >> style;
      auto next = std::make_unique<CPen>(style == "inside" ? PS_INSIDEFRAME : style == "null" ? PS_NULL : PS_SOLID,
                                         v[0], RGB(0, 0, 0));
      dc.SelectObject(next.get());
      pen = std::move(next);
    } else if (name == "brush") {
      std::string kind;
      in >> kind;
      if (kind == "none") {
        dc.SelectStockObject(NULL_BRUSH);
        brush.reset();
      } else {
        auto next = std::make_unique<CBrush>(kind == "grey" ? RGB(128, 128, 128) : RGB(0, 0, 0));
        dc.SelectObject(next.get());
        brush = std::move(next);
      }
    } else if (name == "rop") {
      std::string mode;
      in >> mode;
      dc.SetROP2(mode == "not" ? R2_NOT : mode == "xor" ? R2_XORPEN : R2_COPYPEN);
    } else if (name == "move" && in >> v[0] >> v[1]) {
      dc.MoveTo(v[0], v[1]);
    } else if (name == "line" && in >> v[0] >> v[1]) {
      dc.LineTo(v[0], v[1]);
    } else if (name == "rect" && in >> v[0] >> v[1] >> v[2] >> v[3]) {
      dc.Rectangle(v[0], v[1], v[2], v[3]);
    } else if (name == "ellipse" && in >> v[0] >> v[1] >> v[2] >> v[3]) {
      dc.Ellipse(v[0], v[1], v[2], v[3]);
    } else if (name == "arc" && in >> v[0] >> v[1] >> v[2] >> v[3] >> v[4] >> v[5] >> v[6] >> v[7]) {
      dc.Arc(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
    } else if (name == "rgn" && in >> v[0] >> v[1] >> v[2] >> v[3]) {
      if (!haveRegion) {
        region.CreateRectRgn(v[0], v[1], v[2], v[3]);
        haveRegion = true;
      } else {
        CRgn add;
        add.CreateRectRgn(v[0], v[1], v[2], v[3]);
        region.CombineRgn(&region, &add, RGN_OR);
      }
    } else if (name == "framergn" && in >> v[0] >> v[1]) {
      CBrush black(RGB(0, 0, 0));
      dc.FrameRgn(&region, brush ? brush.get() : &black, v[0], v[1]);
    } else {
      ADD_FAILURE() << c.name << ": unknown step " << op;
    }
  }
  dc.SelectStockObject(BLACK_PEN);
  dc.SelectStockObject(NULL_BRUSH);
  std::vector<std::string> rows;
  for (int y = 0; y < c.height; ++y) {
    std::string row;
    for (int x = 0; x < c.width; ++x) row += Symbol(s.Pixel(x, y));
    rows.push_back(row);
  }
  return rows;
}

std::string Picture(const std::vector<std::string>& rows) {
  std::string out;
  for (const std::string& r : rows) out += r + "\n";
  return out;
}

// The box of the pixels that are not white.
std::string InkBox(const std::vector<std::string>& rows) {
  int l = 1 << 30, t = 1 << 30, r = -1, b = -1;
  for (int y = 0; y < int(rows.size()); ++y)
    for (int x = 0; x < int(rows[size_t(y)].size()); ++x)
      if (rows[size_t(y)][size_t(x)] != '.') l = std::min(l, x), t = std::min(t, y), r = std::max(r, x + 1), b = std::max(b, y + 1);
  return std::to_string(l) + "," + std::to_string(t) + "," + std::to_string(r) + "," + std::to_string(b);
}

enum class Check { kPixels, kPlace };

const std::vector<Case>& Table() {
  static const std::vector<Case> table = ReadTable();
  return table;
}

// Every case whose name begins with one of the prefixes: the same pixels as
// Windows, or (kPlace) the same place, for shapes whose rounded corners and
// caps are not matched pixel for pixel.
void ExpectCases(std::initializer_list<const char*> prefixes, Check check = Check::kPixels) {
  int seen = 0;
  for (const Case& c : Table()) {
    bool wanted = false;
    for (const char* p : prefixes) wanted = wanted || c.name.rfind(p, 0) == 0;
    if (!wanted) continue;
    ++seen;
    const std::vector<std::string> ours = Draw(c);
    if (check == Check::kPixels)
      EXPECT_EQ(ours, c.pixels) << c.name << "\nWindows:\n" << Picture(c.pixels) << "ours:\n" << Picture(ours);
    else
      EXPECT_EQ(InkBox(ours), InkBox(c.pixels)) << c.name << "\nWindows:\n" << Picture(c.pixels) << "ours:\n" << Picture(ours);
  }
  EXPECT_GT(seen, 0) << "no such case in the table";
}

// Ties between two rows (or columns) round to the same pixel whichever way
// the line runs, so a line drawn back covers what it covered forwards.
TEST(GdiAsWindows, OnePixelLinesInEveryOctant) { ExpectCases({"line_+", "line_-", "line_not", "polyline_"}); }

// One-pixel outlines are 8-connected: one pixel a step on the diagonals.
TEST(GdiAsWindows, EllipsesWithOnePixelPens) { ExpectCases({"ellipse_1_", "ellipse_2_", "arc_whole"}); }

// An arc is a part of its ellipse's outline.
TEST(GdiAsWindows, ArcsArePartsOfTheOutline) {
  for (const Case& c : Table()) {
    if (c.name.rfind("arc_", 0) != 0) continue;
    Case whole = c;
    std::istringstream in(c.ops.back());
    std::string op;
    int l, t, r, b;
    in >> op >> l >> t >> r >> b;
    whole.ops.back() = "ellipse " + std::to_string(l) + " " + std::to_string(t) + " " + std::to_string(r) + " " +
                       std::to_string(b);
    whole.ops.insert(whole.ops.end() - 1, "brush none");
    const std::vector<std::string> arc = Draw(c), outline = Draw(whole);
    int drawn = 0;
    for (size_t y = 0; y < arc.size(); ++y)
      for (size_t x = 0; x < arc[y].size(); ++x)
        if (arc[y][x] == '#') {
          ++drawn;
          EXPECT_EQ(outline[y][x], '#') << c.name << " at " << x << "," << y << "\n" << Picture(arc);
        }
    EXPECT_GT(drawn, 0) << c.name;
  }
}

// Even widths put the extra pixel above and left of the one-pixel frame, as
// lines do; rectangles with narrow pens have square corners.
TEST(GdiAsWindows, PensOnRectangles) {
  ExpectCases({"rect_pen1", "rect_pen2", "rect_null"});
  ExpectCases({"rect_pen"}, Check::kPlace);
}
TEST(GdiAsWindows, WidePensOnEllipsesAndLines) { ExpectCases({"ellipse_pen", "line_pen"}, Check::kPlace); }

TEST(GdiAsWindows, RegionFrames) { ExpectCases({"framergn_"}); }

}  // namespace
