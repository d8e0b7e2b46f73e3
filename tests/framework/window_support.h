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
