// The photo preview of the open dialog (Release, one core): selecting a
// 4000 x 3000 JPEG until its preview is drawn (decoding, fitting, drawing)
// under 300 ms. The project preview (a stored 128-pixel-high picture) for
// comparison.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "document/project_file.h"
#include "dialogs/previewfiledlg.h"
#include "framework/test_driver.h"
#include "picture/clipboard_bmp_platform.h"

namespace {

struct Folder {
    std::string root;
    Folder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "brvbench-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        setenv("XDG_CONFIG_HOME", root.c_str(), 1);
        brv::InstallBmpPlatform();
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
};

Folder& folder() {
    static Folder f;
    return f;
}

// Selects `path` once per iteration inside one running dialog.
template <class Dialog>
void selectRepeatedly(benchmark::State& state, Dialog& dialog, const std::string& path) {
    brv::HeadlessDriver driver;
    driver.Reset();
    driver.OnNextFileDialog([&](brv::FileDialogSession& s) {
        for (auto _ : state) s.Select(path);
        return IDCANCEL;
    });
    driver.Run([&] { dialog.DoModal(); });
    driver.Reset();
}

void PhotoPreviewJpeg4000x3000(benchmark::State& state) {
    const std::string jpeg = folder().root + "/big.jpg";
    if (!std::filesystem::exists(jpeg) &&
        std::system(("/usr/bin/convert wizard: -resize 4000x3000! -quality 90 " + jpeg + " 2>/dev/null").c_str()) != 0) {
        state.SkipWithError("ImageMagick");
        return;
    }
    CPictPreviewFileDlg dialog(TRUE);
    selectRepeatedly(state, dialog, jpeg);
}
BENCHMARK(PhotoPreviewJpeg4000x3000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The decoding alone, for the share of the preview it takes.
void JpegDecodeOnly4000x3000(benchmark::State& state) {
    const std::string jpeg = folder().root + "/big.jpg";
    if (!std::filesystem::exists(jpeg)) {
        state.SkipWithError("run with the preview benchmark first");
        return;
    }
    for (auto _ : state) {
        CWinBmp bmp;
        CPictPreviewFileDlg::Picture(jpeg, bmp);
        benchmark::DoNotOptimize(bmp.GetData());
    }
}
BENCHMARK(JpegDecodeOnly4000x3000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void ProjectPreview(benchmark::State& state) {
    const std::string fac = folder().root + "/p.fac";
    files::ProjectRecord r;
    r.templateId = 121;
    r.preview.Create(170, 128, 32, false);
    std::string bytes, why;
    if (!files::WriteProject(r, files::ProjectWriteInputs{}, bytes, why)) {
        state.SkipWithError(why.c_str());
        return;
    }
    std::ofstream(fac, std::ios::binary) << bytes;
    CImagePreviewFileDlg dialog(FALSE);
    selectRepeatedly(state, dialog, fac);
}
BENCHMARK(ProjectPreview)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace
