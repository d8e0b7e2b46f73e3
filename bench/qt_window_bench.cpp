// The Qt backend on the platform it runs on (offscreen, or xcb under
// xvfb-run): the blit of a 1024 x 768 surface to the screen alone, and the
// test application's start until its frame is on the screen (the first
// start with the QApplication, then the program's part alone).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <memory>

#include "framework/resources.h"
#include "framework/ui.h"
#include "framework/window_state.h"
#include "qtbackend/qt_backend.h"
#include "tests/qt/test_app.h"

namespace {

brv::QtBackend* g_backend = nullptr;

void WaitShown(HWND top) {
  QWidget* view = g_backend->SurfaceWidget(top);
  QTest::qWaitForWindowExposed(view->window()->windowHandle());
  g_backend->Pump(200);
}

void Blit(benchmark::State& state) {
  CWnd window;
  window.CreateEx(0, AFX_WND_CLASS, "", WS_POPUP | WS_VISIBLE, CRect(0, 0, 1024, 768), nullptr, 0);
  HWND h = window.m_hWnd;
  WaitShown(h);
  brv::Surface* s = brv::SurfaceOf(h);
  RECT all{0, 0, 1024, 768};
  uint32_t shade = 0;
  for (auto _ : state) {
    s->Fill(0x00102030u + (shade++ & 0xFF));  // new pixels each time, not timed apart
    g_backend->Present(h, all, true);
  }
  window.DestroyWindow();
  g_backend->Pump(100);
}

void StartToFrame(benchmark::State& state) {
  for (auto _ : state) {
    auto app = std::make_unique<qtapp::TestApp>();
    app->InitInstance();
    WaitShown(app->Frame()->m_hWnd);
    state.PauseTiming();
    brv::ResetWindowing();
    g_backend->Reset();
    app.reset();
    g_backend->Pump(50);
    state.ResumeTiming();
  }
}

}  // namespace

int main(int argc, char** argv) {
  using clock = std::chrono::steady_clock;
  auto start = clock::now();
  brv::QtBackend backend(argc, argv);
  g_backend = &backend;
  brv::SetBackend(&backend);
  qtapp::InstallLayouts();
  {
    qtapp::TestApp app;
    app.InitInstance();
    WaitShown(app.Frame()->m_hWnd);
    double ms = std::chrono::duration<double, std::milli>(clock::now() - start).count();
    std::printf("%s: first start to the frame on the screen (QApplication included): %.1f ms\n",
                QGuiApplication::platformName().toStdString().c_str(), ms);
    brv::ResetWindowing();
    backend.Reset();
  }
  std::string platform = QGuiApplication::platformName().toStdString();
  benchmark::RegisterBenchmark(("Blit1024x768/" + platform).c_str(), Blit)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("StartToFrameVisible/" + platform).c_str(), StartToFrame)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(10);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  brv::SetBackend(nullptr);
  return 0;
}
