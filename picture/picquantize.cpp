// Colour quantisation from 32 to 8 bits per pixel.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "picture/basebmp.h"
#include "picture/picfilter.h"
#include "picture/textexception.h"

namespace {

constexpr int kCells = 32768;
constexpr int kMaxCount = 65535;

int cellIndex(int r, int g, int b) { return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3); }

struct Cell {
  int index = -1;  // palette index, -1 while not chosen
  int count = 0;   // pixels, stopping at 65,535
};

// A box of cells with 5-bit corners, channel order red, green, blue.
struct Box {
  int lo[3] = {0, 0, 0};
  int hi[3] = {0, 0, 0};
  int mean[3] = {0, 0, 0};
  int count = 0;
};

class Quantizer {
 public:
  explicit Quantizer(int paletteMode) : m_Cells(kCells), m_PaletteMode(paletteMode) {}

  void countPixels(const CBaseBmp& src) {
    for (int y = 0; y < src.GetHeight(); ++y)
      for (int x = 0; x < src.GetWidth(); ++x) {
        CPixel32 p = src.GetPixel(x, y);
        Cell& c = m_Cells[size_t(cellIndex(p.GetR(), p.GetG(), p.GetB()))];
        if (c.count < kMaxCount) ++c.count;
      }
  }

  void makePalette(CPixel32* pal) {
    if (m_PaletteMode == PL_PAL_MEDIAN_CUT)
      medianCut(pal);
    else if (m_PaletteMode == PL_PAL_POPULARITY)
      popularity(pal);
    else
      std::memcpy(pal, CPicQuantizeFilter::FixedPalette(), 256 * sizeof(CPixel32));
    m_Pal = pal;
  }

  // The palette index for a colour, through its cell.
  int lookup(int r, int g, int b) {
    Cell& c = m_Cells[size_t(cellIndex(r, g, b))];
    if (c.index < 0) {
      int best = 0;
      long bestDist = -1;
      for (int i = 0; i < 256; ++i) {
        long dr = r - m_Pal[i].GetR(), dg = g - m_Pal[i].GetG(), db = b - m_Pal[i].GetB();
        long d = dr * dr + dg * dg + db * db;
        if (bestDist < 0 || d < bestDist) {
          bestDist = d;
          best = i;
        }
      }
      c.index = best;
    }
    return c.index;
  }

 private:
  const Cell& cell(int r, int g, int b) const { return m_Cells[size_t((r << 10) | (g << 5) | b)]; }

  void recompute(Box& box) const {
    int lo[3] = {31, 31, 31}, hi[3] = {0, 0, 0};
    long sum[3] = {0, 0, 0};
    long total = 0;
    for (int r = box.lo[0]; r <= box.hi[0]; ++r)
      for (int g = box.lo[1]; g <= box.hi[1]; ++g)
        for (int b = box.lo[2]; b <= box.hi[2]; ++b) {
          int n = cell(r, g, b).count;
          if (n == 0) continue;
          const int v[3] = {r, g, b};
          for (int ch = 0; ch < 3; ++ch) {
            lo[ch] = std::min(lo[ch], v[ch]);
            hi[ch] = std::max(hi[ch], v[ch]);
            sum[ch] += long(v[ch]) * n;
          }
          total += n;
        }
    if (total > 0) {
      for (int ch = 0; ch < 3; ++ch) {
        box.lo[ch] = lo[ch];
        box.hi[ch] = hi[ch];
        box.mean[ch] = static_cast<int>(sum[ch] / total);
      }
    } else {
      for (int ch = 0; ch < 3; ++ch) box.mean[ch] = box.lo[ch];
    }
    box.count = static_cast<int>(std::min<long>(total, kMaxCount));
    if (box.lo[0] == box.hi[0] && box.lo[1] == box.hi[1] && box.lo[2] == box.hi[2]) box.count = 1;
  }

