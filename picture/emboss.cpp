#include "picture/emboss.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "picture/winbmp.h"

namespace {

int clampByte(long v) { return v < 0 ? 0 : (v > 255 ? 255 : static_cast<int>(v)); }

void meanColour(const CWinBmp* bmp, long mean[3]) {
  long sum[3] = {0, 0, 0};
  const int w = bmp->GetWidth(), h = bmp->GetHeight();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      CPixel32 p = bmp->GetPixel(x, y);
      sum[0] += p.GetR();
      sum[1] += p.GetG();
      sum[2] += p.GetB();
    }
  long n = long(w) * h;
  for (int ch = 0; ch < 3; ++ch) mean[ch] = n > 0 ? sum[ch] / n : 0;
}

}  // namespace

void Emboss(const CWinBmp* heightSource, const CWinBmp* texture, CWinBmp* result, double azimuth, double elevation,
            int width) {
  // Bitmaps of different sizes are walked over their common part only.
  const int w = std::min({heightSource->GetWidth(), texture->GetWidth(), result->GetWidth()});
  const int h = std::min({heightSource->GetHeight(), texture->GetHeight(), result->GetHeight()});
  std::vector<int> height(size_t(w) * size_t(h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      CPixel32 p = heightSource->GetPixel(x, y);
      height[size_t(y) * w + x] = (p.GetR() + p.GetG() + p.GetB()) / 3;
    }
  auto hf = [&](int x, int y) { return height[size_t(y) * w + x]; };

  const long lx = static_cast<long>(std::cos(elevation) * std::cos(azimuth) * 255.9);
  const long ly = static_cast<long>(std::cos(elevation) * std::sin(azimuth) * 255.9);
  const long lz = static_cast<long>(std::sin(elevation) * 255.9);
  const long nz = width != 0 ? 1530 / width : 0;
  const long nz2 = nz * nz;
  const long nzlz = nz * lz;

  for (int y = 1; y <= h - 2; ++y) {
    for (int x = 1; x <= w - 2; ++x) {
      long a = 0, b = 0;
      for (int d = -1; d <= 1; ++d) {
        a += hf(x + d, y - 1) - hf(x + d, y + 1);
        b += hf(x + 1, y + d) - hf(x - 1, y + d);
      }
      long shade;
      if (a == 0 && b == 0) {
        shade = lz;
      } else {
        long n = lx * a + ly * b + nzlz;
        shade = n < 0 ? 0 : static_cast<long>(n / std::sqrt(double(a * a + b * b + nz2)));
      }
      // A light from below the horizon (negative elevation) shades black.
      if (shade < 0) shade = 0;
      if (shade > 255) shade = 255;
      CPixel32 t = texture->GetPixel(x, y);
      result->SetPixel(x, y,
                       CPixel32(static_cast<uint8_t>(shade * t.GetR() / 256), static_cast<uint8_t>(shade * t.GetG() / 256),
                                static_cast<uint8_t>(shade * t.GetB() / 256), 0));
    }
  }
  AdjustColor(texture, result);
}

void AdjustColor(const CWinBmp* reference, CWinBmp* target) {
  long ref[3], cur[3];
  meanColour(reference, ref);
  meanColour(target, cur);
  const long shift[3] = {ref[0] - cur[0], ref[1] - cur[1], ref[2] - cur[2]};
  for (int y = 0; y < target->GetHeight(); ++y)
    for (int x = 0; x < target->GetWidth(); ++x) {
      CPixel32 p = target->GetPixel(x, y);
      target->SetPixel(x, y,
                       CPixel32(static_cast<uint8_t>(clampByte(p.GetR() + shift[0])),
                                static_cast<uint8_t>(clampByte(p.GetG() + shift[1])),
                                static_cast<uint8_t>(clampByte(p.GetB() + shift[2])), 0));
    }
}
