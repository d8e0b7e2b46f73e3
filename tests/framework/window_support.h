#pragma once
// The windowing tests' fixture: a fresh windowing state and headless
// backend per test, layouts laid over the resources from text or from
// tests/framework/data, settings in a folder of their own, and every script
// problem of the backend reported as a failure.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <string>

#include "framework/layout_parser.h"
#include "framework/resources.h"
#include "framework/test_driver.h"
#include "framework/ui.h"
#include "temp_dir.h"

class WindowingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousConfig_ = getenv("XDG_CONFIG_HOME") ? getenv("XDG_CONFIG_HOME") : "";
    setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
    Clean();
  }
  void TearDown() override {
    for (const std::string& f : driver.Failures()) ADD_FAILURE() << "script: " << f;
    Clean();
    if (previousConfig_.empty())
      unsetenv("XDG_CONFIG_HOME");
    else
      setenv("XDG_CONFIG_HOME", previousConfig_.c_str(), 1);
  }
  void Clean() {
    driver.Reset();
    brv::ClearResourceOverlays();
    brv::ForgetParsedLayouts();
  }
  // A layout (DIALOG, MENU, ACCELERATORS, ...) from text.
  static void Layout(const char* type, unsigned id, const std::string& text) {
    brv::SetResourceOverlay(type, id, text);
    brv::ForgetParsedLayouts();
  }
  // A layout from tests/framework/data/<file>.
  static void LayoutFile(const char* type, unsigned id, const std::string& file) {
    std::ifstream in(std::string(BRIVANTA_TEST_DATA) + "/" + file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_FALSE(s.str().empty()) << file;
    Layout(type, id, s.str());
  }
  // The log lines of the backend.
  std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    for (const auto& e : driver.Backend().EventsOf(brv::HeadlessBackend::Event::kLog)) lines.push_back(e.text);
    return lines;
  }

  brv::HeadlessDriver driver;
  TempDir config_;

 private:
  std::string previousConfig_;
};

// A plain top-level window for the tests.
inline HWND MakeTopLevel(CWnd* w, const char* caption = "Test", CRect rect = CRect(100, 100, 500, 400),
                         DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE) {
  w->CreateEx(0, AFX_WND_CLASS, caption, style, rect, nullptr, 0);
  return w->m_hWnd;
}

// A 24-bit BMP file of w x h pixels; pixel(x, y) gives 0x00RRGGBB, y = 0 the top row.
template <class F>
std::string BmpFile(int w, int h, F pixel) {
  int row = (w * 3 + 3) / 4 * 4;
  std::string out(54 + static_cast<size_t>(row) * h, '\0');
  auto put16 = [&](size_t at, uint32_t v) { out[at] = char(v & 0xFF), out[at + 1] = char((v >> 8) & 0xFF); };
  auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
  out[0] = 'B', out[1] = 'M';
  put32(2, static_cast<uint32_t>(out.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(w));
  put32(22, static_cast<uint32_t>(h));
  put16(26, 1);
  put16(28, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t p = pixel(x, y);
      size_t at = 54 + static_cast<size_t>(h - 1 - y) * row + static_cast<size_t>(x) * 3;
      out[at] = char(p & 0xFF), out[at + 1] = char((p >> 8) & 0xFF), out[at + 2] = char((p >> 16) & 0xFF);
    }
  return out;
}

// A 32 x 32 ICO file of one 32-bit image; transparent(x, y) sets the AND mask.
template <class F, class T>
std::string IcoFile(F pixel, T transparent) {
  const int n = 32;
  std::string image(40 + n * n * 4 + n * 4, '\0');
  auto put = [](std::string& s, size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s[at + i] = char((v >> (8 * i)) & 0xFF);
  };
  put(image, 0, 40, 4);
  put(image, 4, n, 4);
  put(image, 8, 2 * n, 4);
  put(image, 12, 1, 2);
  put(image, 14, 32, 2);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      uint32_t p = pixel(x, y);
      size_t at = 40 + static_cast<size_t>(n - 1 - y) * n * 4 + static_cast<size_t>(x) * 4;
      put(image, at, transparent(x, y) ? p : (p | 0xFF000000u), 4);
      if (transparent(x, y)) {
        size_t m = 40 + n * n * 4 + static_cast<size_t>(n - 1 - y) * 4 + x / 8;
        image[m] = char(image[m] | (0x80 >> (x % 8)));
      }
    }
  std::string file(6 + 16, '\0');
  put(file, 2, 1, 2);
  put(file, 4, 1, 2);
  file[6] = char(n), file[7] = char(n);
  put(file, 10, 1, 2);
  put(file, 12, 32, 2);
  put(file, 14, static_cast<uint32_t>(image.size()), 4);
  put(file, 18, 22, 4);
  return file + image;
}