  static void corners(Box* boxes) {
    static const int kCorner[8][3] = {{0, 0, 0},   {31, 0, 0},  {0, 31, 0},  {0, 0, 31},
                                      {31, 31, 0}, {31, 0, 31}, {0, 31, 31}, {31, 31, 31}};
    for (int i = 0; i < 8; ++i) {
      for (int ch = 0; ch < 3; ++ch) boxes[i].lo[ch] = boxes[i].hi[ch] = boxes[i].mean[ch] = kCorner[i][ch];
      boxes[i].count = 1;
    }
  }

  void medianCut(CPixel32* pal) {
    std::vector<Box> boxes;
    try {
      boxes.resize(256);
    } catch (const std::bad_alloc&) {
      throw CTextException(PL_ERR_NO_MEMORY, "Out of memory.");
    }
    corners(boxes.data());
    boxes[8].hi[0] = boxes[8].hi[1] = boxes[8].hi[2] = 31;
    recompute(boxes[8]);
    int used = 9;
    while (used < 256) {
      int chosen = 8;
      for (int i = 9; i < used; ++i)
        if (boxes[size_t(i)].count > boxes[size_t(chosen)].count) chosen = i;
      Box& box = boxes[size_t(chosen)];
      if (box.count < 2) {
        for (int i = used; i < 256; ++i) boxes[size_t(i)] = Box();
        break;
      }
      Box& copy = boxes[size_t(used)];
      copy = box;
      int ch = 0;
      for (int c = 1; c < 3; ++c)
        if (box.hi[c] - box.lo[c] > box.hi[ch] - box.lo[ch]) ch = c;
      if (box.hi[ch] - box.lo[ch] + 1 == 2) {
        copy.hi[ch] = copy.lo[ch];
        box.lo[ch] = box.hi[ch];
      } else {
        int m = box.mean[ch];
        if (m == box.hi[ch]) --m;
        box.hi[ch] = m;
        copy.lo[ch] = m + 1;
      }
      recompute(box);
      recompute(copy);
      ++used;
    }
    for (int i = 0; i < 256; ++i) {
      const Box& b = boxes[size_t(i)];
      pal[i].Set(static_cast<uint8_t>((b.lo[0] + b.hi[0]) * 255 / 62), static_cast<uint8_t>((b.lo[1] + b.hi[1]) * 255 / 62),
                 static_cast<uint8_t>((b.lo[2] + b.hi[2]) * 255 / 62), 255);
    }
  }

  void popularity(CPixel32* pal) {
    Box cornerBoxes[8];
    corners(cornerBoxes);
    for (int i = 0; i < 8; ++i)
      pal[i].Set(static_cast<uint8_t>(cornerBoxes[i].lo[0] * 255 / 31), static_cast<uint8_t>(cornerBoxes[i].lo[1] * 255 / 31),
                 static_cast<uint8_t>(cornerBoxes[i].lo[2] * 255 / 31), 255);
    std::vector<int> order(kCells);
    for (int i = 0; i < kCells; ++i) order[size_t(i)] = i;
    // Cells are met with red outermost, i.e. in index order; ties keep it.
    std::stable_sort(order.begin(), order.end(),
                     [this](int a, int b) { return m_Cells[size_t(a)].count > m_Cells[size_t(b)].count; });
    for (int i = 0; i < 248; ++i) {
      int c = order[size_t(i)];
      pal[8 + i].Set(static_cast<uint8_t>((c >> 10) * 255 / 31), static_cast<uint8_t>(((c >> 5) & 31) * 255 / 31),
                     static_cast<uint8_t>((c & 31) * 255 / 31), 255);
    }
  }

  std::vector<Cell> m_Cells;
  int m_PaletteMode;
  const CPixel32* m_Pal = nullptr;
};

int clampByte(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

const int kOrdered[4][4] = {{-7, 1, -5, 3}, {5, -3, 7, -1}, {-4, 4, -6, 2}, {8, 0, 6, -2}};

}  // namespace

