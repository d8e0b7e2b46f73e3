// The drawing layer on a 1024 x 768 window surface, one core.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "framework/gdi.h"

namespace {

// A drag of 1000 mouse moves across the window, each drawing the rubber
// rectangle (an inverted outline, as the crop page draws it) from the anchor
// to the mouse and erasing it again.
void BM_RubberRectangles(benchmark::State& state) {
  brv::Surface s(1024, 768, 0x808080);
  CDC dc;
  dc.AttachSurface(&s);
  dc.SetROP2(R2_NOT);
  const int ax = 150, ay = 100;
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) {
      const int mx = ax + 10 + i * 800 / 1000, my = ay + 10 + i * 600 / 1000;
      const POINT outline[] = {{ax, ay}, {mx, ay}, {mx, my}, {ax, my}, {ax, ay}};
      dc.Polyline(outline, 5);
      dc.Polyline(outline, 5);
    }
    benchmark::DoNotOptimize(s.Pixel(100, 80));
  }
}
BENCHMARK(BM_RubberRectangles)->Unit(benchmark::kMillisecond);

// A whole 1024 x 768 32-bit DIB onto the surface (the photo views' paint).
void BM_StretchDIBitsFull(benchmark::State& state) {
  brv::Surface s(1024, 768, 0);
  CDC dc;
  dc.AttachSurface(&s);
  dc.SetStretchBltMode(COLORONCOLOR);
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{40, 1024, 768, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<uint32_t> bits(1024 * 768);
  for (size_t i = 0; i < bits.size(); ++i) bits[i] = uint32_t(i * 2654435761u);
  for (auto _ : state) {
    dc.StretchDIBits(0, 0, 1024, 768, 0, 0, 1024, 768, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    benchmark::DoNotOptimize(s.Pixel(5, 5));
  }
}
BENCHMARK(BM_StretchDIBitsFull)->Unit(benchmark::kMillisecond);

// A 1365 x 1024 photo (24 bits) scaled down onto the whole surface.
void BM_StretchDIBitsScaled(benchmark::State& state) {
  brv::Surface s(1024, 768, 0);
  CDC dc;
  dc.AttachSurface(&s);
  dc.SetStretchBltMode(COLORONCOLOR);
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{40, 1365, 1024, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<uint8_t> bits(size_t((1365 * 3 + 3) & ~3) * 1024);
  for (size_t i = 0; i < bits.size(); ++i) bits[i] = uint8_t(i * 131);
  for (auto _ : state) {
    dc.StretchDIBits(0, 0, 1024, 768, 0, 0, 1365, 1024, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    benchmark::DoNotOptimize(s.Pixel(5, 5));
  }
}
BENCHMARK(BM_StretchDIBitsScaled)->Unit(benchmark::kMillisecond);

// 100 centred 16-pixel bold labels (the model page's slider scales).
void BM_Labels(benchmark::State& state) {
  brv::Surface s(1024, 768, 0xD4D0C8);
  CDC dc;
  dc.AttachSurface(&s);
  CFont font;
  font.CreateFont(16, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
  dc.SelectObject(&font);
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextAlign(TA_CENTER);
  char text[16];
  for (auto _ : state) {
    for (int i = 0; i < 100; ++i) {
      int n = std::snprintf(text, sizeof text, "%d%%", (i % 7) * 10 - 30);
      dc.TextOut(40 + (i % 10) * 95, 30 + (i / 10) * 70, text, n);
    }
    benchmark::DoNotOptimize(s.Pixel(40, 30));
  }
}
BENCHMARK(BM_Labels)->Unit(benchmark::kMillisecond);

}  // namespace