const CPixel32* CPicQuantizeFilter::FixedPalette() {
  static const CPixel32* table = [] {
    static CPixel32 pal[256];
    // The classic system colours first and last, between them a colour cube
    // and a grey ramp.
    static const uint8_t kFirst[10][3] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},     {128, 128, 0},
                                          {0, 0, 128},   {128, 0, 128}, {0, 128, 128},   {192, 192, 192},
                                          {192, 220, 192}, {166, 202, 240}};
    static const uint8_t kLast[10][3] = {{255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},
                                         {0, 255, 0},     {255, 255, 0},   {0, 0, 255},     {255, 0, 255},
                                         {0, 255, 255},   {255, 255, 255}};
    static const uint8_t kLevels[6] = {0x00, 0x51, 0x85, 0xB1, 0xD9, 0xFF};
    int n = 0;
    for (const auto& c : kFirst) pal[n++].Set(c[0], c[1], c[2], 255);
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b) pal[n++].Set(kLevels[r], kLevels[g], kLevels[b], 255);
    for (int i = 1; i <= 20; ++i) {
      uint8_t v = static_cast<uint8_t>(i * 255 / 21);
      pal[n++].Set(v, v, v, 255);
    }
    for (const auto& c : kLast) pal[n++].Set(c[0], c[1], c[2], 255);
    return pal;
  }();
  return table;
}

void CPicQuantizeFilter::Apply(CBaseBmp* src, CBaseBmp* dst) const {
  if (appliedInPlace(src, dst)) return;
  if (src->GetBitsPerPixel() != 32) throw CTextException(PL_ERR_NOT_SUPPORTED, "Filter needs a 32-bit bitmap.");
  const int w = src->GetWidth();
  const int h = src->GetHeight();
  dst->Create(w, h, 8, false);
  src->Lock(true, false);
  dst->Lock(false, true);
  try {
    Quantizer q(m_PaletteMode);
    if (m_PaletteMode != PL_PAL_FIXED) q.countPixels(*src);
    q.makePalette(dst->GetPalette());

    if (m_DitherMode == PL_DITHER_FS) {
      // Error carried per channel, with one spare pixel on either side.
      std::vector<double> cur(size_t(w + 2) * 3, 0.0), next(size_t(w + 2) * 3, 0.0);
      const CPixel32* pal = dst->GetPalette();
      for (int y = 0; y < h; ++y) {
        const bool ltr = (y % 2) == 0;
        const int dir = ltr ? 1 : -1;
        std::fill(next.begin(), next.end(), 0.0);
        uint8_t* d = dst->GetLine(y);
        for (int i = 0; i < w; ++i) {
          const int x = ltr ? i : w - 1 - i;
          CPixel32 p = src->GetPixel(x, y);
          const int raw[3] = {p.GetR(), p.GetG(), p.GetB()};
          int v[3];
          for (int ch = 0; ch < 3; ++ch) v[ch] = clampByte(static_cast<int>(raw[ch] + cur[size_t(x + 1) * 3 + ch]));
          int index = q.lookup(v[0], v[1], v[2]);
          d[x] = static_cast<uint8_t>(index);
          const int chosen[3] = {pal[index].GetR(), pal[index].GetG(), pal[index].GetB()};
          for (int ch = 0; ch < 3; ++ch) {
            double err = (v[ch] - chosen[ch]) / 16.0;
            cur[size_t(x + 1 + dir) * 3 + ch] += 7 * err;
            next[size_t(x + 1 - dir) * 3 + ch] += 3 * err;
            next[size_t(x + 1) * 3 + ch] += 5 * err;
            next[size_t(x + 1 + dir) * 3 + ch] += 1 * err;
          }
        }
        std::swap(cur, next);
      }
    } else {
      for (int y = 0; y < h; ++y) {
        uint8_t* d = dst->GetLine(y);
        for (int x = 0; x < w; ++x) {
          CPixel32 p = src->GetPixel(x, y);
          int r = p.GetR(), g = p.GetG(), b = p.GetB();
          if (m_DitherMode == PL_DITHER_ORDERED) {
            int m = 2 * kOrdered[(w - x - 1) % 4][y % 4];
            r = clampByte(r + m);
            g = clampByte(g + m);
            b = clampByte(b + m);
          }
          d[x] = static_cast<uint8_t>(q.lookup(r, g, b));
        }
      }
    }
  } catch (...) {
    dst->Unlock();
    src->Unlock();
    throw;
  }
  dst->Unlock();
  src->Unlock();
}
